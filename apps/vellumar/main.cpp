// vellumar: unwraps the objects of a scene file into shared UV atlases.
#include "apps/vellumar/bake_command.h"
#include "apps/vellumar/batch_command.h"
#include "apps/vellumar/group_commands.h"
#include "apps/vellumar/network_commands.h"
#include "apps/vellumar/panel_command.h"
#include "apps/vellumar/preset_commands.h"
#include "apps/vellumar/scene_io.h"
#include "apps/vellumar/shell_commands.h"
#include "apps/vellumar/studio_command.h"
#include "apps/vellumar/unwrap_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <thread>

#include <charconv>

namespace {

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

namespace {

void add_density_options(CLI::App* cmd, double& density, bool& any_size, int& max_size) {
    CLI::Option* by_density =
        cmd->add_option("--texel-density", density,
                        "Texels per scene unit: each map gets the smallest size that holds its "
                        "charts at this density (organic and hard surface modes)")
            ->check(CLI::PositiveNumber);
    cmd->add_flag("--any-size", any_size,
                  "With --texel-density: any map size, not only powers of two")
        ->needs(by_density);
    cmd->add_option("--max-size", max_size,
                    "With --texel-density: the largest map side; a group that needs more "
                    "spreads over more maps (default 4096)")
        ->check(CLI::Range(16, 16384))
        ->needs(by_density);
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
    SettingOptions unwrap_options;
    unwrap.options = &unwrap_options;
    unwrap_options.add_preset_option(cmd);
    unwrap_options.add_unwrap_options(cmd);
    cmd->add_option("--group", unwrap.group, "Unwrap group name")->capture_default_str();
    cmd->add_option("--nodes", unwrap.nodes, "Unwrap only these nodes (default: every mesh)")
        ->delimiter(',');
    cmd->add_option("--camera", unwrap.camera, "Projection mode: the camera node to look through");
    cmd->add_flag("--preview", unwrap.preview,
                  "Write the UV template of the last atlas (a PNG named after its title)");
    cmd->add_option("--template", unwrap.template_path, "Write the UV template to this PNG");
    cmd->add_option("--save", unwrap.save, "Save the scene afterwards (.vlscene)");
    add_up_option(cmd, unwrap.up);
    cmd->add_option("--export", unwrap.export_path,
                    "Export afterwards: .glb (channel k up to 8 is TEXCOORD_k-1) or .obj (the "
                    "target channel as vt)");
    cmd->add_option("--report", unwrap.report,
                    "Write per map charts, coverage, stretch and stage times (.json)");
    add_density_options(cmd, unwrap.texel_density, unwrap.any_size, unwrap.max_size);

    PanelCommand panel;
    SettingOptions panel_options;
    panel.options = &panel_options;
    CLI::App* panel_cmd = app.add_subcommand(
        "panel", "Open the panel over a scene and drive it with a script of user actions");
    panel_cmd->add_option("scene", panel.scene, "Scene file (as for unwrap)")->required();
    panel_cmd->add_option(
        "--script", panel.script,
        "Actions, one per line ('-': standard input): click ID (or open ID), check ID, "
        "uncheck ID, set ID VALUE (a swatch: set ID #RRGGBB), type ID TEXT, "
        "select ID I[,J...], fold ID, unfold ID, pick NODE, pick, rightclick, "
        "answer file PATH, answer folder PATH, answer cancel, nodes A,B|all, wait (for the "
        "network jobs), dump. Without a script the panel is shown once");
    panel_options.add_preset_option(panel_cmd);
    panel_cmd->add_option("--nodes", panel.nodes, "Select these nodes (default: every mesh)")
        ->delimiter(',');
    panel_cmd->add_option("--save", panel.save, "Save the scene at the end (.vlscene)");
    panel_cmd->add_option("--export", panel.export_path, "Export at the end (.glb or .obj)");
    panel_cmd->add_option("--template", panel.template_path,
                          "Write the last UV template the panel showed (Show Unwrap Preview) to "
                          "this PNG");
    add_up_option(panel_cmd, panel.up);
    panel_cmd
        ->add_option("--farm", panel.farm,
                     "Network render: slurm or local (default: slurm where it is configured)")
        ->check(CLI::IsMember({"slurm", "local"}));

    BatchCommand batch;
    CLI::App* batch_cmd = app.add_subcommand(
        "batch", "Unwrap and bake a whole list of scenes with one preset, each into OUT/NAME/");
    batch_cmd->add_option("list", batch.list,
                          "A text file of scene paths (one per line), or a folder of scenes");
    batch_cmd->add_option("--preset", batch.preset,
                          "The preset every scene is unwrapped and baked with (.vl)");
    batch_cmd->add_option("--out", batch.out, "The batch's folder (default: batch-out)");
    batch_cmd
        ->add_option("--farm", batch.farm,
                     "none: one scene after another; local: --jobs scenes at once on this machine; "
                     "slurm: one array job on the Slurm cluster (SLURM_CONF)")
        ->check(CLI::IsMember({"none", "local", "slurm"}));
    batch_cmd
        ->add_option("--jobs", batch.jobs, "Scenes at once with --farm local or slurm (default 2)")
        ->check(CLI::Range(1, 64));
    batch_cmd->add_option("--resume", batch.resume,
                          "An earlier batch's folder: run the scenes it has not finished");
    add_density_options(batch_cmd, batch.texel_density, batch.any_size, batch.max_size);

    std::string task_out;
    int task_index = -1;
    CLI::App* task_cmd =
        app.add_subcommand("batch-task", "Farm task: scenes of a submitted batch, in turn");
    task_cmd->add_option("out", task_out, "The batch's folder")->required();
    task_cmd->add_option("index", task_index, "The task's number in its array")->required();

    StudioCommand studio;
    SettingOptions studio_options;
    studio.options = &studio_options;
    CLI::App* studio_cmd = app.add_subcommand(
        "studio", "Open the panel and the scene in a browser page (Vellumar Studio)");
    studio_cmd->add_option("scene", studio.scene,
                           "Scene file (as for unwrap); none: an empty scene");
    studio_cmd->add_option("--port", studio.port, "Port on 127.0.0.1 (default: a free one)")
        ->check(CLI::Range(0, 65535));
    studio_cmd->add_flag("--no-open", studio.no_open, "Print the address; open no browser");
    studio_cmd->add_option("--root", studio.root,
                           "The folder the page's file browser shows (default: the current one)");
    studio_options.add_preset_option(studio_cmd);
    add_up_option(studio_cmd, studio.up);

    BakeCommand bake;
    CLI::App* baker = app.add_subcommand(
        "bake", "Bake the chosen elements of an unwrap group's objects into its atlases");
    baker->add_option("scene", bake.scene, "Scene file holding the unwrapped group (.vlscene)")
        ->required();
    baker->add_option("--group", bake.group, "Unwrap group: its name or key (see `groups`)")
        ->required();
    SettingOptions bake_options;
    bake.options = &bake_options;
    bake_options.add_preset_option(baker);
    bake_options.add_bake_options(baker);
    baker->add_flag("--separate", bake.separate,
                    "Render the objects separately, without caddies, whatever the bake mode");
    baker->add_flag("--yes", bake.yes, "Bake a range of more than 1,000 frames without asking");
    baker->add_flag("--wait", bake.wait,
                    "With --netrender: stay until every job has finished and is merged");
    baker->add_flag("--find-manager", bake.find_manager,
                    "With --netrender: look for a manager when the given one does not answer");
    baker
        ->add_option("--farm", bake.farm,
                     "With --netrender: slurm or local (default: slurm where it is configured)")
        ->check(CLI::IsMember({"slurm", "local"}));
    baker->add_option("--render-server", bake.render_server,
                      "With --netrender: the vellumar the render servers run (default: this one)");
    baker->add_option("--save", bake.save, "Save the scene afterwards (.vlscene)");
    baker->add_option("--export", bake.export_path,
                      "Export afterwards: .glb (with the group channel's tangents) or .obj");

    std::string job_snapshot;
    CLI::App* render_job = app.add_subcommand(
        "render-job", "Render server: bake a submitted snapshot's selection into its job folder");
    render_job->add_option("snapshot", job_snapshot, "The job's scene snapshot (.vlscene)")
        ->required();
    std::string merge_folder;
    CLI::App* merge_cmd = app.add_subcommand(
        "merge", "Merge a finished network job's images into their textures (job.desc)");
    merge_cmd->add_option("folder", merge_folder, "The job folder")->required();
    std::string merge_out;
    merge_cmd->add_option("--out", merge_out,
                          "The folder the bake wrote its textures to: targets of job.desc outside "
                          "it are refused (default: the preset's output folder)");
    int manager_port = 3234, manager_slots = 0, manager_idle = 0;
    std::string manager_render_server;
    CLI::App* manager_cmd =
        app.add_subcommand("manager", "Run the local network manager: jobs run on this machine");
    manager_cmd->add_option("--render-server", manager_render_server,
                            "The vellumar whose render-job runs each job (default: this one)");
    manager_cmd
        ->add_option("--port", manager_port,
                     "Its number: one manager per number, on a socket only you can reach")
        ->check(CLI::Range(1, 65535));
    manager_cmd->add_option("--slots", manager_slots, "Jobs at once (default: the cores)")
        ->check(CLI::Range(0, 256));
    manager_cmd
        ->add_option("--idle-exit", manager_idle,
                     "Stop after this many seconds with nothing to do (0: never)")
        ->check(CLI::Range(0, 86400));

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
    UpAxis export_up = UpAxis::FromFile;
    CLI::App* exporter =
        app.add_subcommand("export", "Export a scene's evaluated meshes to glTF binary");
    exporter->add_option("scene", export_scene_path, "Scene file")->required();
    exporter
        ->add_option("out", export_out,
                     "Output .glb (channel k up to 8 is TEXCOORD_k-1) or .obj (channel 1 as vt)")
        ->required();
    add_up_option(exporter, export_up);

    ShellsCommand shells;
    CLI::App* shells_cmd =
        app.add_subcommand("shells", "Choose which material the shells of a scene's objects show");
    shells_cmd->add_option("scene", shells.scene, "Scene file (.vlscene)")->required();
    const std::vector<std::string> choices{"original", "baked"};
    shells_cmd->add_option("--viewport", shells.viewport, "What viewports show")
        ->check(CLI::IsMember(choices));
    shells_cmd->add_option("--render", shells.render, "What renders show")
        ->check(CLI::IsMember(choices));
    shells_cmd->add_option("--save", shells.save,
                           "Write the result here instead of over the scene");

    ClearShellsCommand clear;
    CLI::App* clear_cmd = app.add_subcommand(
        "clear-shells", "Replace each shell material by its baked or its source material");
    clear_cmd->add_option("scene", clear.scene, "Scene file (.vlscene)")->required();
    clear_cmd->add_option("--keep", clear.keep, "The material each object keeps")
        ->required()
        ->check(CLI::IsMember({"baked", "source"}));
    clear_cmd->add_option("--save", clear.save, "Write the result here instead of over the scene");
    clear_cmd->add_option("--nodes", clear.nodes, "Only these objects (default: every object)")
        ->delimiter(',');

    CLI::App* preset = app.add_subcommand("preset", "Save or show settings presets (.vl)");
    preset->require_subcommand(1);
    SettingOptions preset_options;
    std::string preset_save_file;
    CLI::App* preset_save = preset->add_subcommand(
        "save", "Save the settings (defaults, default preset, --preset, options) as a preset");
    preset_save->add_option("file", preset_save_file,
                            "Preset file (.vl); without one, the default preset");
    preset_options.add_preset_option(preset_save);
    preset_options.add_unwrap_options(preset_save);
    preset_options.add_bake_options(preset_save);
    std::string preset_show_file;
    CLI::App* preset_show = preset->add_subcommand("show", "Show the values a preset holds");
    preset_show->add_option("file", preset_show_file, "Preset file (.vl)")->required();

    CLI::App* elements = app.add_subcommand(
        "elements", "List the bake element classes with their parameters (type, value, range)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (*preset_save) {
        return run_preset_save(preset_options, preset_save_file);
    }
    if (*preset_show) {
        return run_preset_show(preset_show_file);
    }
    if (*elements) {
        return run_elements_command();
    }
    if (*baker) {
        return run_bake_command(bake);
    }
    if (*render_job) {
        return run_render_job_command(job_snapshot);
    }
    if (*merge_cmd) {
        return run_merge_command(merge_folder, merge_out);
    }
    if (*manager_cmd) {
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        return run_manager_command(manager_port,
                                   manager_slots > 0 ? manager_slots : std::max(cores, 1),
                                   manager_idle, manager_render_server);
    }
    if (*groups) {
        return run_groups_command(groups_scene);
    }
    if (*exporter) {
        return run_export_command(export_scene_path, export_out, export_up);
    }
    if (*shells_cmd) {
        return run_shells_command(shells);
    }
    if (*clear_cmd) {
        return run_clear_shells_command(clear);
    }
    if (*panel_cmd) {
        return run_panel_command(panel);
    }
    if (*task_cmd) {
        return run_batch_task_command(task_out, task_index);
    }
    if (*batch_cmd) {
        if (batch.list.empty() && batch.resume.empty()) {
            std::fprintf(stderr, "vellumar: batch needs a LIST or --resume DIR\n");
            return 2;
        }
        return run_batch_command(batch);
    }
    if (*studio_cmd) {
        return run_studio_command(studio);
    }
    if (*remove) {
        return run_remove_group_command(remove_scene, remove_key, remove_out);
    }
    return run_unwrap_command(unwrap);
}
