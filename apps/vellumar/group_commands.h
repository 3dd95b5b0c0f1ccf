// `vellumar groups SCENE` and `vellumar remove-group SCENE KEY`.
#pragma once

#include <cstdint>
#include <string>

// Lists every unwrap group: key, name, channel, map count and its objects.
// Exit status 0, or 2 when the scene cannot be read.
int run_groups_command(const std::string& scene);

// Removes the group from every object (and the modifiers left empty), then
// saves the scene to `out` (the scene itself when empty). Exit status 0, 1
// when no object holds the group, 2 when the scene cannot be read or saved.
int run_remove_group_command(const std::string& scene, std::uint64_t key, const std::string& out);
