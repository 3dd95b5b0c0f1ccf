// Which triangles may share a chart, derived once per atlas call from the
// caller's adjacency and false edges.
#pragma once

#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/status.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct Topology {
    // Per face edge 3f + k: the face edge 3g + l on the other side when the
    // two triangles may be joined in one chart, else kNoNeighbour. A link
    // exists only where both triangles name each other in the adjacency and
    // wind the same way across the edge (a flipped neighbour would fold its
    // chart), so links are always mutual.
    std::vector<std::uint32_t> twin;
    // Polygons joined by false edges ("units"): every chart is a union of
    // whole units. unit_faces[unit_begin[u] .. unit_begin[u + 1]) are the
    // faces of unit u in ascending order; unit_of_face maps back.
    std::vector<std::uint32_t> unit_of_face;
    std::vector<std::uint32_t> unit_begin;
    std::vector<std::uint32_t> unit_faces;
};

// Builds the links and units. adjacency has 3 * face_count entries (face
// numbers or kNoNeighbour); false_edges is empty or has 3 * face_count
// entries, where anything other than kNoNeighbour marks an edge inside a
// polygon. A false edge on an edge without a link cannot be honoured and is
// ignored. Returns Status::InvalidMesh for an index out of range or an edge
// (pair of vertex indices) used by three or more triangles with area (see
// geometry.area_floor), and Status::InvalidCall for wrong array sizes.
// Cost: O(n log n).
Status build_topology(const AtlasMesh& mesh, const FaceGeometry& geometry,
                      std::span<const std::uint32_t> adjacency,
                      std::span<const std::uint32_t> false_edges, Topology& out);

} // namespace vellumar::atlas
