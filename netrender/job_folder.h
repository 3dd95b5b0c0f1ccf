// Where a network bake's render servers write: one folder per submitted job
// on the shared network path. A folder name ends with "\"; scripts receive
// it with its first backslash doubled (they read it as a string literal).
#pragma once

#include <string>

// The folder of the current bake pass for the render of one map: the
// network path, then the job name (made on first need: the scene's file
// name or "Untitled", "_", the millisecond tick count). Each map of a
// group with several maps gets a folder of its own, so that every
// submission keeps its own description.
std::string JobFolder(int mapCount, int mapIndex);

// The folder as a script literal needs it: first backslash doubled.
std::string ScriptFolder(const std::string& folder);
// Back from the script form: the first double backslash made single.
std::string PlainFolder(const std::string& scriptFolder);
