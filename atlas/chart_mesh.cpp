#include "atlas/chart_mesh.h"

#include <algorithm>

namespace vellumar::atlas {

ChartBuilder::ChartBuilder(const AtlasMesh& mesh, const Topology& topology,
                           const FaceGeometry& geometry)
    : mesh_(mesh), topology_(topology), geometry_(geometry), local_of_face_(mesh.face_count(), 0),
      stamp_(mesh.face_count(), 0) {}

void ChartBuilder::build(std::span<const std::uint32_t> faces, ChartMesh& out,
                         std::span<const std::uint32_t> cuts) {
    if (++token_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        token_ = 1;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(faces.size());
    out.faces.assign(faces.begin(), faces.end());
    out.area = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        stamp_[faces[i]] = token_;
        local_of_face_[faces[i]] = i;
        out.area += geometry_.area[faces[i]];
    }
    parent_.resize(3 * static_cast<std::size_t>(n));
    for (std::uint32_t c = 0; c < 3 * n; ++c) {
        parent_[c] = c;
    }
    auto find = [&](std::uint32_t x) {
        while (parent_[x] != x) {
            parent_[x] = parent_[parent_[x]];
            x = parent_[x];
        }
        return x;
    };
    auto unite = [&](std::uint32_t a, std::uint32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) {
            parent_[std::max(a, b)] = std::min(a, b);
        }
    };
    out.border.assign(3 * static_cast<std::size_t>(n), 1);
    out.interior_edges = 0;
    out.border_edges = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t f = faces[i];
        for (std::uint32_t k = 0; k < 3; ++k) {
            const std::uint32_t t = topology_.twin[3 * f + k];
            if (t == kNoNeighbour || stamp_[t / 3] != token_ ||
                std::binary_search(cuts.begin(), cuts.end(), 3 * f + k)) {
                ++out.border_edges;
                continue;
            }
            out.border[3 * i + k] = 0;
            const std::uint32_t j = local_of_face_[t / 3], l = t % 3;
            if (f < t / 3) {
                ++out.interior_edges;
                // The neighbour runs the edge the other way.
                unite(3 * i + k, 3 * j + (l + 1) % 3);
                unite(3 * i + (k + 1) % 3, 3 * j + l);
            }
        }
    }
    id_.assign(3 * static_cast<std::size_t>(n), kNoNeighbour);
    out.corner_vertex.resize(3 * static_cast<std::size_t>(n));
    out.vertex_source.clear();
    const auto indices = mesh_.indices();
    for (std::uint32_t c = 0; c < 3 * n; ++c) {
        const std::uint32_t r = find(c);
        if (id_[r] == kNoNeighbour) {
            id_[r] = static_cast<std::uint32_t>(out.vertex_source.size());
            out.vertex_source.push_back(indices[3 * faces[c / 3] + c % 3]);
        }
        out.corner_vertex[c] = id_[r];
    }
    // A triangle without area whose two corners weld into one (a, a, b)
    // has an edge from a chart vertex to itself: no edge of the chart's
    // outline, or a chart holding it would never count as a disc.
    for (std::uint32_t e = 0; e < 3 * n; ++e) {
        if (out.border[e] && out.corner_vertex[e] == out.corner_vertex[e / 3 * 3 + (e + 1) % 3]) {
            --out.border_edges;
        }
    }
}

} // namespace vellumar::atlas
