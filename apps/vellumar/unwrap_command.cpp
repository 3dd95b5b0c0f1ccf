#include "apps/vellumar/unwrap_command.h"

#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "settings/settings.h"
#include "unwrap/unwrapper.h"

#include <cstdio>
#include <unistd.h>

namespace {

// The run's figures as JSON: what every map got and how long it took.
bool write_report(const Unwrapper& unwrapper, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "vellumar: cannot write report '%s'\n", path.c_str());
        return false;
    }
    std::fprintf(file, "{\n  \"objects\": %u,\n  \"seconds_extract\": %.6f,\n  \"maps\": [",
                 unwrapper.object_count(), unwrapper.seconds_extract());
    const auto& maps = unwrapper.map_reports();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const MapReport& m = maps[i];
        std::fprintf(file,
                     "%s\n    {\"map\": %d, \"triangles\": %u, \"charts\": %u, \"coverage\": %.6f, "
                     "\"stretch\": %.6f, \"seconds\": {\"combine\": %.6f, \"engine\": %.6f, "
                     "\"corrections\": %.6f, \"write_back\": %.6f}}",
                     i == 0 ? "" : ",", m.map, m.triangles, m.charts, m.coverage, m.stretch,
                     m.seconds_combine, m.seconds_engine, m.seconds_corrections,
                     m.seconds_write_back);
    }
    std::fprintf(file, "\n  ]\n}\n");
    return std::fclose(file) == 0;
}

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
    if (!cmd.options->apply(s)) {
        print_messages(core);
        return 2;
    }
    // The tool has no way to choose selection sets, and a camera handle only
    // means something in the scene it was picked in.
    s.mapmode = FixedNumber;
    s.projection_camera = 0;
    if (!cmd.camera.empty()) {
        SceneNode* camera = core.scene().NodeByName(Utf8ToWide(cmd.camera));
        if (camera == nullptr) {
            std::fprintf(stderr, "vellumar: no node named '%s' in '%s'\n", cmd.camera.c_str(),
                         cmd.scene.c_str());
            return 2;
        }
        s.projection_camera = camera->GetHandle();
    }
    s.preview = cmd.preview || !cmd.template_path.empty();
    if (!cmd.template_path.empty()) {
        core.SetNextDisplayPath(cmd.template_path);
    }

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
    for (const DisplayedImage& image : core.displayed()) {
        if (image.error.empty()) {
            std::printf("template \"%s\": %s\n", WideToUtf8(image.title).c_str(),
                        image.path.c_str());
        } else {
            std::fprintf(stderr, "vellumar: template not written: %s\n", image.error.c_str());
        }
    }
    print_messages(core);
    // The scene is written whether or not the run went through: a failed run
    // keeps the modifiers it added, as the host's scene would.
    if (!cmd.save.empty() && !save_scene(core, cmd.save)) {
        return 2;
    }
    if (!cmd.export_path.empty() && !export_scene(core, cmd.export_path, s.channel)) {
        return 2;
    }
    if (!cmd.report.empty() && !write_report(unwrapper, cmd.report)) {
        return 2;
    }
    return ok ? 0 : 1;
}
