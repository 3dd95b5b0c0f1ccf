#include "apps/vellumar/bake_command.h"

#include "apps/vellumar/network_commands.h"
#include "apps/vellumar/scene_io.h"
#include "bake/bake_run.h"
#include "bake/local_path.h"
#include "bake/output_names.h"
#include "host/text.h"
#include "host/windows.h"
#include "modifier/unwrap_groups.h"
#include "netrender/job_folder.h"
#include "netrender/net_render.h"
#include "settings/settings.h"
#include "standalone/files/scene_file.h"
#include "standalone/network/job_queue.h"
#include "standalone/network/slurm_queue.h"

#include <boost/filesystem.hpp>

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <unistd.h>

namespace {

// The group named by its key, or else by its name; 0 (printed) when there
// is none or the name is ambiguous.
std::uint64_t find_group(const std::string& text, const std::string& scene) {
    const auto groups = CollectUnwrapGroups();
    std::uint64_t key = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), key);
    if (error == std::errc() && end == text.data() + text.size() && groups.count(key) != 0) {
        return key;
    }
    std::vector<std::uint64_t> named;
    for (const auto& [k, name] : groups) {
        if (name == text) {
            named.push_back(k);
        }
    }
    if (named.size() == 1) {
        return named[0];
    }
    if (named.empty()) {
        std::fprintf(stderr, "vellumar: no unwrap group '%s' in '%s'%s\n", text.c_str(),
                     scene.c_str(), groups.empty() ? " (it has none)" : "; it has:");
    } else {
        std::fprintf(stderr, "vellumar: %zu unwrap groups are named '%s'; give the key:\n",
                     named.size(), text.c_str());
    }
    for (const auto& [k, name] : groups) {
        std::fprintf(stderr, "  %" PRIu64 " \"%s\"\n", k, name.c_str());
    }
    return 0;
}

bool outputs_are_usable(const BakeCommand& cmd) {
    if (!cmd.save.empty() && !cmd.save.ends_with(kSceneExtension)) {
        std::fprintf(stderr, "vellumar: a saved scene is a %s file: '%s'\n", kSceneExtension,
                     cmd.save.c_str());
        return false;
    }
    if (!cmd.export_path.empty() && same_file(cmd.export_path, cmd.scene)) {
        std::fprintf(stderr, "vellumar: --export '%s' is the input scene; it would be replaced\n",
                     cmd.export_path.c_str());
        return false;
    }
    if (!cmd.save.empty() && !cmd.export_path.empty() && same_file(cmd.save, cmd.export_path)) {
        std::fprintf(stderr, "vellumar: --save and --export both name '%s'\n", cmd.save.c_str());
        return false;
    }
    return true;
}

// The merged images of the run, as the user finds them.
void print_images(const UnwrapSettings& s, const std::string& groupName, int maps) {
    const int first = s.bakerange ? s.bakerangefrom : 0;
    const int last = s.bakerange ? s.bakerangeto : 0;
    for (const BakeElementEntry& entry : s.elements) {
        for (int frame = first; frame <= last; ++frame) {
            for (int m = 0; m < maps; ++m) {
                const std::string path =
                    LocalPath(MapFrameOutputName(EntryOutputName(entry, groupName), maps, m, frame))
                        .string();
                boost::system::error_code ec;
                if (boost::filesystem::exists(path, ec)) {
                    std::printf("%s: %s\n",
                                entry.elementClass != nullptr
                                    ? WideToUtf8(entry.elementClass->ClassName()).c_str()
                                    : "?",
                                path.c_str());
                }
            }
        }
    }
}

