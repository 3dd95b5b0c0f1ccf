// Export of the evaluated scene to glTF 2.0 binary (.glb) through Assimp:
// one mesh per node that evaluates to a mesh, with map channel k as the
// texture-coordinate set TEXCOORD_(k-1). Corners are split into glTF
// vertices wherever a channel gives them different map vertices.
#pragma once

#include "host/interface.h"

#include <string>
#include <vector>

struct ExportResult {
    bool ok = false;
    std::string error;
    int meshes = 0;
};

ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, const std::string& path);

// Writes the evaluated meshes as one OBJ: world-space positions, one `vt` per
// map vertex of `channel` (so UV charts stay apart), `f v/vt` per triangle.
// Nodes without that channel are written without `vt`.
ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel,
                        const std::string& path);
