#include "support/test_host.h"
#include "unwrap/extract.h"
#include "unwrap/proxy_exception.h"

#include <cmath>
#include <limits>

namespace {

UnwrapSettings defaults() {
    UnwrapSettings s{};
    s.reset();
    return s;
}

ObjectRecord extract_mesh(const Mesh& mesh, const UnwrapSettings& s, bool triangle_mesh_object,
                          float scale = 1.0f, const Matrix3& tm = Matrix3()) {
    ObjectRecord r;
    r.triangle_mesh_object = triangle_mesh_object;
    extract(r, mesh, tm, "thing", scale, s);
    return r;
}

int neighbour_count(const std::vector<std::uint32_t>& per_edge, std::size_t face) {
    int n = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        n += per_edge[3 * face + k] != kNoNeighbour ? 1 : 0;
    }
    return n;
}

// An open cylinder of `segments` quads around the z axis (split into
// triangles), channel 1 unrolled so that u wraps: the map vertices at u = 0
// and u = 1 differ, which makes the edge loop at angle 0 a seam.
TriObject* cylinder(int segments) {
    auto* obj = new TriObject;
    Mesh& m = obj->mesh;
    for (int i = 0; i < segments; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(segments);
        m.verts.emplace_back(std::cos(a), std::sin(a), 0.0f);
        m.verts.emplace_back(std::cos(a), std::sin(a), 1.0f);
    }
    m.setMapSupport(1);
    for (int i = 0; i <= segments; ++i) {
        const float u = static_cast<float>(i) / static_cast<float>(segments);
        m.Map(1).tv.emplace_back(u, 0.0f, 0.0f);
        m.Map(1).tv.emplace_back(u, 1.0f, 0.0f);
    }
    for (int i = 0; i < segments; ++i) {
        const auto b0 = static_cast<DWORD>(2 * i), t0 = b0 + 1;
        const auto b1 = static_cast<DWORD>(2 * ((i + 1) % segments)), t1 = b1 + 1;
        const auto u0 = static_cast<DWORD>(2 * i), u1 = static_cast<DWORD>(2 * (i + 1));
        Face a, c;
        a.setVerts(b0, b1, t1);
        c.setVerts(b0, t1, t0);
        m.faces.push_back(a);
        m.faces.push_back(c);
        m.Map(1).tf.push_back({});
        m.Map(1).tf.back().setTVerts(u0, u1, u1 + 1);
        m.Map(1).tf.push_back({});
        m.Map(1).tf.back().setTVerts(u0, u1 + 1, u0 + 1);
    }
    return obj;
}

} // namespace

TEST_F(HostTest, BoxOfQuadsHasItsDiagonalsAsFalseEdgesAndNothingElse) {
    std::unique_ptr<PolyObject> box(box_poly_object());
    Mesh mesh;
    box->mm.OutToTri(mesh);
    UnwrapSettings s = defaults(); // Organic, Polygons
    const ObjectRecord r = extract_mesh(mesh, s, false);
    ASSERT_EQ(r.false_edges.size(), 36u);
    for (std::size_t f = 0; f < 12; ++f) {
        EXPECT_EQ(neighbour_count(r.false_edges, f), 1) << "face " << f;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t g = r.false_edges[3 * f + k];
            if (g != kNoNeighbour) {
                EXPECT_EQ(g, f ^ 1u) << "the partner is the other half of the same quad";
            }
        }
        EXPECT_EQ(neighbour_count(r.adjacency, f), 3) << "a closed box has every neighbour";
    }
    EXPECT_EQ(r.false_edge_copy, r.false_edges) << "no two quads of a box lie in one plane";
}

TEST_F(HostTest, TriangleMeshInTrianglesModeHasNoFalseEdgesButPolygonsModeKeepsThem) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    UnwrapSettings s = defaults();
    s.unwrapmode = Triangles;
    EXPECT_TRUE(extract_mesh(box->mesh, s, true).false_edges.empty());
    EXPECT_FALSE(extract_mesh(box->mesh, s, false).false_edges.empty())
        << "a polygon object always has its false edges";
    s.unwrapmode = Polygons;
    EXPECT_EQ(extract_mesh(box->mesh, s, true).false_edges.size(), 36u);
}

TEST_F(HostTest, CoplanarNeighboursJoinTheFalseEdgesOnlyAfterTheMerge) {
    // A flat grid whose edges are all visible: no false edge before the
    // merge, every interior edge after it.
    std::unique_ptr<TriObject> grid(grid_tri_object(2, 2));
    const ObjectRecord r = extract_mesh(grid->mesh, defaults(), true);
    for (std::uint32_t e : r.false_edge_copy) {
        EXPECT_EQ(e, kNoNeighbour);
    }
    EXPECT_EQ(r.false_edges, r.adjacency);
}

