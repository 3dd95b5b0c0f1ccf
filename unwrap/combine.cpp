#include "unwrap/combine.h"

#include "settings/settings.h"
#include "unwrap/proxy_exception.h"

#include <algorithm>

namespace vatlas = vellumar::atlas;

namespace {

// Moves a per-face-edge list into combined numbering; an absent list becomes
// entries without a neighbour.
void shift_into(std::vector<std::uint32_t>& entries, std::uint32_t count, std::uint32_t face_base,
                std::uint32_t* out) {
    if (entries.size() != count) {
        std::fill(out, out + count, kNoNeighbour);
        return;
    }
    for (std::uint32_t& e : entries) {
        if (e != kNoNeighbour) {
            e += face_base;
        }
    }
    std::copy(entries.begin(), entries.end(), out);
}

} // namespace

CombinedMesh combine(std::span<ObjectRecord> records, std::span<const std::int32_t> assignment,
                     std::int32_t map, int base_unwrap, int unwrapmode,
                     std::map<std::uint32_t, INode*>& vertex_offset_map) {
    CombinedMesh combined;
    auto in_map = [&](std::size_t i) { return i < assignment.size() && assignment[i] == map; };

    // C1: offsets and totals.
    vertex_offset_map.clear();
    combined.triangles_only = (base_unwrap == Organic);
    std::uint64_t vertex_total = 0, triangle_total = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!in_map(i)) {
            continue;
        }
        ObjectRecord& r = records[i];
        r.vertex_offset = static_cast<std::uint32_t>(vertex_total);
        vertex_offset_map[r.vertex_offset] = r.node;
        vertex_total += r.vertex_count;
        triangle_total += r.index_count / 3;
        if (!r.triangle_mesh_object) {
            combined.triangles_only = false;
        }
    }
    // C2.
    if (vertex_total == 0) {
        throw Proxy_Exception("Unable to assign objects to their respective target maps",
                              kUnwrapperUnit, __LINE__);
    }
    // C3: the combined mesh and its per-face-edge arrays.
    if (vertex_total > 0xFFFFFFFEu || triangle_total > 0x55555554u ||
        vatlas::failed(vatlas::create_mesh(static_cast<std::uint32_t>(triangle_total),
                                           static_cast<std::uint32_t>(vertex_total),
                                           &combined.mesh))) {
        throw Proxy_Exception("Failed to create d3dx mesh", kUnwrapperUnit, __LINE__);
    }
    const std::size_t slots = static_cast<std::size_t>(triangle_total) * 3;
    combined.adjacency.assign(slots, kNoNeighbour);
    // Objects of triangles only keep no false edges; a map of only such
    // objects needs no lists of borders.
    bool any_false_edges = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        any_false_edges = any_false_edges || (in_map(i) && !records[i].false_edges.empty());
    }
    combined.has_false_edges =
        any_false_edges && (!combined.triangles_only || unwrapmode == Polygons);
    if (combined.has_false_edges) {
        combined.false_edges.assign(slots, kNoNeighbour);
        combined.false_edge_copy.assign(slots, kNoNeighbour);
    }

    // C4: append every object's block.
    auto vertices = combined.mesh->vertices();
    auto indices = combined.mesh->indices();
    std::uint32_t vertex_base = 0, index_base = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!in_map(i)) {
            continue;
        }
        ObjectRecord& r = records[i];
        const bool uvs = r.uvs.size() == r.vertex_count;
        for (std::uint32_t v = 0; v < r.vertex_count; ++v) {
            const AtlasVertex& p = r.positions[v];
            vertices[vertex_base + v] = {p.x, p.y, p.z, uvs ? r.uvs[v].x : 0.0f,
                                         uvs ? r.uvs[v].y : 0.0f};
        }
        for (std::uint32_t& index : r.indices) {
            index += vertex_base;
        }
        const std::uint32_t face_base = index_base / 3;
        shift_into(r.adjacency, r.index_count, face_base, combined.adjacency.data() + index_base);
        if (combined.has_false_edges) {
            shift_into(r.false_edges, r.index_count, face_base,
                       combined.false_edges.data() + index_base);
            shift_into(r.false_edge_copy, r.index_count, face_base,
                       combined.false_edge_copy.data() + index_base);
        }
        std::copy(r.indices.begin(), r.indices.end(), indices.begin() + index_base);
        index_base += r.index_count;
        vertex_base += r.vertex_count;
    }
    return combined;
}
