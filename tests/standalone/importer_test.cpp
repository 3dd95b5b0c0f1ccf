#include "standalone/files/importer.h"

#include "host/text.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

namespace {

std::string model(const std::string& relative) {
    return std::string(VELLUMAR_ASSIMP_MODELS) + "/" + relative;
}

} // namespace

TEST(Importer, QuadsStayPolygonsWithInvisibleDiagonalsAndSharedCorners) {
    Scene scene;
    const ImportResult r = import_scene(model("OBJ/box.obj"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    Object* obj = r.mesh_nodes[0]->GetObjectRef();
    ASSERT_EQ(obj->ClassID(), polyObjectClassID);
    const MNMesh& mm = static_cast<PolyObject*>(obj)->mm;
    EXPECT_EQ(mm.FNum(), 6);
    EXPECT_EQ(mm.VNum(), 8) << "corners at one position share a vertex";
    int shared_edges = 0;
    for (const MNEdge& e : mm.e) {
        shared_edges += e.f2 >= 0 ? 1 : 0;
    }
    EXPECT_EQ(shared_edges, 12) << "a closed box";
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_EQ(m.getNumFaces(), 12);
    int invisible = 0;
    for (const Face& f : m.faces) {
        for (int k = 0; k < 3; ++k) {
            invisible += f.getEdgeVis(k) ? 0 : 1;
        }
    }
    EXPECT_EQ(invisible, 12) << "one diagonal per quad, seen from both triangles";
}

TEST(Importer, EveryUvSetBecomesAMapChannelWithSeamsKept) {
    Scene scene;
    const ImportResult r = import_scene(model("Collada/duck.dae"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    EXPECT_TRUE(m.mapSupport(1));
    EXPECT_FALSE(m.mapSupport(2));
    EXPECT_GT(m.getNumMapVerts(1), m.getNumVerts()) << "UV seams split map vertices only";
    EXPECT_EQ(m.getNumFaces(), 4212);
    // Every map face names existing map vertices.
    for (int f = 0; f < m.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(m.mapFaces(1)[f].t[k], static_cast<DWORD>(m.getNumMapVerts(1)));
        }
    }
}

TEST(Importer, CamerasAndLightsBecomeNodesThatAreNotMeshes) {
    Scene scene;
    const ImportResult cams = import_scene(model("Collada/cameras.dae"), scene);
    ASSERT_TRUE(cams.ok) << cams.error;
    ASSERT_FALSE(cams.other_nodes.empty());
    for (SceneNode* n : cams.other_nodes) {
        EXPECT_EQ(n->GetObjectRef()->SuperClassID(), CAMERA_CLASS_ID);
        EXPECT_FALSE(n->GetObjectRef()->CanConvertToType(triObjectClassID));
    }
    const ImportResult lights = import_scene(model("Collada/lights.dae"), scene);
    ASSERT_TRUE(lights.ok) << lights.error;
    ASSERT_FALSE(lights.other_nodes.empty());
    EXPECT_EQ(lights.other_nodes[0]->GetObjectRef()->SuperClassID(), LIGHT_CLASS_ID);
}

TEST(Importer, NodeTransformsComposeDownTheHierarchyAndUvSetsKeepTheirOrder) {
    Scene scene;
    const ImportResult r =
        import_scene(std::string(VELLUMAR_TEST_DATA) + "/nested_nodes_two_uv_sets.gltf", scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u) << "the parent holds no mesh and is no node of ours";
    EXPECT_EQ(WideToUtf8(r.mesh_nodes[0]->GetName()), "child");
    // glTF's y is the host's z, its z the host's -y.
    const Matrix3 tm = r.mesh_nodes[0]->GetObjectTM(0);
    EXPECT_EQ(tm.GetRow(0), Point3(2, 0, 0));
    EXPECT_EQ(tm.GetRow(2), Point3(0, -2, 0));
    EXPECT_EQ(tm.GetTrans(), Point3(10, 0, 5));
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_TRUE(m.mapSupport(1));
    ASSERT_TRUE(m.mapSupport(2));
    EXPECT_FALSE(m.mapSupport(3));
    // The second set is the first one halved and moved by (0.5, 0.5).
    for (int k = 0; k < 3; ++k) {
        const UVVert a = m.mapVerts(1)[m.mapFaces(1)[0].t[k]];
        const UVVert b = m.mapVerts(2)[m.mapFaces(2)[0].t[k]];
        EXPECT_FLOAT_EQ(b.x, 0.5f + 0.5f * a.x);
    }
}

TEST(Importer, DoubledFacesKeepVerticesOfTheirOwnSoEveryEdgeHasAtMostTwoFaces) {
    Scene scene;
    const ImportResult r =
        import_scene(std::string(VELLUMAR_TEST_DATA) + "/doubled_faces.obj", scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_EQ(m.getNumFaces(), 4);
    std::map<std::pair<DWORD, DWORD>, int> faces_on;
    for (const Face& f : m.faces) {
        for (int k = 0; k < 3; ++k) {
            const DWORD a = f.v[k], b = f.v[(k + 1) % 3];
            ++faces_on[{std::min(a, b), std::max(a, b)}];
        }
    }
    for (const auto& [edge, count] : faces_on) {
        EXPECT_LE(count, 2);
    }
    EXPECT_EQ(faces_on[std::make_pair(DWORD{0}, DWORD{2})], 2)
        << "the first face and its reversed twin stay joined";
    EXPECT_GT(m.getNumVerts(), 4);
}

TEST(Importer, ATriangleWhoseCornersWeldTogetherIsDroppedAndTheRealOnesStayJoined) {
    Scene scene;
    const ImportResult r =
        import_scene(std::string(VELLUMAR_TEST_DATA) + "/welded_pole_sliver.obj", scene);
    ASSERT_TRUE(r.ok) << r.error;
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_EQ(m.getNumFaces(), 2) << "the sliver between the two pole vertices has no area";
    // The two real triangles share the pole and the edge to (0, 1, 0).
    EXPECT_EQ(m.faces[0].v[0], m.faces[1].v[0]);
    EXPECT_EQ(m.faces[0].v[2], m.faces[1].v[1]);
}

TEST(Importer, GridShapesWithCollapsedRowsImportAsClosedSurfacesWithoutRepeatedCorners) {
    struct Case {
        const char* file;
        int vertices, polygons, triangles, euler;
    };
    // Vertices and faces counted by hand from the grids: the collapsed rows
    // become one vertex each and their quads triangles.
    for (const Case& c : {Case{"uv_sphere_repeated_poles.obj", 26, 32, 48, 2},
                          Case{"cylinder_collapsed_caps.obj", 18, 24, 32, 2},
                          Case{"cone_collapsed_apex.obj", 10, 16, 16, 2},
                          Case{"torus_repeated_seams.obj", 32, 32, 64, 0}}) {
        SCOPED_TRACE(c.file);
        Scene scene;
        const ImportResult r = import_scene(std::string(VELLUMAR_TEST_DATA) + "/" + c.file, scene);
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_EQ(r.mesh_nodes.size(), 1u);
        // A shape whose quads all became triangles is a triangle object.
        Object* obj = r.mesh_nodes[0]->GetObjectRef();
        MNMesh mm;
        if (obj->ClassID() == polyObjectClassID) {
            mm = static_cast<PolyObject*>(obj)->mm;
        } else {
            mm.SetFromTri(static_cast<TriObject*>(obj)->mesh);
        }
        EXPECT_EQ(mm.FNum(), c.polygons);
        EXPECT_EQ(mm.VNum(), c.vertices) << "the pole written as 0 and -0 is one vertex";
        EXPECT_TRUE(mm.MapSupported(1)) << "the UVs follow the corners that stay";
        for (const MNFace& f : mm.f) {
            std::vector<int> corners = f.vtx;
            std::sort(corners.begin(), corners.end());
            EXPECT_EQ(std::adjacent_find(corners.begin(), corners.end()), corners.end());
        }

        const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
        ASSERT_EQ(m.getNumFaces(), c.triangles);
        // Closed and consistently wound: every edge has exactly two
        // triangles, running it in opposite directions.
        std::map<std::pair<DWORD, DWORD>, int> runs; // directed edge -> count
        for (const Face& f : m.faces) {
            for (int k = 0; k < 3; ++k) {
                ++runs[{f.v[k], f.v[(k + 1) % 3]}];
            }
        }
        for (const auto& [edge, count] : runs) {
            EXPECT_EQ(count, 1) << edge.first << "-" << edge.second;
            EXPECT_EQ(runs.count({edge.second, edge.first}), 1u) << "border or flipped face";
        }
        const int edges = static_cast<int>(runs.size()) / 2;
        EXPECT_EQ(m.getNumVerts() - edges + m.getNumFaces(), c.euler);
    }
}

TEST(Importer, APolygonThatTouchesItselfBecomesItsLoopsWithTheirWinding) {
    Scene scene;
    const ImportResult r =
        import_scene(std::string(VELLUMAR_TEST_DATA) + "/polygon_touching_itself.obj", scene);
    ASSERT_TRUE(r.ok) << r.error;
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    EXPECT_EQ(m.getNumVerts(), 5);
    ASSERT_EQ(m.getNumFaces(), 2);
    for (const Face& f : m.faces) {
        const Point3 a = m.verts[f.v[0]], b = m.verts[f.v[1]], c = m.verts[f.v[2]];
        EXPECT_FLOAT_EQ(CrossProd(b - a, c - a).z, 2.0f) << "area 1, counter-clockwise";
    }
}

TEST(Importer, UnreadableFilesFailWithAMessageNamingTheFile) {
    for (const std::string& path :
         {model("invalid/malformed.obj"), model("invalid/empty.obj"), model("invalid/empty.3ds"),
          std::string("/nonexistent/scene.glb")}) {
        Scene scene;
        const ImportResult r = import_scene(path, scene);
        EXPECT_FALSE(r.ok) << path;
        EXPECT_NE(r.error.find(path), std::string::npos) << r.error;
        EXPECT_TRUE(scene.Nodes().empty());
    }
    // Random bytes with a scene extension.
    const std::string junk = ::testing::TempDir() + "/junk.gltf";
    std::ofstream(junk) << "{\"asset\": 12, \"nodes\": [ {\"mesh\": 99} ]";
    Scene scene;
    EXPECT_FALSE(import_scene(junk, scene).ok);
    std::remove(junk.c_str());
}
