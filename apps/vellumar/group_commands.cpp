#include "apps/vellumar/group_commands.h"

#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "modifier/vellumar_modifier.h"

#include <cinttypes>
#include <cstdio>

int run_groups_command(const std::string& scene) {
    StandaloneCore core;
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, scene, meshes)) {
        return 2;
    }
    const auto groups = CollectUnwrapGroups();
    if (groups.empty()) {
        std::printf("no unwrap groups\n");
    }
    for (const auto& [key, name] : groups) {
        const std::vector<ScannedNode> members = ScanNodes(key);
        const UnwrapUVSet* first = members.empty() ? nullptr : members[0].modifier->FindUVSet(key);
        std::printf("group %" PRIu64 " \"%s\": %zu objects, channel %d, %d maps\n", key,
                    name.c_str(), members.size(), first != nullptr ? first->mapChannel : 0,
                    first != nullptr ? first->mapCount : 0);
        for (const ScannedNode& m : members) {
            const UnwrapUVSet* set = m.modifier->FindUVSet(key);
            std::printf("  %s: map %d, %u vertices\n", WideToUtf8(m.node->GetName()).c_str(),
                        set->mapIndex, set->numVertices);
        }
    }
    return 0;
}

int run_remove_group_command(const std::string& scene, std::uint64_t key, const std::string& out) {
    StandaloneCore core;
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, scene, meshes)) {
        return 2;
    }
    const int removed = RemoveUnwrapGroup(key);
    if (removed == 0) {
        std::fprintf(stderr, "vellumar: no object holds group %" PRIu64 "\n", key);
        return 1;
    }
    StagedOutputs outputs;
    if (!stage_save(core, out.empty() ? scene : out, outputs) || !outputs.commit()) {
        return 2;
    }
    std::printf("removed group %" PRIu64 " from %d objects\n", key, removed);
    return 0;
}

int run_export_command(const std::string& scene, const std::string& out, UpAxis up) {
    if (same_file(out, scene)) {
        std::fprintf(stderr, "vellumar: '%s' is the input scene; it would be replaced\n",
                     out.c_str());
        return 2;
    }
    StandaloneCore core;
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, scene, meshes, up)) {
        return 2;
    }
    StagedOutputs outputs;
    return stage_export(core, out, 1, 0, outputs) && outputs.commit() ? 0 : 2;
}
