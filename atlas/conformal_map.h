// Flattening of one chart by least squares conformal maps: Levy, Petitjean,
// Ray and Maillot 2002, "Least Squares Conformal Maps for Automatic Texture
// Atlas Generation", in the equivalent form of Desbrun, Meyer and Alliez 2002
// ("Intrinsic Parameterizations of Surface Meshes"): the conformal energy is
// the Dirichlet energy (cotangent weights) minus the signed UV area, summed
// per triangle, with two vertices pinned. The result is orientation
// preserving for well-shaped discs and has a free, natural boundary.
#pragma once

#include "atlas/chart_mesh.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"

#include <Eigen/SparseCore>

#include <complex>
#include <vector>

namespace vellumar::atlas {

class ConformalMap {
  public:
    // Writes 2 coordinates per chart vertex into uv (3D length units, any
    // position and rotation). False when the linear solve fails. Triangles
    // without area add no energy; a small uniform smoothing term keeps the
    // vertices that only they touch in place between their neighbours.
    bool flatten(const ChartMesh& chart, const AtlasMesh& mesh, const FaceGeometry& geometry,
                 std::vector<double>& uv);

  private:
    using Complex = std::complex<double>;
    std::vector<Eigen::Triplet<Complex>> triplets_;
    std::vector<std::uint32_t> free_index_;
};

} // namespace vellumar::atlas
