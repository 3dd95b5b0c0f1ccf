// Polygons (triangles joined through false edges) must be discs for the
// atlas: a chart border can only run along a polygon's outline. A triangle
// mesh unwrapped as polygons can carry invisible edges that join triangles
// into rings or bow ties; those polygons fall apart into their triangles.
#include "engines/uvatlasProxy.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kNone = vellumar::atlas::kNoNeighbour;
}

void repair_false_edge_polygons(std::span<const std::uint32_t> indices,
                                std::span<std::uint32_t> false_edges) {
    const std::size_t faces = std::min(indices.size(), false_edges.size()) / 3;
    std::uint32_t max_vertex = 0;
    for (std::uint32_t v : indices) {
        max_vertex = std::max(max_vertex, v);
    }
    // Per vertex: boundary edges leaving and entering it, and where the one
    // leaving goes, stamped with the polygon they were counted for.
    const std::size_t nv = indices.empty() ? 0 : static_cast<std::size_t>(max_vertex) + 1;
    std::vector<std::uint32_t> stamp(nv, kNone), out(nv), in(nv), next(nv);
    std::vector<bool> visited(faces, false);
    std::vector<std::uint32_t> polygon;

    for (std::size_t seed = 0; seed < faces; ++seed) {
        if (visited[seed]) {
            continue;
        }
        polygon.assign(1, static_cast<std::uint32_t>(seed));
        visited[seed] = true;
        for (std::size_t head = 0; head < polygon.size(); ++head) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t n = false_edges[3 * polygon[head] + k];
                if (n < faces && !visited[n]) {
                    visited[n] = true;
                    polygon.push_back(n);
                }
            }
        }
        if (polygon.size() < 2) {
            continue;
        }
        // The outline: triangle edges without a false edge, in the
        // triangles' own direction.
        const auto id = static_cast<std::uint32_t>(seed);
        std::vector<std::uint32_t> starts;
        bool simple = true;
        for (std::uint32_t t : polygon) {
            for (std::size_t k = 0; k < 3; ++k) {
                if (false_edges[3 * t + k] < faces) {
                    continue;
                }
                const std::uint32_t a = indices[3 * t + k];
                const std::uint32_t b = indices[3 * t + (k + 1) % 3];
                for (std::uint32_t v : {a, b}) {
                    if (stamp[v] != id) {
                        stamp[v] = id;
                        out[v] = in[v] = 0;
                    }
                }
                ++out[a];
                ++in[b];
                next[a] = b;
                starts.push_back(a);
            }
        }
        for (std::uint32_t v : starts) {
            simple = simple && out[v] == 1 && in[v] == 1;
        }
        // One loop: following the outline from any vertex visits them all.
        if (simple && !starts.empty()) {
            std::size_t length = 0;
            std::uint32_t v = starts.front();
            do {
                v = next[v];
                ++length;
            } while (v != starts.front() && length <= starts.size());
            simple = length == starts.size();
        }
        if (simple) {
            continue;
        }
        for (std::uint32_t t : polygon) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t n = false_edges[3 * t + k];
                false_edges[3 * t + k] = kNone;
                if (n < faces) {
                    for (std::size_t j = 0; j < 3; ++j) {
                        if (false_edges[3 * n + j] == t) {
                            false_edges[3 * n + j] = kNone;
                        }
                    }
                }
            }
        }
    }
}
