// `vellumar unwrap`: imports a scene, selects its mesh nodes (or the named
// ones), runs one unwrap and prints what every object got.
#pragma once

#include <string>
#include <vector>

struct UnwrapCommand {
    std::string scene;
    std::string mode = "organic";
    int source_channel = 1;
    int channel = 1;
    std::string group = "unnamed";
    int map_count = 1;
    int width = 1024;
    int height = 1024;
    int gutter = 4;
    float stretch = 0.15f;
    int charts = 0;
    bool quality = false;
    bool polygons = true;
    std::string report; // ".json": per map charts, coverage, stretch, stage times
    std::string camera; // node name of the projection camera
    bool orthographic = false;
    float view_angle = 45.0f;
    float tolerance = 0.0f;
    bool preview = false;
    std::string template_path; // where the preview goes (default: its title in the folder)
    std::vector<std::string> nodes;
    std::string save;        // ".vlscene" to write after the run
    std::string export_path; // ".glb" or ".obj" (target channel as vt) to write after the run
};

// Exit status: 0 the run went through and every output was written; 1 it
// stopped with a message and only the report (saying why) was written; 2
// bad usage, an unreadable scene, a named node that does not exist, or an
// output that could not be written, and no output was written.
int run_unwrap_command(const UnwrapCommand& cmd);
