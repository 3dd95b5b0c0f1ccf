// Whole runs in the modes that compute UVs, checked on what the modifier
// writes into the target channel.
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include <cmath>

namespace {

const Mesh& evaluated(INode* node) {
    return static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
}

double signed_area(const UVVert& a, const UVVert& b, const UVVert& c) {
    return 0.5 *
           ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
}

} // namespace

TEST_F(HostTest, UvPackMovesIslandsWithoutChangingTheirShapes) {
    // Two grids whose channel 1 gives every triangle its own island, the
    // second object's islands twice as large.
    TriObject* small = grid_tri_object(3, 2, 1.0f);
    TriObject* large = grid_tri_object(2, 2, 1.0f);
    give_split_uvs(small->mesh, 1);
    give_split_uvs(large->mesh, 1);
    for (UVVert& t : large->mesh.Map(1).tv) {
        t = t * 2.0f;
    }
    SceneNode* a = add_node(L"small", small);
    SceneNode* b = add_node(L"large", large);
    const Mesh source_a = small->mesh, source_b = large->mesh;
    select({a, b});
    settings().base_unwrap = UvPack;
    settings().source_channel = 1;
    settings().channel = 2;
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("packed"));

    double common_scale = 0;
    for (auto [node, source] : {std::pair{a, &source_a}, std::pair{b, &source_b}}) {
        const Mesh& out = evaluated(node);
        ASSERT_TRUE(out.mapSupport(2));
        for (int f = 0; f < out.getNumFaces(); ++f) {
            UVVert p[3], q[3];
            for (int k = 0; k < 3; ++k) {
                p[k] = source->mapVerts(1)[source->mapFaces(1)[f].t[k]];
                q[k] = out.mapVerts(2)[out.mapFaces(2)[f].t[k]];
                EXPECT_GE(q[k].x, 0.0f);
                EXPECT_LE(q[k].x, 1.0f);
                EXPECT_GE(q[k].y, 0.0f);
                EXPECT_LE(q[k].y, 1.0f);
            }
            // Congruent up to one scale for all islands and a turn: every
            // edge scales alike and the winding stays.
            for (int k = 0; k < 3; ++k) {
                const double before = (p[(k + 1) % 3] - p[k]).Length();
                const double after = (q[(k + 1) % 3] - q[k]).Length();
                const double scale = after / before;
                if (common_scale == 0) {
                    common_scale = scale;
                }
                EXPECT_NEAR(scale / common_scale, 1.0, 1e-3) << "face " << f;
            }
            EXPECT_GT(signed_area(q[0], q[1], q[2]) * signed_area(p[0], p[1], p[2]), 0.0)
                << "no island is mirrored";
        }
    }
    EXPECT_GT(common_scale, 0.0);
}

TEST_F(HostTest, OrganicRunKeepsEveryPolygonInOneChartAndEveryUvInTheAtlas) {
    SceneNode* box = add_node(L"box", box_poly_object(1, 2, 3));
    SceneNode* crate = add_node(L"crate", box_tri_object(true));
    select({box, crate});
    settings().base_unwrap = Organic;
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("organic")) << core.messages().size();
    ASSERT_EQ(unwrapper.map_reports().size(), 1u);
    EXPECT_GT(unwrapper.map_reports()[0].coverage, 0.2);

    const Mesh& out = static_cast<TriObject*>(crate->EvalWorldState(0).obj)->mesh;
    ASSERT_TRUE(out.mapSupport(1));
    for (int f = 0; f < out.getNumFaces(); f += 2) {
        // The quad's two triangles meet on their diagonal in UV space too.
        const TVFace& t0 = out.mapFaces(1)[f];
        const TVFace& t1 = out.mapFaces(1)[f + 1];
        EXPECT_EQ(t0.t[0], t1.t[0]);
        EXPECT_EQ(t0.t[2], t1.t[1]);
    }
    for (int i = 0; i < out.getNumMapVerts(1); ++i) {
        EXPECT_GE(out.mapVerts(1)[i].x, 0.0f);
        EXPECT_LE(out.mapVerts(1)[i].x, 1.0f);
    }
}
