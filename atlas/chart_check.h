// Validity and distortion of a flattened chart.
#pragma once

#include "atlas/chart_mesh.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"

#include <cstdint>
#include <vector>

namespace vellumar::atlas {

struct ChartCheck {
    // A triangle with area maps flipped or flat, or the border crosses
    // itself. For a disc, no flip and a simple border make the map one to
    // one, so this is all it takes to rule out overlaps inside the chart.
    bool folded = false;
    // Squared L2 stretch of Sander, Snyder, Gortler and Hoppe 2001
    // ("Texture Mapping Progressive Meshes") over the triangles with area,
    // with the UVs scaled so that UV area equals 3D area. 1 is isometric.
    double stretch_squared = 1;
    double uv_area = 0; // signed UV area of the triangles with area
};

// The stretch measure of the atlas options: 1 - 1 / L2^2, 0 for an isometric
// chart, approaching 1 as distortion grows.
inline double stretch_measure(double stretch_squared) {
    return stretch_squared > 1 ? 1.0 - 1.0 / stretch_squared : 0.0;
}

class ChartChecker {
  public:
    // uv holds 2 coordinates per chart vertex.
    ChartCheck check(const ChartMesh& chart, const AtlasMesh& mesh, const FaceGeometry& geometry,
                     const std::vector<double>& uv);

  private:
    bool border_crosses(const ChartMesh& chart, const std::vector<double>& uv);

    std::vector<std::uint32_t> segments_; // chart vertex pairs
    std::vector<std::uint32_t> cell_begin_, cell_items_;
};

} // namespace vellumar::atlas
