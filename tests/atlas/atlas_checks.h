// Independent checks of atlas results: what must hold whatever the
// segmentation and packing heuristics do. They recompute everything from
// the output mesh and share no code with the library beyond the
// corrections a caller applies.
#pragma once

#include "atlas/create.h"
#include "atlas/mesh.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vellumar::atlas::testing {

// Triangle order and index count unchanged, each output vertex a copy of
// the input vertex its remap names, every triangle in exactly one chart
// numbered below charts_out, no vertex shared by two charts, each chart one
// connected piece (through shared vertices, copies with equal position and
// UV, or triangles without area sitting on a UV point of the chart).
void expect_faithful_output(const AtlasMesh& input, const AtlasResult& result);

// After the corrections: UVs in the unit square, no flipped or flat UV
// triangle where the surface has area, no two triangles overlapping, every
// two charts at least ceil(gutter) empty texels apart (texels touched with
// positive area count), and one texel density for all charts.
// chart_of_face: per triangle, any chart numbering.
void expect_valid_layout(const AtlasMesh& mesh, std::span<const std::uint32_t> chart_of_face,
                         std::uint32_t width, std::uint32_t height, float gutter,
                         bool equal_density = true);

// Largest squared L2 stretch (Sander et al. 2001) of any chart, each chart
// scaled to its own 3D area.
double max_chart_stretch_squared(const AtlasMesh& mesh,
                                 std::span<const std::uint32_t> chart_of_face);

// Signed UV area of triangle f (double precision from the float UVs).
double uv_area(const AtlasMesh& mesh, std::uint32_t f);
double surface_area(const AtlasMesh& mesh, std::uint32_t f);

} // namespace vellumar::atlas::testing
