#include "apps/vellumar/unwrap_command.h"

#include "host/text.h"
#include "modifier/vellumar_modifier.h"
#include "settings/settings.h"
#include "standalone/core.h"
#include "standalone/importer.h"
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

void print_messages(const StandaloneCore& core) {
    for (const MessageRecord& m : core.messages()) {
        std::printf("%s: %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
    }
}

} // namespace

int run_unwrap_command(const UnwrapCommand& cmd) {
    StandaloneCore core(isatty(STDERR_FILENO) != 0);
    core.RegisterClass(GetVellumarModifierDesc());

    const ImportResult imported = import_scene(cmd.scene, core.scene());
    if (!imported.ok) {
        std::fprintf(stderr, "vellumar: %s\n", imported.error.c_str());
        return 2;
    }
    std::vector<INode*> selection;
    if (cmd.nodes.empty()) {
        selection.assign(imported.mesh_nodes.begin(), imported.mesh_nodes.end());
    } else {
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
    return ok ? 0 : 1;
}
