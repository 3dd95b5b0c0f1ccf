// The outline of a flattened chart: the directed edges of its triangles
// left over when every edge that a neighbouring triangle runs back along
// cancels against it. Where no triangle is flipped against the others, the
// winding number of the outline at a point counts the triangles covering
// it, so a chart's texels follow from its outline and a scanline fill: on
// large charts a few hundred edges instead of tens of thousands of
// triangles.
#pragma once

#include "atlas/chart_packer.h"

#include <cstdint>
#include <vector>

namespace vellumar::atlas {

// Fills `outline` with pairs of vertex indices (from, to) of chart c of
// `set`. False, with `outline` empty, when the chart has triangles of both
// orientations: its outline no longer tells covered from uncovered.
bool chart_outline(const ChartSet& set, std::uint32_t c, std::vector<std::uint32_t>& outline);

} // namespace vellumar::atlas
