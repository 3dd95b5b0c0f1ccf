#include "apps/vellumar/shell_commands.h"

#include "apps/vellumar/scene_io.h"
#include "bake/baked_materials.h"
#include "host/iparamb2.h"
#include "host/text.h"

#include <algorithm>
#include <cstdio>

namespace {

std::vector<INode*> every_node(StandaloneCore& core) {
    std::vector<INode*> nodes;
    for (const auto& node : core.scene().Nodes()) {
        nodes.push_back(node.get());
    }
    return nodes;
}

int choice_value(const std::string& choice) {
    return choice == "baked" ? 1 : 0;
}

bool save_scene(StandaloneCore& core, const std::string& scene, const std::string& out) {
    StagedOutputs outputs;
    return stage_save(core, out.empty() ? scene : out, outputs) && outputs.commit();
}

} // namespace

int run_shells_command(const ShellsCommand& cmd) {
    if (cmd.viewport.empty() && cmd.render.empty()) {
        std::fprintf(stderr, "vellumar: say which material shells show: --viewport or --render\n");
        return 2;
    }
    StandaloneCore core;
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, cmd.scene, meshes)) {
        return 2;
    }
    const std::vector<INode*> nodes = every_node(core);
    int shells = 0;
    if (!cmd.viewport.empty()) {
        shells = SetShellIndex(nodes, kShellViewport, choice_value(cmd.viewport));
    }
    if (!cmd.render.empty()) {
        shells = SetShellIndex(nodes, kShellRender, choice_value(cmd.render));
    }
    if (shells == 0) {
        std::fprintf(stderr, "vellumar: no object of '%s' wears a shell material\n",
                     cmd.scene.c_str());
        return 1;
    }
    if (!save_scene(core, cmd.scene, cmd.save)) {
        return 2;
    }
    for (INode* node : nodes) {
        Mtl* mtl = node->GetMtl();
        if (IsShell(mtl)) {
            IParamBlock2* block = mtl->GetParamBlock(0);
            auto shown = [&](int which) {
                return block->GetInt(static_cast<ParamID>(which)) == 1 ? "baked" : "original";
            };
            std::printf("%s: viewport %s, render %s\n", WideToUtf8(node->GetName()).c_str(),
                        shown(kShellViewport), shown(kShellRender));
        }
    }
    return 0;
}

int run_clear_shells_command(const ClearShellsCommand& cmd) {
    StandaloneCore core;
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, cmd.scene, meshes)) {
        return 2;
    }
    std::vector<INode*> chosen;
    if (cmd.nodes.empty()) {
        chosen = every_node(core);
    }
    if (!find_named_nodes(core, cmd.nodes, cmd.scene, chosen)) {
        return 2;
    }
    core.SetSelection(chosen);
    const int cleared = ClearShells(cmd.keep == "baked");
    if (cleared == 0) {
        std::fprintf(stderr, "vellumar: none of the objects wears a shell material\n");
        return 1;
    }
    if (!save_scene(core, cmd.scene, cmd.save)) {
        return 2;
    }
    std::printf("cleared %d shell%s, kept the %s materials\n", cleared, cleared == 1 ? "" : "s",
                cmd.keep == "baked" ? "baked" : "source");
    return 0;
}
