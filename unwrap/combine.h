// Joining the objects of one target map into the one triangle list that an
// engine unwraps as a whole.
#pragma once

#include "atlas/mesh.h"
#include "unwrap/object_record.h"

#include <map>
#include <memory>
#include <span>

struct CombinedMesh {
    std::unique_ptr<vellumar::atlas::AtlasMesh> mesh;
    // Three entries per combined triangle, in combined numbering.
    std::vector<std::uint32_t> adjacency;
    // Present (non-empty when there are faces) only when has_false_edges.
    std::vector<std::uint32_t> false_edges;
    std::vector<std::uint32_t> false_edge_copy;
    bool has_false_edges = false;
    // Every object of the map is a triangle-mesh object and the mode is
    // Organic.
    bool triangles_only = false;
};

// Joins the records whose map assignment is `map` (in record order) into one
// combined mesh. Rewrites each joined record's indices, adjacency and false
// edges into combined numbering and sets its vertex offset; fills
// `vertex_offset_map` (first combined vertex -> node). Throws Proxy_Exception
// when the map has no vertices or the mesh cannot be made.
CombinedMesh combine(std::span<ObjectRecord> records, std::span<const std::int32_t> assignment,
                     std::int32_t map, int base_unwrap, int unwrapmode,
                     std::map<std::uint32_t, INode*>& vertex_offset_map);
