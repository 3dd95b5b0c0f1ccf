#include "atlas/segment.h"

#include "atlas/face_geometry.h"
#include "atlas/topology.h"

#include "atlas_test_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

using namespace vellumar::atlas;
using namespace vellumar::atlas::testing;

namespace {

std::vector<FlatChart> charts_of(const Shape& shape, std::size_t parallel_faces) {
    const auto mesh = shape.mesh();
    const auto adjacency = shape.adjacency();
    const FaceGeometry geometry = face_geometry(*mesh);
    Topology topology;
    EXPECT_EQ(build_topology(*mesh, geometry, adjacency, {}, topology), Status::Ok);
    SegmentOptions options;
    options.parallel_wave_faces = parallel_faces;
    options.parallel_merge_faces = parallel_faces;
    ProgressCallback none;
    ProgressReporter progress(none, 0.1f);
    std::vector<FlatChart> charts;
    EXPECT_EQ(flatten_charts(*mesh, topology, geometry, options, progress, charts), Status::Ok);
    return charts;
}

} // namespace

// Splits on worker threads, and merges tried ahead on a second thread
// (every one, at a threshold of 0), must give what one thread gives.
TEST(FlattenCharts, GivesTheSameChartsOnWorkerThreadsAsOnOne) {
    for (const Shape& s : {sphere(32, 16), cube(6)}) {
        const auto serial = charts_of(s, std::numeric_limits<std::size_t>::max());
        const auto parallel = charts_of(s, 0);
        ASSERT_EQ(serial.size(), parallel.size());
        std::size_t faces = 0;
        for (std::size_t c = 0; c < serial.size(); ++c) {
            EXPECT_EQ(serial[c].mesh.faces, parallel[c].mesh.faces);
            EXPECT_EQ(serial[c].uv, parallel[c].uv);
            faces += serial[c].mesh.faces.size();
        }
        EXPECT_EQ(faces, s.indices.size() / 3);
    }
}

// Loose triangles of every shape (thin, obtuse, tilted in 3D, either
// winding seen from above) each become a chart of their own: the layout
// must be the triangle itself, side for side, and never turned over.
TEST(FlattenCharts, LaysLooseTrianglesOutAsThemselves) {
    Shape s;
    const float tris[][9] = {{0, 0, 0, 1, 0, 0, 0, 1, 0},        {0, 0, 0, 0, 1, 0, 1, 0, 0},
                             {0, 0, 0, 5, 0, 0, 2.5f, 0.01f, 0}, {0, 0, 0, 1, 0, 0, 3, 0.2f, 0},
                             {1, 2, 3, 2, 2, 4, 0, 5, 3},        {0, 0, 0, 0, 0, 2, 0, 3, 1}};
    for (const auto& t : tris) {
        for (int k = 0; k < 3; ++k) {
            s.indices.push_back(static_cast<std::uint32_t>(s.points.size()));
            s.points.push_back({t[3 * k] + 10.0f * s.indices.size(), t[3 * k + 1], t[3 * k + 2]});
        }
    }
    const auto charts = charts_of(s, 0);
    ASSERT_EQ(charts.size(), std::size(tris));
    for (const FlatChart& chart : charts) {
        ASSERT_EQ(chart.mesh.faces.size(), 1u);
        const std::uint32_t f = chart.mesh.faces[0];
        const std::uint32_t* c = chart.mesh.corner_vertex.data();
        const double* uv[3] = {&chart.uv[2 * c[0]], &chart.uv[2 * c[1]], &chart.uv[2 * c[2]]};
        for (int k = 0; k < 3; ++k) {
            const auto& a = s.points[s.indices[3 * f + k]];
            const auto& b = s.points[s.indices[3 * f + (k + 1) % 3]];
            const double side3 = std::sqrt(double(a[0] - b[0]) * (a[0] - b[0]) +
                                           double(a[1] - b[1]) * (a[1] - b[1]) +
                                           double(a[2] - b[2]) * (a[2] - b[2]));
            const double side2 =
                std::hypot(uv[k][0] - uv[(k + 1) % 3][0], uv[k][1] - uv[(k + 1) % 3][1]);
            EXPECT_NEAR(side2, side3, 1e-6 * side3) << "triangle " << f << " side " << k;
        }
        const double orient = (uv[1][0] - uv[0][0]) * (uv[2][1] - uv[0][1]) -
                              (uv[1][1] - uv[0][1]) * (uv[2][0] - uv[0][0]);
        EXPECT_GT(orient, 0) << "triangle " << f;
    }
}