// A frame range writes an image per frame, element and map: one that long
// is baked only when the user says so, at the terminal or with --yes.
bool long_range_confirmed(const UnwrapSettings& s, const BakeCommand& cmd, int maps) {
    constexpr long long kLongRange = 1000;
    const long long frames = s.bakerange ? 1LL + s.bakerangeto - s.bakerangefrom : 1;
    if (frames <= kLongRange || cmd.yes) {
        return true;
    }
    const long long images = frames * static_cast<long long>(s.elements.size()) * std::max(maps, 1);
    if (isatty(STDIN_FILENO) == 0) {
        std::fprintf(stderr,
                     "vellumar: frames %d to %d are %lld frames (%lld images); give --yes to bake "
                     "them\n",
                     s.bakerangefrom, s.bakerangeto, frames, images);
        return false;
    }
    std::fprintf(stderr, "vellumar: bake frames %d to %d, %lld frames (%lld images)? [y/N] ",
                 s.bakerangefrom, s.bakerangeto, frames, images);
    char answer[16] = {};
    return std::fgets(answer, sizeof answer, stdin) != nullptr &&
           (answer[0] == 'y' || answer[0] == 'Y');
}

} // namespace

int run_bake_command(const BakeCommand& cmd) {
    if (!outputs_are_usable(cmd)) {
        return 2;
    }
    StandaloneCore core(isatty(STDERR_FILENO) != 0);
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, cmd.scene, meshes)) {
        return 2;
    }
    const std::uint64_t key = find_group(cmd.group, cmd.scene);
    if (key == 0) {
        return 2;
    }
    UnwrapSettings& s = settings();
    if (!cmd.options->apply(s)) {
        print_messages(core);
        return 2;
    }
    // The preset's or --bake-mode's choice stands; --separate overrides it
    // for a run that must not build caddies.
    if (cmd.separate) {
        s.bakemode = Separate;
    }
    const std::vector<INode*> objects = GroupObjects(key);
    const std::string groupName = CollectUnwrapGroups()[key];
    const int maps = objects.empty() ? 0 : NodeMapCount(objects[0], key);
    const int channel = objects.empty() ? 1 : NodeMapChannel(objects[0], key);
    if (!long_range_confirmed(s, cmd, maps)) {
        return 2;
    }
    std::printf("baking group \"%s\": %zu objects, %d map%s, channel %d\n", groupName.c_str(),
                objects.size(), maps, maps == 1 ? "" : "s", channel);
    if (s.netrender) {
        core.SetQuestionAnswer(cmd.find_manager ? IDOK : IDCANCEL);
        if (!cmd.farm.empty()) {
            farmConfig().kind = cmd.farm == "slurm" ? FarmKind::Slurm : FarmKind::Local;
        }
        if (farmConfig().kind == FarmKind::Slurm && !ReadSlurmController().found) {
            std::fprintf(stderr,
                         "vellumar: no Slurm cluster is configured: %s cannot be read. Set "
                         "SLURM_CONF to the cluster's slurm.conf (scripts/slurm-up.sh DIR writes "
                         "DIR/env.sh for a private one), or bake with --farm local.\n",
                         SlurmConfigPath().c_str());
            return 2;
        }
        farmConfig().localPort = s.port;
        if (!cmd.render_server.empty()) {
            farmConfig().executable = cmd.render_server;
        }
        if (cmd.wait) {
            // Jobs end while we wait: their messages show as they come.
            core.SetMessageListener([](const MessageRecord& m) {
                std::printf("%s: %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
                std::fflush(stdout);
            });
        }
    }
    bool ok = Bake(key);
    if (s.netrender) {
        for (const MonitoredJob& job : netRender().Jobs()) {
            if (!job.jobFolder.empty()) {
                std::printf("submitted job %s: %s\n", job.name.c_str(),
                            LocalPath(PlainFolder(job.jobFolder)).string().c_str());
            }
        }
        if (ok && cmd.wait) {
            ok = wait_for_jobs();
        }
        ReleaseNetRender();
        core.SetMessageListener(nullptr);
        if (!cmd.wait) {
            print_messages(core);
        }
        if (!ok) {
            return 1;
        }
    } else {
        print_messages(core);
    }
    if (!ok) {
        if (objects.empty()) {
            std::fprintf(stderr, "vellumar: group \"%s\" has no objects to bake\n",
                         groupName.c_str());
        }
        return 1;
    }
    print_images(s, groupName, maps);
    StagedOutputs outputs;
    const bool staged =
        (cmd.save.empty() || stage_save(core, cmd.save, outputs)) &&
        (cmd.export_path.empty() || stage_export(core, cmd.export_path, channel, 0, outputs));
    return staged && outputs.commit() ? 0 : 2;
}
