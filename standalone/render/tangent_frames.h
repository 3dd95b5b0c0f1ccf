// Tangent frames of a bake mesh: per corner, the direction of increasing u
// on the surface (tangent) and the handedness of the frame (+1 when
// normal x tangent points along increasing v, -1 where the UVs are
// mirrored). A tangent-space normal map is read in this frame, so the bake
// and the viewer (through glTF's TANGENT) must agree on it.
#pragma once

#include "standalone/render/bake_mesh.h"

#include <vector>

struct TangentFrames {
    std::vector<Point3> tangent; // per corner, unit, orthogonal to the corner's normal
    std::vector<float> sign;     // per corner, +1 or -1
};

// Corners that share a position, a normal and a UV share their frame: the
// triangles' UV gradients are summed, weighted by area, before they are
// made orthogonal to the normal. A corner whose gradients cancel or whose
// triangle has no UV area gets any unit tangent orthogonal to its normal.
TangentFrames ComputeTangentFrames(const BakeMesh& mesh);
