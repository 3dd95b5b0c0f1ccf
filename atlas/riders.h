// Triangles without area that end up in charts of their own (a triangle
// whose corners weld into two, a sliver that links to nothing) would each
// cost a chart's gutter in the atlas while showing nothing. They ride along
// with a chart that has area instead: every corner takes the UV of a vertex
// of that chart, so they add no texels, no chart and no gutter.
#pragma once

#include "atlas/chart_flattener.h"
#include "atlas/face_geometry.h"
#include "atlas/mesh.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vellumar::atlas {

// Where the riders sit: rider face i joins the chart in slot slot[i] and its
// corner k takes the UV of that chart's vertex local[3 * i + k].
struct Riders {
    std::vector<std::uint32_t> faces; // as take_flat_charts grouped them
    std::vector<std::uint32_t> slot;
    std::vector<std::uint32_t> local;
};

// Removes the charts that hold no triangle with area from `charts`, unless
// no chart has any area, and returns their faces grouped chart by chart.
// group_begin receives the start of each removed chart's faces (plus the end).
std::vector<std::uint32_t> take_flat_charts(std::vector<FlatChart>& charts,
                                            const FaceGeometry& geometry,
                                            std::vector<std::uint32_t>& group_begin);

// Seats the faces of each removed chart on one chart of `charts` (slots in
// `order`): the lowest slot that shares a mesh vertex with the group, else
// one with a vertex at the same position, else slot 0. A corner takes its own
// vertex in that chart when it has one; otherwise, or when the face would get
// a UV triangle with area (which could overlap its host), it collapses onto
// the face's first seated corner, or the group's.
Riders seat_riders(const AtlasMesh& mesh, std::span<const std::uint32_t> faces,
                   std::span<const std::uint32_t> group_begin, const std::vector<FlatChart>& charts,
                   const std::vector<std::uint32_t>& order);

} // namespace vellumar::atlas
