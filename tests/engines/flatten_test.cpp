#include "atlas/mesh.h"
#include "engines/FlattenUVGenerator.h"
#include "engines/flatten_unwrap.h"
#include "engines/render_uv.h"
#include "standalone/scene/non_mesh_objects.h"
#include "support/test_host.h"
#include "unwrap/proxy_exception.h"

#include <cmath>
#include <set>

namespace vatlas = vellumar::atlas;

namespace {

// A triangle soup over shared vertices with its adjacency and, for every
// pair (2i, 2i+1) of triangles sharing an edge, a false edge between them
// (quads), as extraction would give for a mesh of quads.
struct Soup {
    std::vector<vatlas::AtlasVertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> adjacency;
    std::vector<std::uint32_t> false_edges;

    std::int32_t faces() const { return static_cast<std::int32_t>(indices.size() / 3); }
    AtlasMeshPtr mesh() const {
        AtlasMeshPtr m;
        vatlas::create_mesh(static_cast<std::uint32_t>(faces()),
                            static_cast<std::uint32_t>(vertices.size()), &m);
        std::copy(vertices.begin(), vertices.end(), m->vertices().begin());
        std::copy(indices.begin(), indices.end(), m->indices().begin());
        return m;
    }
};

Soup soup_of(const std::vector<Point3>& points, const std::vector<std::uint32_t>& indices,
             bool quads) {
    Soup s;
    for (const Point3& p : points) {
        s.vertices.push_back({p.x, p.y, p.z, 0, 0});
    }
    s.indices = indices;
    s.adjacency.assign(indices.size(), vatlas::kNoNeighbour);
    vatlas::convert_point_reps_to_adjacency(*s.mesh(), {}, s.adjacency);
    s.false_edges.assign(indices.size(), vatlas::kNoNeighbour);
    if (quads) {
        for (std::size_t f = 0; f < indices.size() / 3; ++f) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t n = s.adjacency[3 * f + k];
                if (n != vatlas::kNoNeighbour && n / 2 == f / 2) {
                    s.false_edges[3 * f + k] = n;
                }
            }
        }
    }
    return s;
}

// The unit cube from -1 to 1 as six quads split on their 0-2 diagonal.
Soup cube_soup(float half = 1.0f) {
    const BoxQuads b = box_quads(2 * half, 2 * half, 2 * half);
    std::vector<Point3> points;
    for (const Point3& p : b.corners) {
        points.push_back(p - Point3(half, half, half));
    }
    std::vector<std::uint32_t> idx;
    for (const auto& q : b.quads) {
        const auto v = [&](int i) {
            return static_cast<std::uint32_t>(q[static_cast<std::size_t>(i)]);
        };
        idx.insert(idx.end(), {v(0), v(1), v(2), v(0), v(2), v(3)});
    }
    return soup_of(points, idx, true);
}

std::vector<std::int32_t> hard_surface_classes(Soup& s) {
    FlattenUVGenerator g(s.indices, s.vertices, {}, s.adjacency, s.false_edges, s.faces(), nullptr);
    g.run_hard_surface();
    return g.classes();
}

class FlattenTest : public HostTest {
  protected:
    UvAtlasProxy proxy_ = [] {
        UvAtlasProxy p;
        p.init(nullptr, 0, 0.16667f, 1024, 1024, 4, false);
        return p;
    }();
};

} // namespace

TEST(AxisClass, TiesGoToTheEarlierClass) {
    EXPECT_EQ(axis_class(Point3(1, 1, 0)), 0);
    EXPECT_EQ(axis_class(Point3(-1, 0, 1)), 1);
    EXPECT_EQ(axis_class(Point3(0, 0, -2)), 5);
    EXPECT_EQ(axis_class(Point3(0, 0, 0)), kUnclassified);
}

TEST_F(FlattenTest, CubeOfQuadsGivesSixChartsAndTwentyFourWeldedVertices) {
    Soup s = cube_soup();
    const auto mesh = s.mesh();
    AtlasMeshPtr result;
    std::vector<std::uint32_t> remap;
    flatten_unwrap(proxy_, *mesh, result, remap, {}, s.adjacency, s.false_edges, nullptr, nullptr);
    EXPECT_EQ(result->vertex_count(), 24u);
    ASSERT_EQ(result->face_count(), 12u);
    EXPECT_EQ(UvAtlasProxy::charts_from_adjacency(*result, s.adjacency).back(), 6u)
        << "the class cuts leave one chart per side";
    for (std::size_t i = 0; i < s.indices.size(); ++i) {
        EXPECT_EQ(remap[result->indices()[i]], s.indices[i]) << "corner " << i;
    }
    for (std::uint32_t f = 0; f < 12; f += 2) {
        std::set<std::uint32_t> quad(result->indices().begin() + 3 * f,
                                     result->indices().begin() + 3 * f + 6);
        EXPECT_EQ(quad.size(), 4u) << "a side's two triangles share their diagonal";
    }
}

