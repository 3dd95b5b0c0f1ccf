// Whole runs in the modes that compute UVs, checked on what the modifier
// writes into the target channel.
#include "standalone/files/importer.h"
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

// Every triangle of the channel inside the unit square with a UV area of
// its own: nothing was left out of the atlas or collapsed.
void expect_every_triangle_in_the_atlas(const Mesh& m, int channel) {
    ASSERT_TRUE(m.mapSupport(channel));
    for (int f = 0; f < m.getNumFaces(); ++f) {
        UVVert q[3];
        for (int k = 0; k < 3; ++k) {
            q[k] = m.mapVerts(channel)[m.mapFaces(channel)[f].t[k]];
            EXPECT_TRUE(q[k].x >= 0.0f && q[k].x <= 1.0f && q[k].y >= 0.0f && q[k].y <= 1.0f)
                << "face " << f;
        }
        EXPECT_GT(std::abs(signed_area(q[0], q[1], q[2])), 0.0) << "face " << f;
    }
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

TEST_F(HostTest, ShapesWhosePoleRowsRepeatOnePointUnwrapInEveryGeometryMode) {
    std::vector<INode*> nodes;
    for (const char* file : {"uv_sphere_repeated_poles.obj", "cylinder_collapsed_caps.obj",
                             "cone_collapsed_apex.obj", "torus_repeated_seams.obj"}) {
        const ImportResult r =
            import_scene(std::string(VELLUMAR_TEST_DATA) + "/" + file, core.scene());
        ASSERT_TRUE(r.ok) << r.error;
        nodes.insert(nodes.end(), r.mesh_nodes.begin(), r.mesh_nodes.end());
    }
    select(nodes);
    settings().channel = 2;
    for (int mode : {Organic, HardSurface}) {
        for (int borders : {Polygons, Triangles}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", borders " << borders);
            settings().base_unwrap = mode;
            settings().unwrapmode = borders;
            Unwrapper unwrapper;
            ASSERT_TRUE(unwrapper.run("shapes"))
                << (message_texts().empty() ? "" : message_texts().back());
            for (INode* node : nodes) {
                expect_every_triangle_in_the_atlas(evaluated_mesh(node), 2);
            }
        }
    }
}

TEST_F(HostTest, PolygonsThatRepeatACornerUnwrapAsTheSmallerPolygonsTheyAre) {
    // A pyramid built as older scenes hold it: each side a quad whose last
    // two corners are both the apex.
    auto* obj = new PolyObject;
    MNMesh& mm = obj->mm;
    for (const Point3& p : {Point3(0, 0, 0), Point3(1, 0, 0), Point3(1, 1, 0), Point3(0, 1, 0),
                            Point3(0.5f, 0.5f, 1)}) {
        mm.v.push_back(MNVert{p});
    }
    std::vector<std::vector<int>> faces = {{0, 3, 2, 1}};
    for (int i = 0; i < 4; ++i) {
        faces.push_back({i, (i + 1) % 4, 4, 4});
    }
    for (const auto& corners : faces) {
        MNFace f;
        f.vtx = corners;
        f.visedg.assign(corners.size(), true);
        mm.f.push_back(f);
    }
    mm.FillInMesh();
    SceneNode* node = add_node(L"pyramid", obj);
    select({node});
    settings().base_unwrap = Organic;
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("pyramid"))
        << (message_texts().empty() ? "" : message_texts().back());
    const Mesh m = evaluated_mesh(node);
    EXPECT_EQ(m.getNumFaces(), 6) << "two for the base, one per side";
    expect_every_triangle_in_the_atlas(m, 1);
}
