#include "atlas/pack.h"

#include "atlas/chart_packer.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace vellumar::atlas {

namespace {

// Regroups the triangles by chart, giving each chart the vertices its
// triangles use; vertex_of_slot maps a chart-set vertex back to the mesh.
Status chart_set_of(const AtlasMesh& mesh, std::span<const std::uint32_t> chart_of_face,
                    ChartSet& set, std::vector<std::uint32_t>& mesh_vertex) {
    const std::uint32_t faces = mesh.face_count();
    const auto indices = mesh.indices();
    const auto vertices = mesh.vertices();

    // Compact chart ids in order of their first triangle.
    std::vector<std::uint32_t> faces_by_chart(faces);
    for (std::uint32_t f = 0; f < faces; ++f) {
        faces_by_chart[f] = f;
    }
    std::stable_sort(
        faces_by_chart.begin(), faces_by_chart.end(),
        [&](std::uint32_t a, std::uint32_t b) { return chart_of_face[a] < chart_of_face[b]; });

    std::vector<std::uint32_t> owner(mesh.vertex_count(), kNoNeighbour);
    std::vector<std::uint32_t> local(mesh.vertex_count(), 0);
    set.vertex_begin.assign(1, 0);
    set.triangle_begin.assign(1, 0);
    std::uint32_t chart = 0;
    for (std::size_t i = 0; i < faces_by_chart.size();) {
        const std::uint32_t label = chart_of_face[faces_by_chart[i]];
        for (; i < faces_by_chart.size() && chart_of_face[faces_by_chart[i]] == label; ++i) {
            const std::uint32_t f = faces_by_chart[i];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t v = indices[3 * f + k];
                if (owner[v] == kNoNeighbour) {
                    // A UV that is no number has no place in any layout.
                    if (!std::isfinite(vertices[v].u) || !std::isfinite(vertices[v].v)) {
                        return Status::InvalidMesh;
                    }
                    owner[v] = chart;
                    local[v] = static_cast<std::uint32_t>(mesh_vertex.size());
                    mesh_vertex.push_back(v);
                    set.uv.push_back(vertices[v].u);
                    set.uv.push_back(vertices[v].v);
                } else if (owner[v] != chart) {
                    return Status::InvalidMesh;
                }
                set.triangles.push_back(local[v]);
            }
        }
        set.vertex_begin.push_back(static_cast<std::uint32_t>(mesh_vertex.size()));
        set.triangle_begin.push_back(static_cast<std::uint32_t>(set.triangles.size() / 3));
        ++chart;
    }
    return Status::Ok;
}

} // namespace

namespace {

// The charts of the mesh as a set, packed by `pack`, and the result written
// back; the mesh is untouched on failure.
template <class Pack>
Status pack_mesh_charts(AtlasMesh& mesh, std::span<const std::uint32_t> partition_adjacency,
                        std::span<const std::uint32_t> chart_of_face, const Pack& pack) {
    const std::size_t faces = mesh.face_count();
    if (chart_of_face.size() != faces ||
        (!partition_adjacency.empty() && partition_adjacency.size() != 3 * faces)) {
        return Status::InvalidCall;
    }
    if (!mesh.indices_in_range()) {
        return Status::InvalidMesh;
    }
    try {
        ChartSet set;
        std::vector<std::uint32_t> mesh_vertex;
        if (Status s = chart_set_of(mesh, chart_of_face, set, mesh_vertex); failed(s)) {
            return s;
        }
        if (Status s = pack(set); failed(s)) {
            return s;
        }
        auto vertices = mesh.vertices();
        for (std::size_t i = 0; i < mesh_vertex.size(); ++i) {
            vertices[mesh_vertex[i]].u = static_cast<float>(set.uv[2 * i]);
            vertices[mesh_vertex[i]].v = static_cast<float>(set.uv[2 * i + 1]);
        }
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    return Status::Ok;
}

} // namespace

Status pack_charts(AtlasMesh& mesh, std::span<const std::uint32_t> partition_adjacency,
                   std::span<const std::uint32_t> chart_of_face, std::uint32_t width,
                   std::uint32_t height, float gutter, const ProgressCallback& progress,
                   float frequency) {
    return pack_mesh_charts(mesh, partition_adjacency, chart_of_face, [&](ChartSet& set) {
        ProgressReporter reporter(progress, frequency);
        return pack_chart_set(set, PackLayout{width, height, gutter, false}, reporter);
    });
}

Status pack_charts_at_density(AtlasMesh& mesh, std::span<const std::uint32_t> partition_adjacency,
                              std::span<const std::uint32_t> chart_of_face, const DensityFit& fit,
                              float gutter, const ProgressCallback& progress, float frequency,
                              std::uint32_t* side) {
    return pack_mesh_charts(mesh, partition_adjacency, chart_of_face, [&](ChartSet& set) {
        ProgressReporter reporter(progress, frequency);
        PackLayout layout{fit.max_size, fit.max_size, gutter, false};
        const Status s = pack_chart_set_at_density(set, layout, fit, reporter);
        if (succeeded(s) && side != nullptr) {
            *side = layout.width;
        }
        return s;
    });
}

} // namespace vellumar::atlas