TEST(FlattenUVGenerator, ABentQuadKeepsTheClassOfItsFirstTriangle) {
    // Two triangles whose normals point along +Z and +X, joined by a false
    // edge, plus a third triangle on its own.
    Soup s = soup_of({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 5}, {1, 0, 5}, {0, 1, 5}},
                     {0, 1, 2, 0, 2, 3, 4, 5, 6}, false);
    s.vertices[3] = {0.1f, 1, 5, 0, 0}; // bend the second triangle upwards
    s.false_edges[2] = 1;               // edge 2-0 of triangle 0
    s.false_edges[3] = 0;               // edge 0-2 of triangle 1
    const auto classes = hard_surface_classes(s);
    EXPECT_EQ(classes[0], 4);
    EXPECT_EQ(classes[1], 4) << "the polygon takes its first triangle's class";
}

TEST(FlattenUVGenerator, SphereSplitsIntoSixAxisRegionsWithCutsBetweenThem) {
    std::vector<Point3> pts;
    std::vector<std::uint32_t> idx;
    const int around = 16, up = 8;
    for (int j = 0; j <= up; ++j) {
        for (int i = 0; i < around; ++i) {
            const float t = 3.14159265f * static_cast<float>(j) / up;
            const float p = 6.2831853f * static_cast<float>(i) / around;
            pts.emplace_back(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t));
        }
    }
    for (int j = 0; j < up; ++j) {
        for (int i = 0; i < around; ++i) {
            const auto a = static_cast<std::uint32_t>(j * around + i);
            const auto b = static_cast<std::uint32_t>(j * around + (i + 1) % around);
            idx.insert(idx.end(), {a, a + around, b + around, a, b + around, b});
        }
    }
    Soup s = soup_of(pts, idx, false);
    const auto classes = hard_surface_classes(s);
    std::set<std::int32_t> seen(classes.begin(), classes.end());
    seen.erase(kUnclassified); // pole triangles collapse to zero area
    EXPECT_EQ(seen, (std::set<std::int32_t>{0, 1, 2, 3, 4, 5}));
    for (std::size_t f = 0; f < classes.size(); ++f) {
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t n = s.adjacency[3 * f + k];
            if (n != vatlas::kNoNeighbour) {
                EXPECT_EQ(classes[n], classes[f]) << "neighbours left after the cut agree";
            }
        }
    }
}

TEST(FlattenUVGenerator, DegenerateTrianglesStayUnclassifiedUnlessInsideAPolygon) {
    // Triangle 0 real, 1 degenerate inside its polygon, 2 degenerate alone.
    Soup s = soup_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}},
                     {0, 1, 2, 0, 1, 1, 3, 4, 3}, false);
    s.false_edges = {1,
                     vatlas::kNoNeighbour,
                     vatlas::kNoNeighbour,
                     0,
                     vatlas::kNoNeighbour,
                     vatlas::kNoNeighbour,
                     vatlas::kNoNeighbour,
                     vatlas::kNoNeighbour,
                     vatlas::kNoNeighbour};
    const auto classes = hard_surface_classes(s);
    EXPECT_EQ(classes, (std::vector<std::int32_t>{4, 4, kUnclassified}));
    for (std::size_t k = 6; k < 9; ++k) {
        EXPECT_EQ(s.vertices[s.indices[k]].u, 0.0f);
    }

    Soup flat = soup_of({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {0, 1, 2}, false);
    try {
        hard_surface_classes(flat);
        FAIL();
    } catch (const Proxy_Exception& e) {
        EXPECT_EQ(e.message(), "The current projection settings have filtered out all "
                               "surfaces, there is nothing left to unwrap.");
        EXPECT_EQ(e.line(), 91);
    }
}

