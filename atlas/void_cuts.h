// Void elimination for atlases of few charts: a large chart whose outline
// leaves much of its convex hull empty (a crescent, an L) wastes that room,
// since no smaller chart is left to fill it. Such a chart is cut in two by
// the straight line, in its own UV plane, that leaves the two halves the
// smallest summed hull; the halves keep their UVs, so nothing is
// flattened again. In the spirit of BoxCutter (Limper, Vining, Alexa
// 2018), which cuts charts where their boxes waste space; here the hull
// stands for the box, since the packer rasterises charts and so uses any
// room a chart's bays leave open to the others.
#pragma once

#include "atlas/chart_flattener.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/topology.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct VoidCut {
    std::uint32_t chart = 0; // index of the chart cut
    FlatChart first, second;
};

// Cuts worth making in up to `max_cuts` charts of `charts`, largest waste
// first, each into two connected charts of whole polygons, both within
// the stretch limit.
std::vector<VoidCut> find_void_cuts(const AtlasMesh& mesh, const Topology& topology,
                                    const FaceGeometry& geometry, float max_stretch,
                                    std::size_t max_cuts, const std::vector<FlatChart>& charts);

// The charts with `cuts` made: each cut chart replaced by its first half,
// the second halves appended in order.
std::vector<FlatChart> with_cuts(const std::vector<FlatChart>& charts,
                                 std::span<const VoidCut> cuts);

} // namespace vellumar::atlas
