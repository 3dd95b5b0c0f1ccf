#include "apps/vellumar/unwrap_command.h"

#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "settings/settings.h"
#include "unwrap/unwrapper.h"

#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

const std::map<std::string, UnwrapMode> kModes = {{"organic", Organic},
                                                  {"hard-surface", HardSurface},
                                                  {"pack", UvPack},
                                                  {"copy", UvCopy},
                                                  {"projection", Projection}};

} // namespace

int run_unwrap_command(const UnwrapCommand& cmd) {
    StandaloneCore core(isatty(STDERR_FILENO) != 0);
    register_plugin_classes(core);
    std::vector<INode*> selection;
    if (!open_scene(core, cmd.scene, selection)) {
        return 2;
    }
    if (!cmd.nodes.empty()) {
        selection.clear();
        for (const std::string& name : cmd.nodes) {
            SceneNode* node = core.scene().NodeByName(Utf8ToWide(name));
            if (node == nullptr) {
                std::fprintf(stderr, "vellumar: no node named '%s' in '%s'\n", name.c_str(),
                             cmd.scene.c_str());
                return 2;
            }
            selection.push_back(node);
        }
    }
    core.SetSelection(selection);

    UnwrapSettings& s = settings();
    s.base_unwrap = kModes.at(cmd.mode);
    s.source_channel = cmd.source_channel;
    s.channel = cmd.channel;
    s.mapmode = FixedNumber;
    s.mapcount = cmd.map_count;
    s.preview = false;

    Unwrapper unwrapper;
    const bool ok = unwrapper.run(cmd.group);
    for (const std::string& name : unwrapper.skipped_names) {
        std::printf("skipped %s (not a mesh)\n", name.c_str());
    }
    if (ok) {
        for (const UnwrapResult& r : unwrapper.results()) {
            std::printf("%s: %u vertices, %u indices, map %d of %u, channel %u\n",
                        WideToUtf8(r.record.node->GetName()).c_str(), r.record.vertex_count,
                        r.record.index_count, r.map_index, r.map_count, r.target_channel);
        }
        std::printf("coverage %.4f\n", unwrapper.coverage());
    }
    print_messages(core);
    // The scene is written whether or not the run went through: a failed run
    // keeps the modifiers it added, as the host's scene would.
    if (!cmd.save.empty() && !save_scene(core, cmd.save)) {
        return 2;
    }
    if (!cmd.export_path.empty() && !export_scene(core, cmd.export_path)) {
        return 2;
    }
    return ok ? 0 : 1;
}
