#include "standalone/files/importer.h"
#include "standalone/files/scene_file.h"
#include "standalone/render/bake_mesh.h"
#include "support/test_host.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

std::string model(const std::string& relative) {
    return std::string(VELLUMAR_ASSIMP_MODELS) + "/" + relative;
}

double degrees_between(const Point3& a, const Point3& b) {
    const double c =
        std::clamp(static_cast<double>(DotProd(Normalize(a), Normalize(b))), -1.0, 1.0);
    return std::acos(c) * 180.0 / std::numbers::pi;
}

Point3 face_normal(const Mesh& m, const Face& f) {
    const Point3 a = m.verts[f.v[0]], b = m.verts[f.v[1]], c = m.verts[f.v[2]];
    return Normalize(CrossProd(b - a, c - a));
}

// The prism's file gives its caps straight up and down and its sides out
// from the axis. The host weights by triangle area, so a side corner leans
// towards the quad with more of its triangles at that vertex, but it stays
// level and far nearer the axis direction than the 22.5 degrees of a flat
// side.
void expect_prism_shading(const Mesh& m) {
    const std::vector<Point3> normals = CornerNormals(m, m.verts);
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const Point3 own = face_normal(m, m.faces[f]);
        for (std::size_t k = 0; k < 3; ++k) {
            const Point3 n = normals[f * 3 + k];
            if (std::abs(own.z) > 0.5f) {
                EXPECT_LT(degrees_between(n, own), 1e-3) << "cap face " << f << " corner " << k;
                continue;
            }
            const Point3 p = m.verts[m.faces[f].v[k]];
            EXPECT_NEAR(n.z, 0.0f, 1e-5f) << "side face " << f << " corner " << k;
            EXPECT_LT(degrees_between(n, Point3(p.x, p.y, 0)), 10.0)
                << "side face " << f << " corner " << k;
        }
    }
}

} // namespace

TEST(ImportSmoothing, TheDuckIsShadedWithTheNormalsItsFileGives) {
    Scene scene;
    const ImportResult r = import_scene(model("Collada/duck.dae"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    Object* obj = r.mesh_nodes[0]->GetObjectRef();
    ASSERT_EQ(obj->ClassID(), polyObjectClassID);
    const MNMesh& mm = static_cast<PolyObject*>(obj)->mm;
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);

    Assimp::Importer importer;
    const aiScene* file = importer.ReadFile(model("Collada/duck.dae"), 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->mNumMeshes, 1u);
    const aiMesh& mesh = *file->mMeshes[0];
    ASSERT_TRUE(mesh.HasNormals());
    ASSERT_EQ(mesh.mNumFaces, static_cast<unsigned>(mm.FNum())) << "one polygon per file face";

    // The triangles follow their polygons in order; a triangle corner is the
    // polygon corner at the same vertex.
    const std::vector<Point3> normals = CornerNormals(m, m.verts);
    double sum = 0;
    std::size_t t = 0;
    for (int ff = 0; ff < mm.FNum(); ++ff) {
        const MNFace& poly = mm.f[static_cast<std::size_t>(ff)];
        const aiFace& face = mesh.mFaces[ff];
        ASSERT_EQ(face.mNumIndices, poly.vtx.size());
        for (int i = 0; i < poly.TriNum(); ++i, ++t) {
            ASSERT_LT(t, m.faces.size());
            for (std::size_t k = 0; k < 3; ++k) {
                const auto at =
                    std::find(poly.vtx.begin(), poly.vtx.end(), static_cast<int>(m.faces[t].v[k]));
                ASSERT_NE(at, poly.vtx.end());
                const aiVector3D n = mesh.mNormals[face.mIndices[at - poly.vtx.begin()]];
                sum += degrees_between(normals[t * 3 + k], Point3(n.x, n.y, n.z));
            }
        }
    }
    ASSERT_EQ(t, m.faces.size());
    const double mean = sum / (3.0 * static_cast<double>(t));
    // Shaded flat, the duck's corners are over 9 degrees off its normals on
    // average; smooth, what is left is the host weighting faces by area.
    EXPECT_LT(mean, 3.0);
}

TEST(ImportSmoothing, ABoxWhoseNormalsFollowItsFacesKeepsEveryEdgeHard) {
    Scene scene;
    const ImportResult r = import_scene(model("glTF2/BoxTextured-glTF/BoxTextured.gltf"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_EQ(m.getNumFaces(), 12);
    ASSERT_EQ(m.getNumVerts(), 8) << "the corners weld, so the edges are shared";
    const std::vector<Point3> normals = CornerNormals(m, m.verts);
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_LT(degrees_between(normals[f * 3 + k], face_normal(m, m.faces[f])), 1e-3)
                << "face " << f << " corner " << k;
        }
    }
}

TEST(ImportSmoothing, PolygonsCarryTheirGroupsIntoTheTrianglesAndThroughTheSceneFile) {
    StandaloneCore core;
    const ImportResult r = import_scene(
        std::string(VELLUMAR_TEST_DATA) + "/prism_smooth_sides_flat_caps.obj", core.scene());
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    ASSERT_EQ(r.mesh_nodes[0]->GetObjectRef()->ClassID(), polyObjectClassID);
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_EQ(m.getNumFaces(), 8 * 2 + 2 * 6);
    expect_prism_shading(m);

    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    StandaloneCore other;
    ASSERT_TRUE(load_scene_bytes(other, bytes.data(), bytes.size()).ok);
    ASSERT_EQ(other.scene().Nodes().size(), 1u);
    const Mesh loaded = evaluated_mesh(other.scene().Nodes()[0].get());
    ASSERT_EQ(loaded.getNumFaces(), m.getNumFaces());
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        EXPECT_EQ(loaded.faces[f].smGroup, m.faces[f].smGroup);
    }
}

TEST(ImportSmoothing, WithoutNormalsInTheFileEveryFaceStaysFlat) {
    Scene scene;
    const ImportResult r = import_scene(model("OBJ/box.obj"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    const Mesh m = evaluated_mesh(r.mesh_nodes[0]);
    ASSERT_GT(m.getNumFaces(), 0);
    for (const Face& f : m.faces) {
        EXPECT_EQ(f.smGroup, 0u);
    }
}
