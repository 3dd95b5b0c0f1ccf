// vellumar: unwraps the objects of a scene file into shared UV atlases.
#include "apps/vellumar/group_commands.h"
#include "apps/vellumar/unwrap_command.h"

#include <CLI/CLI.hpp>

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
        ->check(CLI::Range(0.0f, 1.0f))
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
        ->check(CLI::Range(0.0f, 180.0f))
        ->capture_default_str();
    cmd->add_option("--tolerance", unwrap.tolerance,
                    "Projection mode: degrees of back-facing tolerance (negative: stricter)")
        ->check(CLI::Range(-90.0f, 90.0f))
        ->capture_default_str();
    cmd->add_flag("--preview", unwrap.preview,
                  "Write the UV template of the last atlas (a PNG named after its title)");
    cmd->add_option("--template", unwrap.template_path, "Write the UV template to this PNG");
    cmd->add_option("--save", unwrap.save, "Save the scene afterwards (.vlscene)");
    cmd->add_option("--export", unwrap.export_path,
                    "Export afterwards: .glb (channel k is TEXCOORD_k-1) or .obj (the target "
                    "channel as vt)");
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
    remove->add_option("key", remove_key, "Group key, as `vellumar groups` lists it")->required();
    remove->add_option("--save", remove_out, "Write the result here instead of over the scene");

    std::string export_scene_path, export_out;
    CLI::App* exporter =
        app.add_subcommand("export", "Export a scene's evaluated meshes to glTF binary");
    exporter->add_option("scene", export_scene_path, "Scene file")->required();
    exporter->add_option("out", export_out, "Output .glb (channel k is TEXCOORD_k-1)")->required();

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
