#include "atlas/mesh.h"

#include <algorithm>
#include <new>

namespace vellumar::atlas {

AtlasMesh::AtlasMesh(std::uint32_t face_count, std::uint32_t vertex_count)
    : vertices_(vertex_count, AtlasVertex{0, 0, 0, 0, 0}),
      indices_(static_cast<std::size_t>(face_count) * 3, 0) {}

bool AtlasMesh::indices_in_range() const {
    const std::uint32_t n = vertex_count();
    return std::all_of(indices_.begin(), indices_.end(), [n](std::uint32_t i) { return i < n; });
}

Status create_mesh(std::uint32_t face_count, std::uint32_t vertex_count,
                   std::unique_ptr<AtlasMesh>* out) {
    if (out == nullptr || vertex_count == 0) {
        return Status::InvalidCall;
    }
    try {
        *out = std::make_unique<AtlasMesh>(face_count, vertex_count);
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    return Status::Ok;
}

namespace {

// One half-edge keyed by its undirected end points, so that sorting brings
// every face edge that lies on the same mesh edge together.
struct EdgeKey {
    std::uint32_t lo, hi;
    std::uint32_t slot; // 3f + k
    bool operator<(const EdgeKey& o) const {
        if (lo != o.lo) {
            return lo < o.lo;
        }
        if (hi != o.hi) {
            return hi < o.hi;
        }
        return slot < o.slot;
    }
};

} // namespace

Status convert_point_reps_to_adjacency(const AtlasMesh& mesh,
                                       std::span<const std::uint32_t> point_reps,
                                       std::span<std::uint32_t> adjacency) {
    return convert_point_reps_to_adjacency(mesh, point_reps, {}, adjacency);
}

Status convert_point_reps_to_adjacency(const AtlasMesh& mesh,
                                       std::span<const std::uint32_t> point_reps,
                                       std::span<const std::uint8_t> edge_kinds,
                                       std::span<std::uint32_t> adjacency) {
    const auto indices = mesh.indices();
    const std::uint32_t n_vertices = mesh.vertex_count();
    if (adjacency.size() != indices.size() ||
        (!edge_kinds.empty() && edge_kinds.size() != indices.size())) {
        return Status::InvalidCall;
    }
    auto kind = [&](std::size_t at) { return edge_kinds.empty() ? 0 : edge_kinds[at]; };
    if (!point_reps.empty() && point_reps.size() != n_vertices) {
        return Status::InvalidCall;
    }
    auto rep = [&](std::uint32_t v) { return point_reps.empty() ? v : point_reps[v]; };
    for (std::uint32_t i : indices) {
        if (i >= n_vertices || rep(i) >= n_vertices) {
            return Status::InvalidMesh;
        }
    }

    std::vector<EdgeKey> keys;
    try {
        keys.reserve(indices.size());
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    for (std::size_t slot = 0; slot < indices.size(); ++slot) {
        const std::size_t f = slot / 3;
        const std::uint32_t a = rep(indices[slot]);
        const std::uint32_t b = rep(indices[3 * f + (slot + 1) % 3]);
        adjacency[slot] = kNoNeighbour;
        if (a != b) {
            keys.push_back({std::min(a, b), std::max(a, b), static_cast<std::uint32_t>(slot)});
        }
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        while (j < keys.size() && keys[j].lo == keys[i].lo && keys[j].hi == keys[i].hi) {
            ++j;
        }
        // Triangles on one edge are paired greedily, best match first: the
        // same kind of edge, then opposite directions (neighbours of a
        // consistently wound surface run it so), then the nearest triangles
        // (a polygon's triangles are consecutive), then the lowest slots. A
        // further pair on the same edge (a doubled surface) must run it in
        // opposite directions. A folded triangle that names the edge twice
        // is not its own neighbour. A fan of slivers can put thousands of
        // triangles on one edge; the first few are enough.
        const auto runs_forward = [&](std::size_t at) {
            return rep(indices[keys[at].slot]) == keys[at].lo;
        };
        const std::size_t end = std::min(j, i + 16);
        bool used[16] = {};
        for (bool first_pair = true;; first_pair = false) {
            std::size_t pa = j, pb = j;
            int best_score = -1;
            std::uint32_t best_gap = 0;
            for (std::size_t x = i; x < end; ++x) {
                for (std::size_t y = x + 1; y < end; ++y) {
                    const std::uint32_t tx = keys[x].slot / 3, ty = keys[y].slot / 3;
                    const bool opposite = runs_forward(x) != runs_forward(y);
                    if (used[x - i] || used[y - i] || tx == ty || (!first_pair && !opposite)) {
                        continue;
                    }
                    const int score =
                        (kind(keys[x].slot) == kind(keys[y].slot) ? 2 : 0) + (opposite ? 1 : 0);
                    const std::uint32_t gap = ty > tx ? ty - tx : tx - ty;
                    if (score > best_score || (score == best_score && gap < best_gap)) {
                        best_score = score;
                        best_gap = gap;
                        pa = x;
                        pb = y;
                    }
                }
            }
            if (pb == j) {
                break;
            }
            used[pa - i] = used[pb - i] = true;
            adjacency[keys[pa].slot] = keys[pb].slot / 3;
            adjacency[keys[pb].slot] = keys[pa].slot / 3;
        }
        i = j;
    }
    return Status::Ok;
}

} // namespace vellumar::atlas
