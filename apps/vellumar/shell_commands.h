// `vellumar shells` and `vellumar clear-shells`: the shell materials a bake
// left on a saved scene's objects, switched or taken apart afterwards.
#pragma once

#include <string>
#include <vector>

struct ShellsCommand {
    std::string scene;
    std::string viewport; // "original", "baked" or "" (unchanged)
    std::string render;   // the same
    std::string save;     // "" saves over the scene
};

// Sets which sub-material every shell shows in viewports and renders, then
// saves. Exit status 0, 1 when no object wears a shell, 2 when neither
// choice is given or the scene cannot be read or saved.
int run_shells_command(const ShellsCommand& cmd);

struct ClearShellsCommand {
    std::string scene;
    std::string keep; // "baked" or "source"
    std::string save;
    std::vector<std::string> nodes; // empty: every object
};

// Replaces the shell of every object (or of the named ones) by its baked
// or its source material, then saves. Exit status 0, 1 when none of them
// wears a shell, 2 for an unknown node or a scene that cannot be read or
// saved.
int run_clear_shells_command(const ClearShellsCommand& cmd);
