// `vellumar unwrap`: imports a scene, selects its mesh nodes (or the named
// ones), runs one unwrap and prints what every object got.
#pragma once

#include "standalone/files/importer.h"

#include "apps/vellumar/setting_options.h"

#include <string>
#include <vector>

struct UnwrapCommand {
    std::string scene;
    std::string group = "unnamed";
    const SettingOptions* options = nullptr; // mode, channels, atlas size, preset, ...
    std::string report; // ".json": per map charts, coverage, stretch, stage times
    std::string camera; // node name of the projection camera
    bool preview = false;
    std::string template_path; // where the preview goes (default: its title in the folder)
    std::vector<std::string> nodes;
    std::string save;        // ".vlscene" to write after the run
    std::string export_path; // ".glb" or ".obj" (target channel as vt) to write after the run
    UpAxis up = UpAxis::FromFile;
    // > 0: texels per scene unit; the maps' size follows (see Unwrapper).
    double texel_density = 0;
    bool any_size = false;
    int max_size = 4096;
};

// Exit status: 0 the run went through and every output was written; 1 it
// stopped with a message and only the report (saying why) was written; 2
// bad usage, an unreadable scene or preset, a setting out of range, a named
// node that does not exist, or an output that could not be written, and no
// output was written.
int run_unwrap_command(const UnwrapCommand& cmd);
