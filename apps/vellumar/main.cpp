// vellumar: unwraps the objects of a scene file into shared UV atlases.
#include "apps/vellumar/group_commands.h"
#include "apps/vellumar/unwrap_command.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <sstream>

namespace {

// CLI::Range lets "nan" through (every comparison with it is false): a
// number must be finite first.
CLI::Validator FiniteRange(double lo, double hi) {
    std::ostringstream range;
    range << "[" << lo << " - " << hi << "]";
    const std::string text = range.str();
    return CLI::Validator(
        [lo, hi, text](std::string& input) -> std::string {
            double x = 0.0;
            if (!CLI::detail::lexical_cast(input, x) || !std::isfinite(x) || x < lo || x > hi) {
                return "Value " + input + " not a finite number in range " + text;
            }
            return std::string();
        },
        "FLOAT in " + text);
}

// Keys are unsigned 64-bit stamps; "-1" would otherwise wrap to the
// largest one.
CLI::Validator GroupKey() {
    return CLI::Validator(
        [](std::string& input) -> std::string {
            std::uint64_t key = 0;
            const auto [end, error] =
                std::from_chars(input.data(), input.data() + input.size(), key);
            if (input.empty() || error != std::errc() || end != input.data() + input.size()) {
                return "Value " + input + " is not a group key (a whole number, 0 or more)";
            }
            return std::string();
        },
        "KEY");
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Vellumar: unwraps many objects at once into shared UV atlases."};
    app.require_subcommand(1);

    UnwrapCommand unwrap;
    CLI::App* cmd = app.add_subcommand("unwrap", "Unwrap the mesh objects of a scene file");
    cmd->add_option("scene", unwrap.scene,
                    "Scene file: a .vlscene of ours, or glTF, FBX, OBJ, 3DS, DAE, ...")
        ->required();
    cmd->add_option("--mode", unwrap.mode, "Unwrap mode")
        ->check(CLI::IsMember({"organic", "hard-surface", "pack", "copy", "projection"}))
        ->capture_default_str();
    cmd->add_option("--source-channel", unwrap.source_channel,
                    "Map channel whose UVs are copied or packed (1 = first UV set)")
        ->check(CLI::Range(1, 99))
        ->capture_default_str();
    cmd->add_option("--channel", unwrap.channel, "Target map channel")
        ->check(CLI::Range(1, 99))
        ->capture_default_str();
    cmd->add_option("--group", unwrap.group, "Unwrap group name")->capture_default_str();
    cmd->add_option("--map-count", unwrap.map_count,
                    "Number of atlases; objects are balanced over them by surface area")
        ->check(CLI::Range(1, 999))
        ->capture_default_str();
    cmd->add_option("--nodes", unwrap.nodes, "Unwrap only these nodes (default: every mesh)")
        ->delimiter(',');
    cmd->add_option("--width", unwrap.width, "Atlas width in pixels")
        ->check(CLI::Range(1, 16384))
        ->capture_default_str();
    cmd->add_option("--height", unwrap.height, "Atlas height in pixels")
        ->check(CLI::Range(1, 16384))
        ->capture_default_str();
    cmd->add_option("--gutter", unwrap.gutter, "Empty pixels between charts")
        ->check(CLI::Range(0, 256))
        ->capture_default_str();
    cmd->add_option("--stretch", unwrap.stretch,
                    "Largest stretch a chart may have: 0 isometric .. 1 anything goes")
        ->check(FiniteRange(0.0, 1.0))
        ->capture_default_str();
    cmd->add_option("--charts", unwrap.charts, "Largest number of charts per atlas (0: no limit)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    cmd->add_flag("--quality", unwrap.quality, "More effort in the organic atlas");
    cmd->add_flag("!--triangles", unwrap.polygons,
                  "Let chart borders cross polygons (default: they follow polygon outlines)");
    cmd->add_option("--camera", unwrap.camera, "Projection mode: the camera node to look through");
    cmd->add_flag("--orthographic", unwrap.orthographic, "Projection mode: ignore perspective");
    cmd->add_option("--view-angle", unwrap.view_angle, "Projection mode: view angle in degrees")
        ->check(FiniteRange(0.0, 180.0))
        ->capture_default_str();
    cmd->add_option("--tolerance", unwrap.tolerance,
                    "Projection mode: degrees of back-facing tolerance (negative: stricter)")
        ->check(FiniteRange(-90.0, 90.0))
        ->capture_default_str();
    cmd->add_flag("--preview", unwrap.preview,
                  "Write the UV template of the last atlas (a PNG named after its title)");
    cmd->add_option("--template", unwrap.template_path, "Write the UV template to this PNG");
    cmd->add_option("--save", unwrap.save, "Save the scene afterwards (.vlscene)");
    cmd->add_option("--export", unwrap.export_path,
                    "Export afterwards: .glb (channel k up to 8 is TEXCOORD_k-1) or .obj (the "
                    "target channel as vt)");
    cmd->add_option("--report", unwrap.report,
                    "Write per map charts, coverage, stretch and stage times (.json)");

    std::string groups_scene;
    CLI::App* groups = app.add_subcommand("groups", "List the unwrap groups of a scene");
    groups->add_option("scene", groups_scene, "Scene file (.vlscene)")->required();

    std::string remove_scene, remove_out;
    std::uint64_t remove_key = 0;
    CLI::App* remove =
        app.add_subcommand("remove-group", "Remove an unwrap group from every object of a scene");
    remove->add_option("scene", remove_scene, "Scene file (.vlscene)")->required();
    remove->add_option("key", remove_key, "Group key, as `vellumar groups` lists it")
        ->required()
        ->check(GroupKey());
    remove->add_option("--save", remove_out, "Write the result here instead of over the scene");

    std::string export_scene_path, export_out;
    CLI::App* exporter =
        app.add_subcommand("export", "Export a scene's evaluated meshes to glTF binary");
    exporter->add_option("scene", export_scene_path, "Scene file")->required();
    exporter
        ->add_option("out", export_out,
                     "Output .glb (channel k up to 8 is TEXCOORD_k-1) or .obj (channel 1 as vt)")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (*groups) {
        return run_groups_command(groups_scene);
    }
    if (*exporter) {
        return run_export_command(export_scene_path, export_out);
    }
    if (*remove) {
        return run_remove_group_command(remove_scene, remove_key, remove_out);
    }
    return run_unwrap_command(unwrap);
}
