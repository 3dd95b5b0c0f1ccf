// What the unwrap pipeline keeps per object: the extracted triangle list with
// its adjacency and false edges (ObjectRecord), and the per-object result
// handed to the object's modifier (UnwrapResult).
#pragma once

#include "atlas/mesh.h"
#include "host/inode.h"

#include <cstdint>
#include <vector>

using vellumar::atlas::AtlasVertex;
using vellumar::atlas::kNoNeighbour;

struct ObjectRecord {
    std::uint32_t vertex_count = 0;
    std::uint32_t index_count = 0;
    std::uint32_t vertex_offset = 0;
    std::vector<AtlasVertex> positions; // only x, y, z are read when joining
    std::vector<Point3> uvs;            // u, v, w; the result UVs after write-back
    std::vector<std::uint32_t> indices;
    // Per face edge (3f + k): the neighbouring triangle, or kNoNeighbour on a
    // border or a cut.
    std::vector<std::uint32_t> adjacency;
    // Per face edge: the neighbour across an edge inside a polygon, else
    // kNoNeighbour. Empty when the object has no false edges at all.
    std::vector<std::uint32_t> false_edges;
    // The false edges before the coplanar merge.
    std::vector<std::uint32_t> false_edge_copy;
    bool triangle_mesh_object = false;
    INode* node = nullptr;
};

struct UnwrapResult {
    ObjectRecord record;
    std::uint32_t target_channel = 0;
    std::uint32_t map_count = 0;
    std::int32_t map_index = -1;
};