TEST_F(HostTest, RidgeCutsAtEightyDegreesCutEveryCubeEdgeButNoDiagonalAndGroovesCutNone) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    UnwrapSettings s = defaults();
    s.use_convex = true;
    s.angle_convex = 80.0f;
    ObjectRecord r = extract_mesh(box->mesh, s, true);
    for (std::size_t f = 0; f < 12; ++f) {
        EXPECT_EQ(neighbour_count(r.adjacency, f), 1) << "only the quad partner remains";
    }

    s = defaults();
    s.use_concave = true;
    s.angle_concave = 80.0f;
    r = extract_mesh(box->mesh, s, true);
    for (std::size_t f = 0; f < 12; ++f) {
        EXPECT_EQ(neighbour_count(r.adjacency, f), 3) << "a cube has no grooves";
    }
}

TEST_F(HostTest, RidgeCutsSkipInvisibleEdges) {
    // Visible diagonals, but the outer edge 0-2 hidden on both of its faces
    // (face 0 of the -z quad and face 9 of the -x quad).
    std::unique_ptr<TriObject> box(box_tri_object(false));
    box->mesh.faces[0].setEdgeVisFlags(0, 1, 1);
    box->mesh.faces[9].setEdgeVisFlags(1, 1, 0);
    UnwrapSettings s = defaults();
    s.use_convex = true;
    s.angle_convex = 10.0f;
    const ObjectRecord r = extract_mesh(box->mesh, s, true);
    EXPECT_EQ(r.adjacency[0], 9u) << "the hidden ridge keeps its neighbours";
    EXPECT_EQ(r.adjacency[1], kNoNeighbour) << "a visible ridge is cut";
    EXPECT_EQ(r.adjacency[2], 1u) << "a flat diagonal is never a ridge";
    EXPECT_EQ(neighbour_count(r.adjacency, 1), 1);
}

TEST_F(HostTest, KeepSeamsCutsAlongTheSourceChannelsSeamOnly) {
    std::unique_ptr<TriObject> cyl(cylinder(8));
    UnwrapSettings s = defaults();
    s.seams = true;
    s.source_channel = 1;
    const ObjectRecord r = extract_mesh(cyl->mesh, s, true);
    // Faces 0 (first segment, starts at the seam) and 15 (last segment, ends
    // there) lost their neighbour across the seam; every inner edge stays.
    int links = 0;
    for (std::uint32_t e : r.adjacency) {
        links += e != kNoNeighbour ? 1 : 0;
    }
    EXPECT_EQ(links, 2 * (8 + 7)) << "8 diagonals and 7 of the 8 segment edges, both sides";
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NE(r.adjacency[3 * 0 + k], 15u);
        EXPECT_NE(r.adjacency[3 * 15 + k], 0u);
    }
    s.seams = false;
    const ObjectRecord uncut = extract_mesh(cyl->mesh, s, true);
    int all = 0;
    for (std::uint32_t e : uncut.adjacency) {
        all += e != kNoNeighbour ? 1 : 0;
    }
    EXPECT_EQ(all, 2 * (8 + 8));
}

TEST_F(HostTest, VellumarScaleScalesGeometryAfterTheTransformButNotUvCopy) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    give_split_uvs(box->mesh, 1);
    Matrix3 tm;
    tm.SetRow(0, Point3(0, 1, 0)); // x -> y
    tm.SetRow(1, Point3(-1, 0, 0));
    tm.SetTrans(Point3(100, 100, 100)); // translation never applies
    UnwrapSettings s = defaults();
    const ObjectRecord r = extract_mesh(box->mesh, s, true, 2.0f, tm);
    ASSERT_EQ(r.vertex_count, 8u);
    EXPECT_FLOAT_EQ(r.positions[1].x, 0.0f); // corner (1,0,0)
    EXPECT_FLOAT_EQ(r.positions[1].y, 2.0f);
    EXPECT_FLOAT_EQ(r.positions[7].z, 2.0f);

    s.base_unwrap = UvCopy;
    const ObjectRecord copy = extract_mesh(box->mesh, s, true, 2.0f, tm);
    ASSERT_EQ(copy.vertex_count, 36u);
    EXPECT_FLOAT_EQ(copy.uvs[1].x, box->mesh.Map(1).tv[1].x);
    EXPECT_FLOAT_EQ(copy.positions[1].x, box->mesh.Map(1).tv[1].x);
}

