// Export of the evaluated scene: glTF 2.0 binary (.glb) and OBJ.
//
// glTF: one mesh per node that evaluates to a mesh with at least one
// triangle. Map channel k (1 to 8) becomes the texture-coordinate set
// TEXCOORD_(k-1). glTF numbers its sets without gaps, so a channel missing
// below the highest exported one is written as zeros to keep the others at
// their numbers; nothing is written above it. Readers take at most eight
// sets, so channels 9 to 99 are not exported; `lost_channels` names them.
// Every vertex has the normal the host shades with (smoothing groups) and,
// when the mesh has the tangent channel, the tangent frame tangent-space
// normal maps baked into that channel are read in (TANGENT, w the
// handedness). A glTF vertex is a distinct combination of a corner's
// position, normal, tangent and UVs in every exported set: corners are split
// wherever any of them differ.
//
// Each standard material of the exported nodes becomes one metallic-roughness
// material (not metallic, fully rough): the diffuse colour and opacity as
// base colour, blended below full opacity; a bitmap in the diffuse slot as
// base colour texture and the normal map of a normal bump in the bump slot
// as normal texture, each reading the set of its map channel. Their images
// travel inside the file (PNG and JPEG as they are, other formats as PNG).
// A texture that cannot be read, or whose set the mesh does not export, is
// left out with a warning; nodes with materials of other classes are
// exported without one.
#pragma once

#include "host/interface.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kGlbMaxChannel = 8;

struct ExportResult {
    bool ok = false;
    std::string error; // set when !ok
    int meshes = 0;
    std::vector<int> lost_channels;  // channels the meshes hold that the file cannot
    std::vector<std::uint8_t> bytes; // the file, when exported to memory
    // What the file leaves out of the scene's materials, and why.
    std::vector<std::string> warnings;
};

ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, int tangentChannel = 1);
// The same, written to `path` (through an OutputFile).
ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, const std::string& path,
                        int tangentChannel = 1);

// One OBJ of the evaluated meshes: world-space positions, one `vt` per map
// vertex of `channel` (so UV charts stay apart), `f v/vt` per triangle.
// Nodes without that channel are written without `vt`.
ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel);
ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel,
                        const std::string& path);
