// Normal maps of an object's own surface: each texel holds the shading
// normal, encoded as colour = normal * 0.5 + 0.5, in world space, in the
// object's own space, or in the surface's tangent space (where an object's
// own normal is always straight up: (0.5, 0.5, 1)).
#pragma once

#include "standalone/render/bake_mesh.h"
#include "standalone/render/texel_raster.h"

#include <vector>

enum class NormalSpace { Tangent = 0, Object = 1, World = 2 };

// RGBA per texel (alpha 1 where the object is). objectTM is the node's
// object-to-world transform; flipGreen writes green pointing down.
// texelNormals: world-space normals per texel that replace the smooth ones
// (a material's normal map carried into the new atlas).
std::vector<float> BakeNormals(const BakeMesh& mesh, const TexelCoverage& coverage,
                               NormalSpace space, bool flipGreen, const Matrix3& objectTM,
                               const std::vector<Point3>* texelNormals = nullptr);
