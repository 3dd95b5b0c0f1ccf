// Per-triangle geometry shared by segmentation and parameterisation.
#pragma once

#include "atlas/mesh.h"

#include <vector>

namespace vellumar::atlas {

struct FaceGeometry {
    std::vector<double> normal;   // 3 per face; unit length, zero when degenerate
    std::vector<double> centroid; // 3 per face
    std::vector<double> area;     // 1 per face
    // Triangles with area above this have area: they must map to UV
    // triangles that are neither flipped nor flat. Set relative to the mean
    // so that the rule does not depend on the model's units.
    double area_floor = 0;
};

FaceGeometry face_geometry(const AtlasMesh& mesh);

} // namespace vellumar::atlas
