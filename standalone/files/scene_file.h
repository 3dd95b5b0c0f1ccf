// The standalone host's own scene file: the whole scene in host chunks.
//
//   0x5600 scene (container)
//     0x5601 header: 8 bytes "VLMSCENE", u32 version
//     0x5610 node (container), one per node in scene order
//       0x5611 u32 handle, u64 name length, name (UTF-8), 12 x f32 transform
//              (rows 0..3), u8 hidden
//       0x5612 u32 property count, then per property u64 length + key,
//              u64 length + value (UTF-8)
//       0x5620 object (see below)
//     0x5630 named selection set: u64 name length, name, u32 count, count x
//            u32 node handles
//     0x5640 selection: u32 count, count x u32 node handles
//
//   0x5620 object (container)
//     0x5621 u32 super class, u32 class id part A, u32 part B
//     then by class: 0x5622 triangle mesh, 0x5623 polygon mesh, 0x5624
//     camera (f32 fov, u8 orthographic), or for a derived object one 0x5620
//     (what it modifies) and per modifier from the top (index 0) down one
//     0x5625 (container) holding 0x5621 and 0x5626 (the modifier's own data)
//
// All numbers are little-endian. Loading stops cleanly at the first damaged
// chunk and keeps what it read before it.
#pragma once

#include "standalone/core.h"

#include <string>
#include <vector>

inline constexpr const char* kSceneExtension = ".vlscene";

struct SceneFileResult {
    bool ok = false;
    std::string error;                 // set when !ok
    std::vector<std::string> warnings; // what was skipped while loading
};

// Writes the scene and the core's selection.
SceneFileResult save_scene_file(StandaloneCore& core, const std::string& path);
std::vector<std::uint8_t> scene_bytes(StandaloneCore& core);

// Adds the file's nodes and sets to the core's (empty) scene and selects what
// was selected; modifiers come back through the classes registered with the
// core. Post-load callbacks run at the end.
SceneFileResult load_scene_file(StandaloneCore& core, const std::string& path);
SceneFileResult load_scene_bytes(StandaloneCore& core, const std::uint8_t* data, std::size_t size);
