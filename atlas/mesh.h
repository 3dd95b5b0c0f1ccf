// Atlas meshes: the indexed triangle lists that carry geometry into and out of
// the atlas library.
//
// Layout: every vertex is an AtlasVertex (position x, y, z then texture
// coordinate u, v; 20 bytes, no padding) and every triangle three unsigned
// 32-bit indices. Per-face-edge arrays hold three entries per triangle, entry
// 3f + k for the edge from corner k to corner (k + 1) mod 3 of triangle f, and
// kNoNeighbour where there is none.
#pragma once

#include "atlas/status.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct AtlasVertex {
    float x, y, z;
    float u, v;
};
static_assert(sizeof(AtlasVertex) == 20, "AtlasVertex must keep the 20-byte layout");

inline constexpr std::uint32_t kNoNeighbour = 0xFFFFFFFFu;

class AtlasMesh {
  public:
    // A mesh of face_count triangles and vertex_count vertices, all zero.
    // Throws std::bad_alloc when the buffers cannot be allocated.
    AtlasMesh(std::uint32_t face_count, std::uint32_t vertex_count);

    std::uint32_t face_count() const { return static_cast<std::uint32_t>(indices_.size() / 3); }
    std::uint32_t vertex_count() const { return static_cast<std::uint32_t>(vertices_.size()); }

    // Borrowed views of the data, valid until the mesh is destroyed or resized.
    std::span<AtlasVertex> vertices() { return vertices_; }
    std::span<const AtlasVertex> vertices() const { return vertices_; }
    std::span<std::uint32_t> indices() { return indices_; }
    std::span<const std::uint32_t> indices() const { return indices_; }

    // A deep copy; the caller owns it.
    std::unique_ptr<AtlasMesh> clone() const { return std::make_unique<AtlasMesh>(*this); }

    // True when every index names an existing vertex.
    bool indices_in_range() const;

  private:
    std::vector<AtlasVertex> vertices_;
    std::vector<std::uint32_t> indices_;
};

// Creates a mesh; Status::InvalidCall for zero vertices (a mesh without
// faces is allowed: a map whose objects have no faces is still a map),
// Status::OutOfMemory when allocation fails. The caller owns *out.
Status create_mesh(std::uint32_t face_count, std::uint32_t vertex_count,
                   std::unique_ptr<AtlasMesh>* out);

// Per-face-edge adjacency from point representatives: two triangles are
// neighbours across an edge when their corners there have the same two
// representatives. point_reps has one entry per vertex (empty: every vertex is
// its own representative). adjacency receives 3 * face_count entries.
// On an edge shared by more than two triangles the best matching pair
// becomes neighbours (edges of the same kind, see below, then opposite
// directions, then the nearest triangles in index order), and further
// disjoint pairs that run the edge in opposite directions too (a surface
// doubled on itself); the rest have no neighbour there. An edge whose two
// ends have the same representative has no neighbour.
// Status::InvalidMesh when an index or representative is out of range;
// Status::InvalidCall when adjacency has the wrong size.
// Cost: O(n log n) in the number of triangles.
Status convert_point_reps_to_adjacency(const AtlasMesh& mesh,
                                       std::span<const std::uint32_t> point_reps,
                                       std::span<std::uint32_t> adjacency);

// The same, where each face edge also has a kind (3 * face_count entries,
// e.g. whether it lies inside a polygon): on an edge shared by more than two
// triangles, partners of the same kind are preferred before the winding is
// looked at. With two triangles on an edge the kinds change nothing.
Status convert_point_reps_to_adjacency(const AtlasMesh& mesh,
                                       std::span<const std::uint32_t> point_reps,
                                       std::span<const std::uint8_t> edge_kinds,
                                       std::span<std::uint32_t> adjacency);

} // namespace vellumar::atlas
