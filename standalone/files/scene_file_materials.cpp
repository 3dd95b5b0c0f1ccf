#include "standalone/files/scene_file_materials.h"

#include "host/chunk_io.h"
#include "host/interface.h"
#include "host/text.h"
#include "standalone/materials/multi_material.h"
#include "standalone/scene/scene.h"

#include <algorithm>

namespace {

constexpr USHORT kNumber = 0x5651, kMapData = 0x5652, kSubMap = 0x5653, kName = 0x5654,
                 kClass = 0x5621, kMaterialData = 0x5659, kSubMtl = 0x565A, kFlags = 0x565B;

// The flags a file keeps; the others belong to the session.
constexpr ULONG kSavedFlags = MTL_TEX_DISPLAY_ENABLED;

bool write_text(ISave* s, const std::string& text) {
    return write_u64(s, text.size()) && write_bytes(s, text.data(), text.size());
}

} // namespace

MaterialWriter::MaterialWriter(Scene& scene) {
    for (const auto& node : scene.Nodes()) {
        if (Mtl* mtl = node->GetMtl()) {
            add(mtl, true);
        }
    }
}

// Numbers every map and material below `root` after everything it holds
// (maps first, then sub-materials, in slot order), so that a file names a
// number only after it was written. The walk keeps its own stack: a scene
// file may nest materials far deeper than the call stack reaches. A slot
// that leads back to an item being numbered (a loop) stays empty.
void MaterialWriter::add(MtlBase* root, bool rootIsMtl) {
    struct Frame {
        MtlBase* item;
        bool mtl;
        int next;
    };
    std::vector<Frame> stack;
    auto enter = [&](MtlBase* item, bool mtl) {
        const bool numbered = mtl ? mtl_number_.count(static_cast<Mtl*>(item)) != 0
                                  : map_number_.count(static_cast<Texmap*>(item)) != 0;
        if (item != nullptr && !numbered && visiting_.insert(item).second) {
            stack.push_back({item, mtl, 0});
        }
    };
    enter(root, rootIsMtl);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const int maps = top.item->NumSubTexmaps();
        const int subs = top.mtl ? static_cast<Mtl*>(top.item)->NumSubMtls() : 0;
        if (top.next < maps + subs) {
            const int i = top.next++;
            MtlBase* item = top.item; // `top` does not survive a push
            if (i < maps) {
                enter(item->GetSubTexmap(i), false);
            } else {
                enter(static_cast<Mtl*>(item)->GetSubMtl(i - maps), true);
            }
            continue;
        }
        visiting_.erase(top.item);
        if (top.mtl) {
            auto* mtl = static_cast<Mtl*>(top.item);
            mtl_number_[mtl] = static_cast<std::uint32_t>(mtls_.size());
            mtls_.push_back(mtl);
        } else {
            auto* map = static_cast<Texmap*>(top.item);
            map_number_[map] = static_cast<std::uint32_t>(maps_.size());
            maps_.push_back(map);
        }
        stack.pop_back();
    }
}

bool MaterialWriter::write_one(ISave* s, MtlBase* item, USHORT chunk, USHORT data,
                               std::uint32_t number) {
    s->BeginChunk(chunk);
    s->BeginChunk(kNumber);
    bool ok = write_u32(s, number);
    s->EndChunk();
    s->BeginChunk(kClass);
    ok = ok && write_u32(s, item->SuperClassID()) && write_u32(s, item->ClassID().PartA()) &&
         write_u32(s, item->ClassID().PartB());
    s->EndChunk();
    s->BeginChunk(kName);
    ok = ok && write_text(s, WideToUtf8(item->GetName()));
    s->EndChunk();
    s->BeginChunk(data);
    ok = ok && item->Save(s) == IO_OK;
    s->EndChunk();
    if (const ULONG flags = item->GetMtlFlags() & kSavedFlags) {
        s->BeginChunk(kFlags);
        ok = ok && write_u32(s, flags);
        s->EndChunk();
    }
    for (int i = 0; i < item->NumSubTexmaps(); ++i) {
        const auto it = map_number_.find(item->GetSubTexmap(i));
        if (it != map_number_.end()) {
            s->BeginChunk(kSubMap);
            ok = ok && write_u32(s, static_cast<std::uint32_t>(i)) && write_u32(s, it->second);
            s->EndChunk();
        }
    }
    if (auto* mtl = dynamic_cast<Mtl*>(item)) {
        for (int i = 0; i < mtl->NumSubMtls(); ++i) {
            const auto it = mtl_number_.find(mtl->GetSubMtl(i));
            if (it != mtl_number_.end() && it->second < number) {
                s->BeginChunk(kSubMtl);
                ok = ok && write_u32(s, static_cast<std::uint32_t>(i)) && write_u32(s, it->second);
                s->EndChunk();
            }
        }
    }
    s->EndChunk();
    return ok;
}

