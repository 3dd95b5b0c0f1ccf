#include "bake/baked_materials.h"

#include "bake/local_path.h"
#include "bake/output_names.h"
#include "host/interface.h"
#include "host/iparamb2.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "settings/settings.h"

#include <algorithm>
#include <fstream>
#include <utility>

namespace {

// Sub-materials nest (a shell wears the shell of an earlier bake); a
// material that holds itself must not send the walks round for ever.
constexpr int kMaxDepth = 64;

constexpr const char* kNormalBumpParam = "Output into Normal Bump";

// Holds one reference for as long as it lives: a texture made for a slot
// that turns out to be taken goes again.
class Held {
  public:
    explicit Held(ReferenceTarget* target) : target_(target) {
        if (target_ != nullptr) {
            target_->IncRef();
        }
    }
    ~Held() {
        if (target_ != nullptr) {
            target_->DecRef();
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Held(Held&& other) noexcept : target_(std::exchange(other.target_, nullptr)) {}

  private:
    ReferenceTarget* target_;
};

bool wants_normal_bump(const BakeElementEntry& entry) {
    return std::any_of(entry.parameters.begin(), entry.parameters.end(), [](const BakeParam& p) {
        return p.name == kNormalBumpParam && p.flagValue != 0;
    });
}

// The name with its extension (after the last point of the last path
// component) replaced; appended when it has none.
std::string with_extension(const std::string& name, const std::string& extension) {
    const std::size_t cut = name.find_last_of("\\/");
    const std::size_t dot = name.rfind('.');
    const bool has_dot = dot != std::string::npos && (cut == std::string::npos || dot > cut);
    return (has_dot ? name.substr(0, dot) : name) + "." + extension;
}

std::string stem(const std::string& path) {
    const std::string file = FileNamePart(path);
    const std::size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// Frames append to the list; the first frame of the range starts it anew,
// so that baking the range again gives the same list, not a longer one.
bool write_list_line(const std::string& listPath, const std::string& line, bool first) {
    std::ofstream out(LocalPath(listPath).string(),
                      std::ios::binary | (first ? std::ios::trunc : std::ios::app));
    out << line << '\n';
    return static_cast<bool>(out);
}

void put_in_slot(Mtl* mtl, Texmap* texture, const std::string& slot, int depth) {
    if (mtl == nullptr || depth > kMaxDepth) {
        return;
    }
    for (int i = 0; i < mtl->NumSubTexmaps(); ++i) {
        if (WideToUtf8(mtl->GetSubTexmapSlotName(i)) == slot) {
            if (mtl->GetSubTexmap(i) == nullptr) {
                mtl->SetSubTexmap(i, texture);
            }
            mtl->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED);
            break;
        }
    }
    for (int i = 0; i < mtl->NumSubMtls(); ++i) {
        put_in_slot(mtl->GetSubMtl(i), texture, slot, depth + 1);
    }
}

void collect_slot_names(Mtl* mtl, std::vector<std::string>& names, int depth) {
    if (mtl == nullptr || depth > kMaxDepth) {
        return;
    }
    for (int i = 0; i < mtl->NumSubTexmaps(); ++i) {
        std::string name = WideToUtf8(mtl->GetSubTexmapSlotName(i));
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
    }
    for (int i = 0; i < mtl->NumSubMtls(); ++i) {
        collect_slot_names(mtl->GetSubMtl(i), names, depth + 1);
    }
}

template <class Key> Mtl* find_in(const std::vector<std::pair<Key, Mtl*>>& cache, Key key) {
    for (const auto& [k, mtl] : cache) {
        if (k == key) {
            return mtl;
        }
    }
    return nullptr;
}

template <class Key> void drop_all(std::vector<std::pair<Key, Mtl*>>& cache) {
    std::vector<std::pair<Key, Mtl*>> dropped;
    dropped.swap(cache);
    for (auto& [key, mtl] : dropped) {
        mtl->DecRef();
    }
}

// The images of one entry for one map: the bitmap texture and, when the
// entry asks for it, the normal bump texture around it.
struct MapTexture {
    Texmap* texture = nullptr;
    std::vector<Held> held;
};

MapTexture make_texture(const std::string& imagePath, int channel, bool normalBump) {
    MapTexture out;
    BitmapTex* bitmap = NewDefaultBitmapTex();
    out.held.emplace_back(bitmap);
    bitmap->SetMapName(Utf8ToWide(imagePath).c_str());
    bitmap->SetName(Utf8ToWide(stem(imagePath)));
    bitmap->SetMapChannel(channel);
    out.texture = bitmap;
    if (normalBump) {
        auto* bump = static_cast<Texmap*>(
            GetCOREInterface()->CreateInstance(TEXMAP_CLASS_ID, normalBumpClassID));
        if (bump != nullptr) {
            out.held.emplace_back(bump);
            bump->SetSubTexmap(0, bitmap);
            out.texture = bump;
        }
    }
    return out;
}

} // namespace

std::string ImageListLine(const std::string& imageName, int frame) {
    const UnwrapSettings& s = settings();
    std::string line = InsertBeforeExtension(FileNamePart(imageName), "_" + FrameText(frame));
    if (frame == s.bakerangefrom && s.bakerangefrom > 0) {
        line += " " + std::to_string(s.bakerangefrom + 1);
    }
    return line;
}

bool IsShell(Mtl* mtl) {
    return mtl != nullptr && mtl->ClassID() == bakeShellClassID;
}

void PutTextureInSlot(Mtl* mtl, Texmap* texture, const std::string& slot) {
    put_in_slot(mtl, texture, slot, 0);
}

std::vector<std::string> CollectSlotNames(Mtl* mtl) {
    std::vector<std::string> names;
    collect_slot_names(mtl, names, 0);
    return names;
}

std::vector<ClassDesc*> TargetMaterialClasses() {
    std::vector<ClassDesc*> out;
    SubClassList* list = GetCOREInterface()->GetClassDirectory().GetClassList(MATERIAL_CLASS_ID);
    const int count = list != nullptr ? list->Count(ACC_ALL) : 0;
    for (int i = 2; i < count; ++i) {
        if (ClassDesc* desc = (*list)[i].CD()) {
            out.push_back(desc);
        }
    }
    return out;
}

ClassDesc* FindMaterialClass(const std::string& className) {
    for (ClassDesc* desc : TargetMaterialClasses()) {
        if (desc->ClassName() != nullptr && WideToUtf8(desc->ClassName()) == className) {
            return desc;
        }
    }
    return nullptr;
}

bool SlotNamesOfClass(ClassDesc* materialClass, std::vector<std::string>& slotNames) {
    if (materialClass == nullptr) {
        return false;
    }
    auto* mtl = static_cast<Mtl*>(
        GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, materialClass->ClassID()));
    if (mtl == nullptr) {
        return false;
    }
    const Held held(mtl);
    slotNames = CollectSlotNames(mtl);
    return true;
}

bool TargetMaterialChanged(ClassDesc* materialClass, std::vector<std::string>& slotNames) {
    if (materialClass == nullptr || materialClass->ClassName() == nullptr) {
        return false;
    }
    const std::string name = WideToUtf8(materialClass->ClassName());
    if (name == settings().target_material) {
        return false;
    }
    settings().target_material = name;
    SlotNamesOfClass(materialClass, slotNames);
    ResetSlots();
    return true;
}

int SetShellIndex(const std::vector<INode*>& objects, int which, int value) {
    if ((which != kShellViewport && which != kShellRender) || (value != 0 && value != 1)) {
        return 0;
    }
    Interface* ip = GetCOREInterface();
    int changed = 0;
    for (INode* node : objects) {
        Mtl* mtl = node != nullptr ? node->GetMtl() : nullptr;
        IParamBlock2* block = IsShell(mtl) ? mtl->GetParamBlock(0) : nullptr;
        if (block != nullptr &&
            block->SetValue(static_cast<ParamID>(which), ip->GetTime(), value)) {
            ++changed;
        }
    }
    ip->RedrawViews(ip->GetTime());
    return changed;
}

int ClearShells(bool keepBaked) {
    Interface* ip = GetCOREInterface();
    std::vector<INode*> selected;
    for (int i = 0; i < ip->GetSelNodeCount(); ++i) {
        selected.push_back(ip->GetSelNode(i));
    }
    int cleared = 0;
    for (INode* node : selected) {
        Mtl* shell = node != nullptr ? node->GetMtl() : nullptr;
        if (!IsShell(shell)) {
            continue;
        }
        // The node's reference may be the shell's last; the kept material
        // must outlive the swap.
        Mtl* kept = shell->GetSubMtl(keepBaked ? 1 : 0);
        const Held hold(kept);
        node->SetMtl(kept);
        ++cleared;
    }
    ip->RedrawViews(ip->GetTime());
    return cleared;
}

void MaterialAssigner::set_object_material(INode* object, Mtl* mtl) {
    mtl->IncRef();
    for (auto& [node, held] : objectMaterial_) {
        if (node == object) {
            held->DecRef();
            held = mtl;
            return;
        }
    }
    objectMaterial_.emplace_back(object, mtl);
}

Mtl* MaterialAssigner::material_for(INode* object, int mapIndex, ClassDesc* materialClass) {
    if (Mtl* mtl = find_in(objectMaterial_, object)) {
        return mtl;
    }
    if (Mtl* mtl = find_in(mapMaterial_, mapIndex)) {
        set_object_material(object, mtl);
        return mtl;
    }
    auto* mtl = static_cast<Mtl*>(materialClass->Create(0));
    if (mtl == nullptr) {
        return nullptr;
    }
    Mtl* current = object->GetMtl();
    mtl->SetName(L"VL_" + (current != nullptr ? current->GetName() : std::wstring(L"Material")));
    mtl->IncRef();
    mapMaterial_.emplace_back(mapIndex, mtl);
    set_object_material(object, mtl);
    return mtl;
}

void MaterialAssigner::AssignBakedMaterials(const std::vector<INode*>& objects,
                                            std::uint64_t groupKey, int mapCount,
                                            const std::vector<BakeElementEntry>& elements,
                                            ClassDesc* materialClass, int frame,
                                            const std::string& groupName) {
    if (materialClass == nullptr || objects.empty()) {
        return;
    }
    const UnwrapSettings& s = settings();
    Interface* ip = GetCOREInterface();
    const int channel = NodeMapChannel(objects.front(), groupKey);
    const bool range = BakesFrameRange();
    for (const BakeElementEntry& entry : elements) {
        if (entry.slot == "NONE") {
            continue;
        }
        const std::string base = EntryOutputName(entry, groupName);
        std::vector<MapTexture> textures;
        for (int m = 0; m < mapCount; ++m) {
            std::string image =
                mapCount > 1 ? InsertBeforeExtension(base, "_" + std::to_string(m)) : base;
            if (range) {
                const std::string list = with_extension(image, "ifl");
                write_list_line(list, ImageListLine(image, frame), frame == s.bakerangefrom);
                image = list;
            }
            textures.push_back(make_texture(image, channel, wants_normal_bump(entry)));
        }
        for (INode* object : objects) {
            const int k = NodeMapIndex(object, groupKey);
            if (k < 0 || k >= mapCount) {
                continue;
            }
            Mtl* material = material_for(object, k, materialClass);
            if (material == nullptr) {
                continue;
            }
            if (s.create_shell) {
                if (IsShell(material)) {
                    material = material->GetSubMtl(1);
                } else {
                    auto* shell =
                        static_cast<Mtl*>(ip->CreateInstance(MATERIAL_CLASS_ID, bakeShellClassID));
                    if (shell != nullptr) {
                        shell->SetSubMtl(0, object->GetMtl());
                        shell->SetSubMtl(1, material);
                        shell->SetName(material->GetName());
                        set_object_material(object, shell);
                    }
                }
            }
            if (material == nullptr) {
                continue;
            }
            PutTextureInSlot(material, textures[static_cast<std::size_t>(k)].texture, entry.slot);
            auto* standard = dynamic_cast<StdMat*>(material);
            if (s.add_self_illumination && standard != nullptr &&
                material->ClassID() == standardMaterialClassID) {
                standard->SetSelfIllum(1.0f, ip->GetTime());
            }
        }
    }
}

void MaterialAssigner::FinishBake(const std::vector<INode*>& groupObjects) {
    for (const auto& [object, mtl] : objectMaterial_) {
        object->SetMtl(mtl);
    }
    Discard();
    Interface* ip = GetCOREInterface();
    if (settings().create_shell) {
        SetShellIndex(groupObjects, kShellViewport, 1);
        SetShellIndex(groupObjects, kShellRender, 1);
    }
    ip->RedrawViews(ip->GetTime());
}

void MaterialAssigner::Discard() {
    drop_all(objectMaterial_);
    drop_all(mapMaterial_);
}
