// `vellumar bake`: opens a scene, bakes the chosen elements of one unwrap
// group into its atlases and writes the images (and, when asked, the scene
// and a glTF export).
#pragma once

#include "apps/vellumar/setting_options.h"

#include <string>

struct BakeCommand {
    std::string scene;
    std::string group; // name or key, as `vellumar groups` lists them
    const SettingOptions* options = nullptr;
    bool separate = false;
    std::string save;          // ".vlscene" to write after the bake
    std::string export_path;   // ".glb" or ".obj" to write after the bake
    bool wait = false;         // network bakes: stay until the jobs are merged
    bool find_manager = false; // answer the manager question with OK
    std::string farm;          // "slurm" or "local"; empty: Slurm where configured
    std::string render_server; // the program farm jobs run; empty: this one
    bool yes = false;          // bake long frame ranges without asking
};

// Exit status as for unwrap: 0 baked and every output written; 1 the bake
// stopped with a message (images of earlier frames stay) or, with --wait, a
// network job was not merged; 2 bad usage, an
// unreadable scene or preset, an unknown group, or an output that could not
// be written.
int run_bake_command(const BakeCommand& cmd);