bool MaterialWriter::Write(ISave* s) {
    bool ok = true;
    for (std::size_t i = 0; i < maps_.size(); ++i) {
        ok = ok && write_one(s, maps_[i], kMapChunk, kMapData, static_cast<std::uint32_t>(i));
    }
    for (std::size_t i = 0; i < mtls_.size(); ++i) {
        ok = ok &&
             write_one(s, mtls_[i], kMaterialChunk, kMaterialData, static_cast<std::uint32_t>(i));
    }
    return ok;
}

MaterialReader::~MaterialReader() {
    for (auto& [number, mtl] : mtls_) {
        mtl->DecRef();
    }
    for (auto& [number, map] : maps_) {
        map->DecRef();
    }
}

Mtl* MaterialReader::Material(std::uint32_t number) const {
    const auto it = mtls_.find(number);
    return it != mtls_.end() ? it->second : nullptr;
}

void MaterialReader::read_one(ILoad* in, bool is_map) {
    const char* kind = is_map ? "texture map" : "material";
    const SClass_ID wanted = is_map ? TEXMAP_CLASS_ID : MATERIAL_CLASS_ID;
    std::uint32_t number = 0;
    bool numbered = false;
    bool damaged = false;
    MtlBase* item = nullptr;
    std::string name;
    while (!damaged && in->OpenChunk() == IO_OK) {
        const USHORT id = in->CurChunkID();
        if (id == kNumber) {
            numbered = read_u32(in, number);
            damaged = !numbered;
        } else if (id == kClass && item == nullptr) {
            std::uint32_t sid = 0, a = 0, b = 0;
            damaged = !read_u32(in, sid) || !read_u32(in, a) || !read_u32(in, b);
            if (!damaged && sid == wanted) {
                item = static_cast<MtlBase*>(core_.CreateInstance(sid, Class_ID(a, b)));
            }
            if (!damaged && item == nullptr) {
                warnings_.push_back(std::string("a ") + kind + " of an unknown class was skipped");
                in->CloseChunk();
                return;
            }
            if (item != nullptr) {
                item->IncRef();
            }
        } else if (id == kName && item != nullptr) {
            std::uint64_t length = 0;
            damaged = !read_u64(in, length) || !read_string(in, length, name);
            item->SetName(Utf8ToWide(name));
        } else if ((id == kMapData || id == kMaterialData) && item != nullptr) {
            damaged = item->Load(in) != IO_OK;
        } else if (id == kFlags && item != nullptr) {
            std::uint32_t flags = 0;
            damaged = !read_u32(in, flags);
            item->SetMtlFlag(flags & kSavedFlags);
        } else if (id == kSubMtl && item != nullptr && !is_map) {
            std::uint32_t slot = 0, sub = 0;
            damaged = !read_u32(in, slot) || !read_u32(in, sub);
            auto* mtl = static_cast<Mtl*>(item);
            const auto it = mtls_.find(sub);
            // A multi/sub-object material of an older file learns its
            // slots from the sub-materials it names.
            const bool grows =
                mtl->ClassID() == multiMtlClassID && slot < std::uint32_t(kMaxSubMtls);
            if (!damaged && it != mtls_.end() &&
                (slot < std::uint32_t(mtl->NumSubMtls()) || grows)) {
                mtl->SetSubMtl(static_cast<int>(slot), it->second);
            } else if (!damaged) {
                warnings_.push_back("material '" + name +
                                    "' names a sub-material the file does not have; its slot "
                                    "stays empty");
            }
        } else if (id == kSubMap && item != nullptr) {
            std::uint32_t slot = 0, map = 0;
            damaged = !read_u32(in, slot) || !read_u32(in, map);
            const auto it = maps_.find(map);
            if (!damaged && it != maps_.end() && slot < std::uint32_t(item->NumSubTexmaps())) {
                item->SetSubTexmap(static_cast<int>(slot), it->second);
            } else if (!damaged) {
                warnings_.push_back(std::string(kind) + " '" + name +
                                    "' names a map the file does not have; its slot stays empty");
            }
        }
        in->CloseChunk();
    }
    const bool taken = item != nullptr && numbered && !damaged &&
                       (is_map ? !maps_.count(number) : !mtls_.count(number));
    if (!taken) {
        if (item != nullptr || damaged || !numbered) {
            warnings_.push_back(std::string("a damaged ") + kind + " was skipped");
        }
        if (item != nullptr) {
            item->DecRef();
        }
        return;
    }
    if (is_map) {
        maps_[number] = static_cast<Texmap*>(item);
    } else {
        mtls_[number] = static_cast<Mtl*>(item);
    }
}
