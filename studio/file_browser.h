// The studio's file browser: folders and files under the root the user
// chose when starting the studio, and nothing outside it. A path from the
// page is relative to the root; one that is absolute, climbs with "..", or
// leads out through a link is refused.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The path inside the root that `relative` names, with every link resolved;
// nullopt when it would leave the root. The last component need not exist
// (a file to save), but the folder holding it must.
std::optional<std::filesystem::path> ConfinedPath(const std::filesystem::path& root,
                                                  const std::string& relative);

// The page's form of a path inside the root: relative, '/' separated, "" for
// the root itself.
std::string RelativeToRoot(const std::filesystem::path& root, const std::filesystem::path& path);

// {"dir":"rel","entries":[{"name":..,"dir":bool,"size":N},...]} for a folder
// inside the root, folders first, then by name; nullopt when it is refused
// or no folder.
std::optional<std::string> ListFolderJson(const std::filesystem::path& root,
                                          const std::string& relative);
