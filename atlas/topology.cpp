#include "atlas/topology.h"

#include <algorithm>
#include <numeric>

namespace vellumar::atlas {

namespace {

struct EdgeUse {
    std::uint32_t lo, hi, face;
    bool operator<(const EdgeUse& o) const {
        if (lo != o.lo) {
            return lo < o.lo;
        }
        return hi != o.hi ? hi < o.hi : face < o.face;
    }
};

// Only triangles with area count: one without area lying along an edge
// (CAD exports write them by the thousand) is no third surface there.
bool edge_shared_by_three(std::span<const std::uint32_t> indices, const FaceGeometry& geometry) {
    std::vector<EdgeUse> uses;
    uses.reserve(indices.size());
    for (std::size_t s = 0; s < indices.size(); ++s) {
        const std::size_t f = s / 3;
        const std::uint32_t a = indices[s], b = indices[3 * f + (s + 1) % 3];
        if (a != b && geometry.area[f] > geometry.area_floor) {
            uses.push_back({std::min(a, b), std::max(a, b), static_cast<std::uint32_t>(f)});
        }
    }
    std::sort(uses.begin(), uses.end());
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i + 1;
        std::size_t faces = 1;
        while (j < uses.size() && uses[j].lo == uses[i].lo && uses[j].hi == uses[i].hi) {
            // A degenerate triangle can name the same edge twice.
            faces += uses[j].face != uses[j - 1].face ? 1 : 0;
            ++j;
        }
        if (faces >= 3) {
            return true;
        }
        i = j;
    }
    return false;
}

// A triangle with two corners on one vertex, (a, a, b), runs along its edge
// a-b there and back. Linked on both sides it would stand between the two
// triangles of that edge and make their chart fall apart at a; the two are
// linked to each other instead and the folded triangle stands alone.
void bridge_folded_triangles(std::span<const std::uint32_t> indices,
                             std::vector<std::uint32_t>& twin) {
    for (std::size_t f = 0; f < indices.size() / 3; ++f) {
        const std::uint32_t* c = &indices[3 * f];
        if (c[0] != c[1] && c[1] != c[2] && c[2] != c[0]) {
            continue;
        }
        std::uint32_t sides[2], n = 0;
        for (std::uint32_t k = 0; k < 3; ++k) {
            const std::uint32_t s = static_cast<std::uint32_t>(3 * f + k);
            if (twin[s] != kNoNeighbour) {
                sides[n++] = twin[s];
                twin[twin[s]] = kNoNeighbour;
                twin[s] = kNoNeighbour;
            }
        }
        if (n == 2 && sides[0] / 3 != sides[1] / 3) {
            twin[sides[0]] = sides[1];
            twin[sides[1]] = sides[0];
        }
    }
}

std::uint32_t find(std::vector<std::uint32_t>& parent, std::uint32_t x) {
    while (parent[x] != x) {
        parent[x] = parent[parent[x]];
        x = parent[x];
    }
    return x;
}

} // namespace

Status build_topology(const AtlasMesh& mesh, const FaceGeometry& geometry,
                      std::span<const std::uint32_t> adjacency,
                      std::span<const std::uint32_t> false_edges, Topology& out) {
    const auto indices = mesh.indices();
    const auto vertices = mesh.vertices();
    const std::uint32_t faces = mesh.face_count();
    if (adjacency.size() != indices.size() ||
        (!false_edges.empty() && false_edges.size() != indices.size())) {
        return Status::InvalidCall;
    }
    if (!mesh.indices_in_range() || geometry.area.size() != faces ||
        edge_shared_by_three(indices, geometry)) {
        return Status::InvalidMesh;
    }

    auto same_point = [&](std::uint32_t a, std::uint32_t b) {
        const AtlasVertex& p = vertices[a];
        const AtlasVertex& q = vertices[b];
        return a == b || (p.x == q.x && p.y == q.y && p.z == q.z);
    };
    auto corner = [&](std::uint32_t f, std::uint32_t k) { return indices[3 * f + k % 3]; };

    // Each side picks its partner edge; only mutual, equally wound picks
    // become links.
    std::vector<std::uint32_t> pick(indices.size(), kNoNeighbour);
    for (std::uint32_t s = 0; s < indices.size(); ++s) {
        const std::uint32_t f = s / 3, k = s % 3, g = adjacency[s];
        if (g == kNoNeighbour || g >= faces || g == f) {
            continue;
        }
        const std::uint32_t a = corner(f, k), b = corner(f, k + 1);
        std::uint32_t chosen = kNoNeighbour;
        for (std::uint32_t l = 0; l < 3; ++l) {
            if (adjacency[3 * g + l] != f) {
                continue;
            }
            const std::uint32_t c = corner(g, l), d = corner(g, l + 1);
            if (chosen == kNoNeighbour || (same_point(a, d) && same_point(b, c)) ||
                (same_point(a, c) && same_point(b, d))) {
                chosen = 3 * g + l;
            }
        }
        if (chosen == kNoNeighbour) {
            continue;
        }
        const std::uint32_t c = corner(g, chosen % 3), d = corner(g, chosen % 3 + 1);
        const bool reversed = same_point(a, d) && same_point(b, c);
        const bool same_way = same_point(a, c) && same_point(b, d);
        if (same_way && !reversed) {
            continue;
        }
        pick[s] = chosen;
    }
    out.twin.assign(indices.size(), kNoNeighbour);
    for (std::uint32_t s = 0; s < indices.size(); ++s) {
        if (pick[s] != kNoNeighbour && pick[pick[s]] == s) {
            out.twin[s] = pick[s];
        }
    }

    bridge_folded_triangles(indices, out.twin);

    std::vector<std::uint32_t> parent(faces);
    std::iota(parent.begin(), parent.end(), 0u);
    if (!false_edges.empty()) {
        for (std::uint32_t s = 0; s < indices.size(); ++s) {
            const std::uint32_t t = out.twin[s];
            if (t != kNoNeighbour &&
                (false_edges[s] != kNoNeighbour || false_edges[t] != kNoNeighbour)) {
                const std::uint32_t a = find(parent, s / 3), b = find(parent, t / 3);
                if (a != b) {
                    parent[std::max(a, b)] = std::min(a, b);
                }
            }
        }
    }
    out.unit_of_face.assign(faces, 0);
    std::vector<std::uint32_t> id_of_root(faces, kNoNeighbour);
    std::uint32_t units = 0;
    for (std::uint32_t f = 0; f < faces; ++f) {
        const std::uint32_t r = find(parent, f);
        if (id_of_root[r] == kNoNeighbour) {
            id_of_root[r] = units++;
        }
        out.unit_of_face[f] = id_of_root[r];
    }
    out.unit_begin.assign(units + 1, 0);
    for (std::uint32_t f = 0; f < faces; ++f) {
        ++out.unit_begin[out.unit_of_face[f] + 1];
    }
    std::partial_sum(out.unit_begin.begin(), out.unit_begin.end(), out.unit_begin.begin());
    out.unit_faces.assign(faces, 0);
    std::vector<std::uint32_t> fill(out.unit_begin.begin(), out.unit_begin.end() - 1);
    for (std::uint32_t f = 0; f < faces; ++f) {
        out.unit_faces[fill[out.unit_of_face[f]]++] = f;
    }
    return Status::Ok;
}

} // namespace vellumar::atlas
