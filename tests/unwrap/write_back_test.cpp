#include "support/test_host.h"
#include "unwrap/combine.h"
#include "unwrap/proxy_exception.h"
#include "unwrap/write_back.h"

#include <numeric>

namespace vatlas = vellumar::atlas;

namespace {

ObjectRecord cube_record() {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    ObjectRecord r;
    r.vertex_count = 8;
    for (const Point3& p : box->mesh.verts) {
        r.positions.push_back({p.x, p.y, p.z, 0, 0});
    }
    r.uvs.assign(8, Point3(0, 0, 0));
    for (const Face& f : box->mesh.faces) {
        r.indices.insert(r.indices.end(), {f.v[0], f.v[1], f.v[2]});
    }
    r.index_count = 36;
    r.adjacency.assign(36, kNoNeighbour);
    return r;
}

// What an engine returns for the combined mesh when every quad (two
// triangles) becomes a chart of its own: the quad's corners are copied per
// chart, in order of first use; u, v record the chart and the source vertex.
struct SplitResult {
    std::unique_ptr<vatlas::AtlasMesh> mesh;
    std::vector<std::uint32_t> remap;
};
SplitResult split_per_quad(const vatlas::AtlasMesh& combined) {
    SplitResult out;
    std::vector<std::uint32_t> indices;
    std::vector<vatlas::AtlasVertex> vertices;
    const auto in = combined.indices();
    for (std::size_t quad = 0; quad < in.size() / 6; ++quad) {
        std::map<std::uint32_t, std::uint32_t> copy;
        for (std::size_t k = 0; k < 6; ++k) {
            const std::uint32_t v = in[6 * quad + k];
            auto [it, fresh] = copy.try_emplace(v, static_cast<std::uint32_t>(vertices.size()));
            if (fresh) {
                vertices.push_back({0, 0, 0, static_cast<float>(quad), static_cast<float>(v)});
                out.remap.push_back(v);
            }
            indices.push_back(it->second);
        }
    }
    vatlas::create_mesh(static_cast<std::uint32_t>(indices.size() / 3),
                        static_cast<std::uint32_t>(vertices.size()), &out.mesh);
    std::copy(vertices.begin(), vertices.end(), out.mesh->vertices().begin());
    std::copy(indices.begin(), indices.end(), out.mesh->indices().begin());
    return out;
}

} // namespace

TEST(WriteBack, CubeSplitIntoSixChartsKeepsFaceOrderAndIndicesAreLocalPerObject) {
    std::vector<ObjectRecord> records = {cube_record(), cube_record()};
    const std::vector<ObjectRecord> before = records;
    const std::vector<std::int32_t> assignment = {0, 0};
    std::map<std::uint32_t, INode*> offsets;
    const CombinedMesh c = combine(records, assignment, 0, Organic, Triangles, offsets);
    const SplitResult result = split_per_quad(*c.mesh);

    write_back(*result.mesh, result.remap, records, assignment, 0);
    for (int o = 0; o < 2; ++o) {
        const ObjectRecord& r = records[static_cast<std::size_t>(o)];
        EXPECT_EQ(r.vertex_count, 24u);
        ASSERT_EQ(r.index_count, 36u);
        for (std::size_t i = 0; i < 36; ++i) {
            ASSERT_LT(r.indices[i], 24u);
            const Point3& uv = r.uvs[r.indices[i]];
            EXPECT_EQ(static_cast<std::uint32_t>(uv.y) - 8u * static_cast<std::uint32_t>(o),
                      before[static_cast<std::size_t>(o)].indices[i])
                << "corner " << i << " still names its own source vertex";
            EXPECT_EQ(static_cast<std::size_t>(uv.x), 6 * static_cast<std::size_t>(o) + i / 6);
            EXPECT_EQ(uv.z, 0.0f);
        }
    }
    EXPECT_EQ(records[1].indices[0], 0u) << "the second object's first UV vertex is 0 again";
}

TEST(WriteBack, IdentityRemapKeepsTheVertexCount) {
    std::vector<ObjectRecord> records = {cube_record()};
    const std::vector<std::int32_t> assignment = {0};
    std::map<std::uint32_t, INode*> offsets;
    const CombinedMesh c = combine(records, assignment, 0, Organic, Triangles, offsets);
    std::vector<std::uint32_t> identity(8);
    std::iota(identity.begin(), identity.end(), 0u);
    write_back(*c.mesh, identity, records, assignment, 0);
    EXPECT_EQ(records[0].vertex_count, 8u);
    EXPECT_EQ(records[0].indices, cube_record().indices);
}

TEST(WriteBack, AVertexWeldedAcrossObjectsIsCopiedIntoTheObjectThatDidNotTakeIt) {
    std::vector<ObjectRecord> records = {cube_record(), cube_record()};
    const std::vector<std::int32_t> assignment = {0, 0};
    std::map<std::uint32_t, INode*> offsets;
    const CombinedMesh c = combine(records, assignment, 0, Organic, Triangles, offsets);
    // The second cube's corner 0 was welded onto the first cube's vertex 0.
    auto result = c.mesh->clone();
    for (std::uint32_t& i : result->indices()) {
        if (i == 8) {
            i = 0;
        }
    }
    result->vertices()[0].u = 0.75f;
    std::vector<std::uint32_t> identity(16);
    std::iota(identity.begin(), identity.end(), 0u);
    write_back(*result, identity, records, assignment, 0);
    EXPECT_EQ(records[0].vertex_count, 8u);
    ASSERT_EQ(records[1].vertex_count, 9u) << "its own 8 (one unused now) and one copy";
    EXPECT_EQ(records[1].indices[0], 8u) << "the copy comes after its own vertices";
    EXPECT_FLOAT_EQ(records[1].uvs[8].x, 0.75f);
    for (std::uint32_t i : records[1].indices) {
        EXPECT_LT(i, 9u);
    }

    std::vector<std::uint32_t> short_remap(4);
    std::iota(short_remap.begin(), short_remap.end(), 0u);
    auto bad = c.mesh->clone();
    bad->indices()[5] = 99;
    EXPECT_THROW(write_back(*bad, short_remap, records, assignment, 0), Proxy_Exception);
}

TEST(UvCoverage, SumsUnsignedTriangleAreas) {
    std::unique_ptr<vatlas::AtlasMesh> m;
    vatlas::create_mesh(2, 4, &m);
    auto v = m->vertices();
    v[0] = {0, 0, 0, 0, 0};
    v[1] = {0, 0, 0, 0.5f, 0};
    v[2] = {0, 0, 0, 0.5f, 0.5f};
    v[3] = {0, 0, 0, 0, 0.5f};
    const std::uint32_t idx[] = {0, 1, 2, 0, 3, 2}; // second one clockwise
    std::copy(std::begin(idx), std::end(idx), m->indices().begin());
    EXPECT_DOUBLE_EQ(uv_coverage(*m), 0.25);
}
