#include "atlas/segment.h"

#include "atlas/face_geometry.h"
#include "atlas/topology.h"

#include "atlas_test_meshes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

using namespace vellumar::atlas;
using namespace vellumar::atlas::testing;

namespace {

std::vector<FlatChart> charts_of(const Shape& shape, std::size_t parallel_wave_faces) {
    const auto mesh = shape.mesh();
    const auto adjacency = shape.adjacency();
    const FaceGeometry geometry = face_geometry(*mesh);
    Topology topology;
    EXPECT_EQ(build_topology(*mesh, geometry, adjacency, {}, topology), Status::Ok);
    SegmentOptions options;
    options.parallel_wave_faces = parallel_wave_faces;
    ProgressCallback none;
    ProgressReporter progress(none, 0.1f);
    std::vector<FlatChart> charts;
    EXPECT_EQ(flatten_charts(*mesh, topology, geometry, options, progress, charts), Status::Ok);
    return charts;
}

} // namespace

TEST(FlattenCharts, GivesTheSameChartsOnWorkerThreadsAsOnOne) {
    const Shape s = sphere(32, 16);
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
