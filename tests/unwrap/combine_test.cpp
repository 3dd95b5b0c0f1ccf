#include "support/test_host.h"
#include "unwrap/combine.h"
#include "unwrap/proxy_exception.h"

namespace {

// A record of `vertices` vertices and one triangle per three of them, each
// triangle linked to the next through its first edge.
ObjectRecord record_of(std::uint32_t vertices, std::uint32_t triangles, bool with_false_edges,
                       bool triangle_mesh_object = true) {
    ObjectRecord r;
    r.vertex_count = vertices;
    r.positions.assign(vertices, AtlasVertex{1, 2, 3, 0, 0});
    r.uvs.assign(vertices, Point3(0.25f, 0.5f, 0));
    r.index_count = 3 * triangles;
    for (std::uint32_t t = 0; t < triangles; ++t) {
        r.indices.insert(r.indices.end(), {t % vertices, (t + 1) % vertices, (t + 2) % vertices});
        r.adjacency.insert(r.adjacency.end(),
                           {t + 1 < triangles ? t + 1 : kNoNeighbour, kNoNeighbour, kNoNeighbour});
    }
    if (with_false_edges) {
        r.false_edges = r.adjacency;
        r.false_edge_copy = r.adjacency;
    }
    r.triangle_mesh_object = triangle_mesh_object;
    return r;
}

} // namespace

TEST(Combine, SecondObjectStartsAtTheFirstObjectsVertexCount) {
    std::vector<ObjectRecord> records = {record_of(8, 12, false), record_of(24, 12, false)};
    records[0].node = reinterpret_cast<INode*>(0x10);
    records[1].node = reinterpret_cast<INode*>(0x20);
    const std::vector<std::int32_t> assignment = {0, 0};
    std::map<std::uint32_t, INode*> offsets;
    const CombinedMesh c = combine(records, assignment, 0, Organic, Triangles, offsets);
    EXPECT_EQ(records[1].vertex_offset, 8u);
    EXPECT_EQ(offsets,
              (std::map<std::uint32_t, INode*>{{0, records[0].node}, {8, records[1].node}}));
    ASSERT_EQ(c.mesh->vertex_count(), 32u);
    ASSERT_EQ(c.mesh->face_count(), 24u);
    EXPECT_EQ(c.mesh->indices()[36], 8u) << "indices move by the vertex base";
    EXPECT_EQ(records[1].indices[0], 8u) << "the record itself holds combined indices";
    EXPECT_EQ(c.adjacency[36], 13u) << "adjacency moves by the triangle base";
    EXPECT_EQ(c.adjacency[3 * 23], kNoNeighbour) << "borders stay borders";
    EXPECT_FLOAT_EQ(c.mesh->vertices()[9].u, 0.25f);
    EXPECT_TRUE(c.triangles_only);
    EXPECT_FALSE(c.has_false_edges) << "no false-edge arrays for triangle objects in Triangles";
}

TEST(Combine, FalseEdgeArraysExistForPolygonsAndObjectsWithoutThemContributeNoNeighbour) {
    std::vector<ObjectRecord> records = {record_of(3, 2, true, false), record_of(3, 2, false),
                                         record_of(4, 1, true, false)};
    const std::vector<std::int32_t> assignment = {0, 0, 1};
    std::map<std::uint32_t, INode*> offsets;
    const CombinedMesh c = combine(records, assignment, 0, Organic, Triangles, offsets);
    EXPECT_FALSE(c.triangles_only);
    ASSERT_TRUE(c.has_false_edges);
    ASSERT_EQ(c.false_edges.size(), 12u);
    EXPECT_EQ(c.false_edges[0], 1u);
    for (std::size_t i = 6; i < 12; ++i) {
        EXPECT_EQ(c.false_edges[i], kNoNeighbour);
        EXPECT_EQ(c.false_edge_copy[i], kNoNeighbour);
    }
    EXPECT_EQ(records[2].indices[0], 0u) << "an object of another map is untouched";
    EXPECT_EQ(offsets.size(), 2u);
}

TEST(Combine, AMapWithoutVerticesStopsTheRun) {
    std::vector<ObjectRecord> records = {record_of(3, 1, false)};
    const std::vector<std::int32_t> assignment = {0};
    std::map<std::uint32_t, INode*> offsets;
    try {
        combine(records, assignment, 1, Organic, Triangles, offsets);
        FAIL();
    } catch (const Proxy_Exception& e) {
        EXPECT_EQ(e.message(), "Unable to assign objects to their respective target maps");
    }
}
