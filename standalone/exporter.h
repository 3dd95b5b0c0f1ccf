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
