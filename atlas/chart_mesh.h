// The connectivity of one chart: which triangle corners become the same UV
// vertex. Corners are joined across the chart's interior links only, so a
// chart border (or a cut inside the chart) always splits vertices.
#pragma once

#include "atlas/face_geometry.h"
#include "atlas/mesh.h"
#include "atlas/topology.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vellumar::atlas {

struct ChartMesh {
    std::vector<std::uint32_t> faces;         // mesh triangles, ascending
    std::vector<std::uint32_t> corner_vertex; // 3 per face: chart vertex
    std::vector<std::uint32_t> vertex_source; // per chart vertex: mesh vertex of its first corner
    // Per face edge 3i + k of the chart: true when no chart triangle lies
    // across it.
    std::vector<std::uint8_t> border;
    std::uint32_t interior_edges = 0, border_edges = 0;
    double area = 0; // 3D area

    std::uint32_t vertex_count() const { return static_cast<std::uint32_t>(vertex_source.size()); }
    // Euler characteristic 1 on a connected chart with manifold vertices:
    // a topological disc, the only shape that flattens without a cut.
    bool is_disc() const {
        return static_cast<std::int64_t>(vertex_source.size()) +
                   static_cast<std::int64_t>(faces.size()) - interior_edges - border_edges ==
               1;
    }
};

// Builds ChartMesh values; holds scratch arrays sized to the mesh so that
// building a chart costs only the chart's size.
class ChartBuilder {
  public:
    ChartBuilder(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry);

    // faces must be ascending, connected through links and disjoint from
    // other charts being built with the same builder at the same time.
    // cuts: ascending face edges (both sides of each) that stay open inside
    // the chart although their triangles are linked.
    void build(std::span<const std::uint32_t> faces, ChartMesh& out,
               std::span<const std::uint32_t> cuts = {});

  private:
    const AtlasMesh& mesh_;
    const Topology& topology_;
    const FaceGeometry& geometry_;
    std::vector<std::uint32_t> local_of_face_;
    std::vector<std::uint32_t> stamp_;
    std::uint32_t token_ = 0;
    std::vector<std::uint32_t> parent_;
    std::vector<std::uint32_t> id_;
};

} // namespace vellumar::atlas