TEST(TriangleMeetsCone, FindsCornersEdgesAndTheAxisThroughTheInterior) {
    const Point3 apex(0, 0, 0), axis(0, 0, -1);
    const float c45 = std::cos(0.785398f);
    const Point3 inside[3] = {{0, 0, -5}, {9, 0, -5}, {0, 9, -5}};
    const Point3 spanning[3] = {{-9, -9, -5}, {9, -9, -5}, {0, 9, -5}}; // axis through it
    const Point3 edge_only[3] = {{-9, 1, -5}, {9, 1, -5}, {0, 30, -5}}; // edge crosses
    const Point3 behind[3] = {{-1, -1, 5}, {1, -1, 5}, {0, 1, 5}};
    const Point3 beside[3] = {{20, 0, -1}, {30, 0, -1}, {25, 5, -1}};
    EXPECT_TRUE(triangle_meets_cone(inside, apex, axis, c45));
    EXPECT_TRUE(triangle_meets_cone(spanning, apex, axis, c45));
    EXPECT_TRUE(triangle_meets_cone(edge_only, apex, axis, c45));
    EXPECT_FALSE(triangle_meets_cone(behind, apex, axis, c45));
    EXPECT_FALSE(triangle_meets_cone(beside, apex, axis, c45));
    EXPECT_TRUE(triangle_meets_cone(spanning, apex, axis, 1.0f)) << "a view angle of 0";
    EXPECT_FALSE(triangle_meets_cone(edge_only, apex, axis, 1.0f));
}

TEST_F(FlattenTest, CameraInFrontOfACubeKeepsTheFrontFaceAndSidesOnlyWithTolerance) {
    SceneNode* camera = add_node(L"cam", new CameraObject);
    Matrix3 tm;
    tm.SetTrans(Point3(0, 0, 10));
    camera->SetObjectTM(tm);
    auto classes_for = [&](bool ortho, float tolerance, float angle = 45.0f) {
        Soup s = cube_soup();
        ProjectionParams params(camera->GetHandle(), {}, ortho, angle, tolerance);
        FlattenUVGenerator g(s.indices, s.vertices, {}, s.adjacency, s.false_edges, s.faces(),
                             &params);
        ortho ? g.run_orthographic() : g.run_perspective();
        std::vector<std::int32_t> per_side;
        for (std::size_t f = 0; f < g.classes().size(); f += 2) {
            per_side.push_back(g.classes()[f]);
        }
        return per_side; // sides: -z, +z, -y, +y, -x, +x
    };
    EXPECT_EQ(classes_for(false, 0), (std::vector<std::int32_t>{6, 4, 6, 6, 6, 6}));
    EXPECT_EQ(classes_for(false, 10), (std::vector<std::int32_t>{6, 4, 3, 2, 1, 0}));
    // Orthographic: the front face head-on (class 1), the sides by their
    // normals along the camera's axes, the back face filtered.
    EXPECT_EQ(classes_for(true, 0), (std::vector<std::int32_t>{6, 1, 3, 2, 5, 4}));
    // Wider than a half space: everything but what hides behind the camera.
    EXPECT_EQ(classes_for(false, 90, 120), (std::vector<std::int32_t>{5, 4, 3, 2, 1, 0}));

    // A camera deleted after it was picked: the frame falls back to the
    // origin looking down -Z, which sits inside the cube.
    ProjectionParams params(camera->GetHandle(), {}, false, 45, 0);
    core.DeleteNode(camera);
    EXPECT_EQ(params.camera(), nullptr);
    EXPECT_EQ(params.frame().position, Point3(0, 0, 0));
    EXPECT_EQ(params.frame().direction, Point3(0, 0, -1));
}

TEST_F(FlattenTest, EachObjectsWorldPositionUsesItsOwnNode) {
    // Two single triangles at the same combined position; only the second
    // object's node sits in front of the camera.
    SceneNode* far = add_node(L"far", box_tri_object(true));
    SceneNode* near = add_node(L"near", box_tri_object(true));
    Matrix3 far_tm, near_tm;
    far_tm.SetTrans(Point3(100, 0, -10));
    near_tm.SetTrans(Point3(0, 0, -10));
    far->SetObjectTM(far_tm);
    near->SetObjectTM(near_tm);
    Soup s = soup_of({{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}, {-1, -1, 0}, {1, -1, 0}, {0, 1, 0}},
                     {0, 1, 2, 3, 4, 5}, false);
    ProjectionParams params(0, {{0, far}, {3, near}}, false, 30, 0);
    FlattenUVGenerator g(s.indices, s.vertices, {}, s.adjacency, s.false_edges, s.faces(), &params);
    g.run_perspective();
    EXPECT_EQ(g.classes(), (std::vector<std::int32_t>{6, 4}));
}
