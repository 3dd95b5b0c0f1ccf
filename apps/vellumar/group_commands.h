// `vellumar groups`, `vellumar remove-group` and `vellumar export`: commands
// on a saved scene.
#pragma once

#include "standalone/files/importer.h"

#include <cstdint>
#include <string>

// Lists every unwrap group: key, name, channel, map count and its objects.
// Exit status 0, or 2 when the scene cannot be read.
int run_groups_command(const std::string& scene);

// Loads a scene and exports its evaluated meshes to glTF binary. Exit status
// 0, or 2 when the scene cannot be read or the file written.
int run_export_command(const std::string& scene, const std::string& out, UpAxis up);

// Removes the group from every object (and the modifiers left empty), then
// saves the scene to `out` (the scene itself when empty). Exit status 0, 1
// when no object holds the group, 2 when the scene cannot be read or saved.
int run_remove_group_command(const std::string& scene, std::uint64_t key, const std::string& out);
