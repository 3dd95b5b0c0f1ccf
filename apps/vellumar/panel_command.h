// `vellumar panel`: opens the utility panel over a scene, headless, and
// drives it with a script of user actions by control id, as a person would
// with the mouse and keyboard.
#pragma once

#include "apps/vellumar/setting_options.h"
#include "standalone/files/importer.h"

#include <string>
#include <vector>

struct PanelCommand {
    std::string scene;
    std::string script; // a file of actions; "-" reads them from the standard input
    const SettingOptions* options = nullptr; // preset and settings the panel opens with
    std::vector<std::string> nodes;          // the selection (default: every mesh node)
    std::string save;                        // ".vlscene" to write at the end
    std::string export_path;                 // ".glb" or ".obj" to write at the end
    std::string template_path;               // ".png": the last UV template the panel showed
    UpAxis up = UpAxis::FromFile;
    std::string farm; // network bakes: "slurm" or "local" (default: slurm where configured)
};

// Exit status: 0 the script ran through and every output was written; 1 as
// 0, but a network job the script waited for ("wait") failed; 2 bad
// usage, an unreadable scene or script, a script line that names no control
// or fits none, or an output that could not be written (then none is).
int run_panel_command(const PanelCommand& cmd);
