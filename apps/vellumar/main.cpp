// vellumar: unwraps the objects of a scene file into shared UV atlases.
#include "apps/vellumar/unwrap_command.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"Vellumar: unwraps many objects at once into shared UV atlases."};
    app.require_subcommand(1);

    UnwrapCommand unwrap;
    CLI::App* cmd = app.add_subcommand("unwrap", "Unwrap the mesh objects of a scene file");
    cmd->add_option("scene", unwrap.scene, "Scene file (glTF, FBX, OBJ, 3DS, DAE, ...)")
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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    return run_unwrap_command(unwrap);
}
