#include "apps/vellumar/unwrap_command.h"

#include "apps/vellumar/run_report.h"
#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "settings/settings.h"
#include "standalone/files/exporter.h"
#include "standalone/files/scene_file.h"
#include "unwrap/unwrapper.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// Refuses, before anything is read or run, outputs that would replace the
// input scene (a saved .vlscene over itself is an ordinary save) or each
// other.
bool outputs_are_usable(const UnwrapCommand& cmd) {
    const std::vector<std::pair<const char*, std::string>> outputs = {
        {"--save", cmd.save},
        {"--export", cmd.export_path},
        {"--report", cmd.report},
        {"--template", cmd.template_path}};
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        if (path.empty()) {
            continue;
        }
        const bool ordinary_save = i == 0 && cmd.scene.ends_with(kSceneExtension);
        if (!ordinary_save && same_file(path, cmd.scene)) {
            std::fprintf(stderr, "vellumar: %s '%s' is the input scene; it would be replaced\n",
                         option, path.c_str());
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (!outputs[j].second.empty() && same_file(path, outputs[j].second)) {
                std::fprintf(stderr, "vellumar: %s and %s both name '%s'\n", outputs[j].first,
                             option, path.c_str());
                return false;
            }
        }
    }
    if (!cmd.save.empty() && !cmd.save.ends_with(kSceneExtension)) {
        std::fprintf(stderr, "vellumar: a saved scene is a %s file: '%s'\n", kSceneExtension,
                     cmd.save.c_str());
        return false;
    }
    return true;
}

// A glTF export that could not hold the target channel is refused before
// the run; the channel is known once the preset and the options are in.
bool export_holds_channel(const UnwrapCommand& cmd, int channel) {
    if (!cmd.export_path.empty() && !is_obj_path(cmd.export_path) && channel > kGlbMaxChannel) {
        std::fprintf(stderr,
                     "vellumar: '%s' cannot hold map channel %d: glTF export holds channels 1 to "
                     "%d (TEXCOORD_0 to TEXCOORD_%d); export an .obj or unwrap into a lower "
                     "channel\n",
                     cmd.export_path.c_str(), channel, kGlbMaxChannel, kGlbMaxChannel - 1);
        return false;
    }
    return true;
}

RunSummary summary_of(const Unwrapper& unwrapper, bool ok) {
    RunSummary run;
    run.ok = ok;
    run.message = ok ? std::string() : settings().last_message;
    run.objects = unwrapper.object_count();
    run.seconds_extract = unwrapper.seconds_extract();
    run.maps = unwrapper.map_reports();
    // The group the run made is the newest: its keys count up with time.
    if (const auto groups = CollectUnwrapGroups(); ok && !groups.empty()) {
        const UnwrapSettings& s = settings();
        run.objects_measured = GroupObjectFigures(groups.rbegin()->first, s.width, s.height,
                                                  GetCOREInterface()->GetTime());
    }
    return run;
}

bool stage_report(const std::string& path, const RunSummary& run, StagedOutputs& outputs) {
    const std::string json = report_json(run);
    return outputs.stage(
        path, std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
}

} // namespace

int run_unwrap_command(const UnwrapCommand& cmd) {
    if (!outputs_are_usable(cmd)) {
        return 2;
    }
    StandaloneCore core(isatty(STDERR_FILENO) != 0);
    register_plugin_classes(core);
    // The template is written with the other outputs, once the run is known
    // to have gone through.
    core.SetHoldDisplayedImages(true);
    if (!open_and_select(core, cmd.scene, cmd.nodes, cmd.up)) {
        return 2;
    }

    UnwrapSettings& s = settings();
    if (!cmd.options->apply(s) || !export_holds_channel(cmd, s.channel)) {
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
    unwrapper.density = {cmd.texel_density, static_cast<std::uint32_t>(cmd.max_size), cmd.any_size};
    const bool ok = unwrapper.run(cmd.group);
    for (const std::string& note : unwrapper.notes) {
        std::printf("%s\n", note.c_str());
    }
    for (const std::string& name : unwrapper.skipped_names) {
        std::printf("skipped %s (not a mesh)\n", name.c_str());
    }
    if (ok) {
        for (const UnwrapResult& r : unwrapper.results()) {
            std::printf("%s: %u vertices, %u indices, map %d of %u, channel %u\n",
                        WideToUtf8(r.record.node->GetName()).c_str(), r.record.vertex_count,
                        r.record.index_count, r.map_index, r.map_count, r.target_channel);
        }
        if (cmd.texel_density > 0) {
            std::printf("map size %d x %d at %g texels per unit\n", s.width, s.height,
                        cmd.texel_density);
        }
        std::printf("coverage %.4f\n", unwrapper.coverage());
    }
    print_messages(core);
    // A run that stopped leaves the user's files alone; only the report,
    // which says why, is written.
    if (!ok) {
        StagedOutputs outputs;
        if (!cmd.report.empty() &&
            (!stage_report(cmd.report, summary_of(unwrapper, false), outputs) ||
             !outputs.commit())) {
            return 2;
        }
        return 1;
    }
    StagedOutputs outputs;
    bool staged = true;
    for (const DisplayedImage& image : core.displayed()) {
        if (!image.error.empty()) {
            std::fprintf(stderr, "vellumar: template not written: %s\n", image.error.c_str());
            staged = false;
        } else {
            staged = outputs.stage(image.path, image.png) && staged;
        }
    }
    staged = staged && (cmd.save.empty() || stage_save(core, cmd.save, outputs));
    staged = staged && (cmd.export_path.empty() ||
                        stage_export(core, cmd.export_path, s.channel, s.channel, outputs));
    staged = staged &&
             (cmd.report.empty() || stage_report(cmd.report, summary_of(unwrapper, true), outputs));
    if (!staged || !outputs.commit()) {
        return 2;
    }
    for (const DisplayedImage& image : core.displayed()) {
        std::printf("template \"%s\": %s\n", WideToUtf8(image.title).c_str(), image.path.c_str());
    }
    return 0;
}