TEST_F(HostTest, UvModesStopWhenTheSourceChannelIsMissing) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    UnwrapSettings s = defaults();
    s.base_unwrap = UvCopy;
    s.source_channel = 4;
    EXPECT_EQ(message_of([&] { extract_mesh(box->mesh, s, true); }),
              "The selected target channel contains no UV data for object thing");
}

TEST_F(HostTest, CornersNamingMissingVerticesStopTheRunWithTheGeometryOrMapMessage) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    give_split_uvs(box->mesh, 1);
    Mesh broken = box->mesh;
    broken.faces[3].v[1] = 42;
    UnwrapSettings s = defaults();
    EXPECT_EQ(message_of([&] { extract_mesh(broken, s, true); }),
              "Failed to create d3dx mesh. Please check if your geometry is valid.");
    Mesh broken_map = box->mesh;
    broken_map.Map(1).tf[5].t[2] = 1000;
    s.base_unwrap = UvCopy;
    EXPECT_EQ(message_of([&] { extract_mesh(broken_map, s, true); }),
              "Mesh data cannot be converted. It most likely contains invalid faces.");
}

TEST_F(HostTest, DegenerateFacesAndIsolatedVerticesAreData) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    Mesh m = box->mesh;
    m.verts.emplace_back(5, 5, 5); // isolated
    m.faces.push_back(m.faces[0]);
    m.faces.back().setVerts(0, 0, 1); // degenerate, folded onto an edge
    m.faces.push_back(m.faces[0]);
    m.faces.back().setVerts(2, 2, 2); // a point
    UnwrapSettings s = defaults();
    s.use_convex = true;
    s.use_concave = true;
    s.angle_convex = 30;
    s.angle_concave = 30;
    const ObjectRecord r = extract_mesh(m, s, false);
    EXPECT_EQ(r.vertex_count, 9u);
    EXPECT_EQ(r.index_count, 42u);
    EXPECT_EQ(r.adjacency.size(), 42u);
    EXPECT_EQ(r.false_edges.size(), 42u);
    for (std::uint32_t e : r.adjacency) {
        EXPECT_TRUE(e == kNoNeighbour || e < 14u);
    }
}

TEST_F(HostTest, ObjectsWithoutFacesOrWithTooFewVerticesGetNoAdjacencyWork) {
    Mesh points;
    points.verts = {{0, 0, 0}, {1, 0, 0}};
    const ObjectRecord r = extract_mesh(points, defaults(), true);
    EXPECT_EQ(r.vertex_count, 2u);
    EXPECT_EQ(r.index_count, 0u);
    EXPECT_TRUE(r.false_edges.empty());
}

TEST_F(HostTest, NonFinitePositionsTransformsAndUvsStopTheRunNamingTheObject) {
    std::unique_ptr<TriObject> box(box_tri_object(true));
    give_split_uvs(box->mesh, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    UnwrapSettings s = defaults();
    auto message = [&](const Mesh& m, const UnwrapSettings& settings, float scale = 1.0f,
                       const Matrix3& tm = Matrix3()) {
        return message_of([&] { extract_mesh(m, settings, true, scale, tm); });
    };
    for (int mode : {Organic, HardSurface, Projection}) {
        s.base_unwrap = mode;
        for (float bad : {nan, inf, -inf}) {
            Mesh m = box->mesh;
            m.verts[5].y = bad;
            EXPECT_EQ(message(m, s), "Object thing has a vertex whose position is not a finite "
                                     "number (NaN or infinity; vertex 5). Fix or delete it "
                                     "before unwrapping.");
        }
        // Finite in the file, infinite once scaled.
        Mesh huge = box->mesh;
        huge.verts[2] = Point3(3e38f, 0, 0);
        EXPECT_NE(message(huge, s, 10.0f).find("once transformed and scaled (vertex 2)"),
                  std::string::npos);
        Matrix3 tm;
        tm.SetRow(3, Point3(0, nan, 0));
        EXPECT_EQ(message(box->mesh, s, 1.0f, tm),
                  "The transform of object thing is not a finite number (NaN or infinity). "
                  "Reset its transform before unwrapping.");
    }
    // In the UV modes the source channel's UVs are the positions; the
    // object's transform plays no part.
    for (int mode : {UvPack, UvCopy}) {
        s.base_unwrap = mode;
        s.source_channel = 1;
        Mesh m = box->mesh;
        m.Map(1).tv[7].x = nan;
        EXPECT_EQ(message(m, s), "Object thing has a UV in channel 1 that is not a finite number "
                                 "(NaN or infinity; map vertex 7). Fix it before unwrapping.");
        Matrix3 tm;
        tm.SetRow(0, Point3(inf, 0, 0));
        EXPECT_EQ(message(box->mesh, s, 1.0f, tm), "");
    }
}
