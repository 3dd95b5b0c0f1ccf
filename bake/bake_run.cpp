#include "bake/bake_run.h"

#include "bake/bake_selection.h"
#include "bake/caddy.h"
#include "bake/merge_object_images.h"
#include "bake/pass_mode.h"
#include "bake/prepare_objects.h"
#include "bake/render_selection.h"
#include "bake/renderer_kind.h"

#include "host/interface.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "modifier/vellumar_modifier.h"
#include "settings/settings.h"

#include <algorithm>

namespace {

std::string group_name(std::uint64_t groupKey) {
    for (const ScannedNode& s : ScanNodes(groupKey)) {
        if (const UnwrapUVSet* set = s.modifier->FindUVSet(groupKey)) {
            return set->groupName;
        }
    }
    return "unnamed";
}

std::vector<INode*> on_map(const std::vector<INode*>& objects, std::uint64_t groupKey, int m) {
    std::vector<INode*> out;
    std::copy_if(objects.begin(), objects.end(), std::back_inserter(out),
                 [&](INode* node) { return NodeMapIndex(node, groupKey) == m; });
    return out;
}

// Renders every map; the failed mode's text, or "" when all went through.
std::string render_maps(const std::vector<INode*>& objects, std::uint64_t groupKey, PassMode mode,
                        int mapCount, int frame, const std::string& groupName) {
    const bool oneByOne = mode == PerObject && !settings().netrender;
    // Every map, not only as many as there are objects: a map whose first
    // objects were deleted still has objects further up.
    for (int m = 0; m < mapCount; ++m) {
        const std::vector<INode*> nodes = on_map(objects, groupKey, m);
        if (nodes.empty()) {
            continue;
        }
        BakeSelection selection;
        if (oneByOne) {
            for (INode* node : nodes) {
                selection.SelectOne(node);
                const bool rendered = RenderSelection(mapCount, m, frame, groupName);
                selection.Restore();
                if (!rendered) {
                    return RenderFailedText(PerObject);
                }
            }
        } else {
            selection.SelectList(nodes);
            const bool rendered = RenderSelection(mapCount, m, frame, groupName);
            selection.Restore();
            if (!rendered) {
                return RenderFailedText(PerMap);
            }
        }
    }
    return "";
}

// Renders each caddy; the failed mode's text, or "" when all went through.
std::string render_caddies(const CaddySet& caddies, int mapCount, int frame,
                           const std::string& groupName) {
    for (int m : caddies.maps) {
        BakeSelection selection;
        if (!selection.SelectCaddy(m)) {
            return "Rendering failed (mode_c). Mesh caddy not accessible.";
        }
        const bool rendered = RenderSelection(mapCount, m, frame, groupName);
        selection.Restore();
        if (!rendered) {
            return RenderFailedText(Caddy);
        }
    }
    return "";
}

// The class of the baked materials. A class the host does not have leaves
// the baked images nowhere; the host's standard material stands in, said
// once per command.
ClassDesc* baked_material_class(const UnwrapSettings& s) {
    if (ClassDesc* found = FindMaterialClass(s.target_material)) {
        return found;
    }
    const bool slotted = std::any_of(s.elements.begin(), s.elements.end(),
                                     [](const BakeElementEntry& e) { return e.slot != "NONE"; });
    if (!slotted) {
        return nullptr;
    }
    ClassEntry* standard = GetCOREInterface()->GetClassDirectory().FindClassEntry(
        MATERIAL_CLASS_ID, standardMaterialClassID);
    ClassDesc* fallback = standard != nullptr ? standard->CD() : nullptr;
    if (fallback == nullptr) {
        report("Material class " + s.target_material +
                   " not found. The baked textures are not assigned to materials.",
               2);
        return nullptr;
    }
    report("Material class " + s.target_material + " not found. The baked textures go into " +
               WideToUtf8(fallback->ClassName()) + " materials instead.",
           2);
    return fallback;
}

} // namespace

std::vector<INode*> GroupObjects(std::uint64_t groupKey) {
    std::vector<INode*> objects;
    for (const ScannedNode& s : ScanNodes(groupKey)) {
        objects.push_back(s.node);
    }
    return objects;
}

bool BakeFrame(std::uint64_t groupKey, ClassDesc* materialClass, int frame,
               MaterialAssigner& assigner) {
    const std::vector<INode*> objects = GroupObjects(groupKey);
    if (objects.empty()) {
        return false;
    }
    const std::string groupName = group_name(groupKey);
    Interface* ip = GetCOREInterface();
    const TimeValue savedTime = ip->GetTime();
    ip->SetTime(frame * ip->GetTicksPerFrame(), 0);

    const int mapCount = std::max(NodeMapCount(objects.front(), groupKey), 1);
    const int channel = NodeMapChannel(objects.front(), groupKey);
    const RendererKind kind = CurrentRendererKind();
    PassMode mode = SeparatePassMode(kind);
    CaddySet caddies;
    if (settings().bakemode == SinglePass &&
        BuildCaddies(kind, channel, mapCount, objects, groupKey, caddies)) {
        mode = Caddy;
    }
    const std::vector<INode*>& baked = mode == Caddy ? caddies.caddies : objects;

    PrepareObjects(baked, groupKey, mode, mapCount, channel, frame, groupName, caddies.maps);
    const std::string error =
        mode == Caddy ? render_caddies(caddies, mapCount, frame, groupName)
                      : render_maps(objects, groupKey, mode, mapCount, frame, groupName);
    // The caddies' elements go with them; the objects never had any.
    ClearBake(baked);
    ip->SetTime(savedTime, 0);
    if (mode == Caddy) {
        RemoveCaddies(caddies);
    }
    if (!error.empty()) {
        report("Vellumar failed to bake objects: " + error, 0);
        return false;
    }
    if (mode != Caddy) {
        MergeObjectImages(groupName, objects, mapCount, frame);
    }
    assigner.AssignBakedMaterials(GroupObjects(groupKey), groupKey, mapCount, settings().elements,
                                  materialClass, frame, groupName);
    return true;
}

bool Bake(std::uint64_t groupKey) {
    MaterialAssigner assigner;
    return Bake(groupKey, assigner);
}

bool Bake(std::uint64_t groupKey, MaterialAssigner& assigner) {
    // Whatever an earlier command gathered and never handed out is not
    // this bake's.
    assigner.Discard();
    if (groupKey == 0) {
        return false;
    }
    UnwrapSettings& s = settings();
    if (s.elements.empty()) {
        report("No bake elements are selected for baking.", 0);
        return false;
    }
    ClassDesc* materialClass = baked_material_class(s);
    bool ok = true;
    if (s.bakerange) {
        for (int frame = s.bakerangefrom; ok && frame <= s.bakerangeto; ++frame) {
            ok = BakeFrame(groupKey, materialClass, frame, assigner);
        }
    } else {
        Interface* ip = GetCOREInterface();
        ok = BakeFrame(groupKey, materialClass, ip->GetTime() / ip->GetTicksPerFrame(), assigner);
    }
    if (!ok) {
        assigner.Discard();
        return false;
    }
    assigner.FinishBake(GroupObjects(groupKey));
    RefreshUnwrapGroupList();
    return true;
}
