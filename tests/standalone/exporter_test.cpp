#include "standalone/files/exporter.h"
#include "standalone/files/glb_file.h"
#include "standalone/files/importer.h"
#include "standalone/render/bake_mesh.h"
#include "standalone/render/tangent_frames.h"
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cmath>
#include <cstring>

namespace {

double uv_area(const aiVector3D& a, const aiVector3D& b, const aiVector3D& c) {
    return 0.5 * std::fabs((double(b.x) - a.x) * (double(c.y) - a.y) -
                           (double(b.y) - a.y) * (double(c.x) - a.x));
}

double uv_area(const UVVert& a, const UVVert& b, const UVVert& c) {
    return uv_area(aiVector3D(a.x, a.y, 0), aiVector3D(b.x, b.y, 0), aiVector3D(c.x, c.y, 0));
}

// The file as an independent reader sees it.
const aiScene* read_back(Assimp::Importer& importer, const std::vector<std::uint8_t>& bytes) {
    return importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "glb");
}

// Every vertex of the file in world space, as a viewer places it.
std::vector<aiVector3D> world_vertices(const aiScene& scene) {
    std::vector<aiVector3D> out;
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> open{{scene.mRootNode, aiMatrix4x4()}};
    while (!open.empty()) {
        const auto [node, parent] = open.back();
        open.pop_back();
        const aiMatrix4x4 world = parent * node->mTransformation;
        for (unsigned m = 0; m < node->mNumMeshes; ++m) {
            const aiMesh* mesh = scene.mMeshes[node->mMeshes[m]];
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
                out.push_back(world * mesh->mVertices[v]);
            }
        }
        for (unsigned c = 0; c < node->mNumChildren; ++c) {
            open.emplace_back(node->mChildren[c], world);
        }
    }
    return out;
}

} // namespace

class ExportTest : public HostTest {};

// The host is Z-up and glTF Y-up: a glTF file comes back from a round trip
// where it was, and a Z-up OBJ said to be one (the sample's floor at z = 0)
// stands on the floor of every glTF viewer, while the host sees it upright.
TEST_F(ExportTest, GltfRoundTripsKeepTheirOrientationAndZUpScenesStandUpright) {
    const std::string gltf = std::string(VELLUMAR_TEST_DATA) + "/nested_nodes_two_uv_sets.gltf";
    Assimp::Importer original;
    const aiScene* before = original.ReadFile(gltf, 0);
    ASSERT_NE(before, nullptr);
    Scene scene;
    ImportResult r = import_scene(gltf, scene);
    ASSERT_TRUE(r.ok) << r.error;
    std::vector<INode*> nodes(r.mesh_nodes.begin(), r.mesh_nodes.end());
    const ExportResult glb = export_glb(nodes, 0, 1);
    ASSERT_TRUE(glb.ok) << glb.error;
    Assimp::Importer reader;
    const aiScene* after = read_back(reader, glb.bytes);
    ASSERT_NE(after, nullptr);
    const std::vector<aiVector3D> a = world_vertices(*before), b = world_vertices(*after);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR((a[i] - b[i]).Length(), 0.0f, 1e-5f) << i;
    }

    const std::string crates = std::string(VELLUMAR_SAMPLES) + "/crates.obj";
    for (const UpAxis up : {UpAxis::Z, UpAxis::FromFile}) {
        Scene host;
        r = import_scene(crates, host, up);
        ASSERT_TRUE(r.ok) << r.error;
        float low = 1e9f, high = -1e9f;
        for (SceneNode* node : r.mesh_nodes) {
            const Mesh m = evaluated_mesh(node);
            for (const Point3& p : m.verts) {
                const Point3 w = node->GetObjectTM(0).PointTransform(p);
                low = std::min(low, w.z);
                high = std::max(high, w.z);
            }
        }
        if (up == UpAxis::Z) {
            EXPECT_EQ(low, 0.0f) << "the floor lies at z = 0";
            EXPECT_EQ(high, 1.0f) << "the large crate stands on it";
            nodes.assign(r.mesh_nodes.begin(), r.mesh_nodes.end());
            const ExportResult out = export_glb(nodes, 0, 1);
            Assimp::Importer viewer;
            const aiScene* seen = read_back(viewer, out.bytes);
            ASSERT_NE(seen, nullptr);
            float lowest = 1e9f;
            for (const aiVector3D& v : world_vertices(*seen)) {
                lowest = std::min(lowest, v.y);
            }
            EXPECT_NEAR(lowest, 0.0f, 1e-6f) << "a viewer's floor is y = 0";
        } else {
            // Taken as Y-up, the floor's depth (y from -2 to 2) is the host's
            // height.
            EXPECT_EQ(low, -2.0f);
            EXPECT_EQ(high, 2.0f);
        }
    }
}

// The case that showed the fault: an organic atlas in channel 2 has seams
// where channel 1 has none, so corners that share channel 1 UVs must still
// become different glTF vertices.
TEST_F(ExportTest, OrganicAtlasInChannel2ReadsBackCornerForCornerWithItsCoverage) {
    const ImportResult imported =
        import_scene(std::string(VELLUMAR_ASSIMP_MODELS) + "/Collada/duck.dae", core.scene());
    ASSERT_TRUE(imported.ok) << imported.error;
    ASSERT_EQ(imported.mesh_nodes.size(), 1u);
    SceneNode* duck = imported.mesh_nodes[0];
    select({duck});
    settings().base_unwrap = Organic;
    settings().channel = 2;
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("duck")) << settings().last_message;

    const Mesh m = evaluated_mesh(duck);
    ASSERT_TRUE(m.mapSupport(1));
    ASSERT_TRUE(m.mapSupport(2));
    const ExportResult r = export_glb({duck}, 0, 2);
    ASSERT_TRUE(r.ok) << r.error;
    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    // The frames normal maps of the atlas are baked in, corner for corner.
    const std::vector<Point3> normals = CornerNormals(m, m.verts);
    BakeMesh corners;
    for (int f = 0; f < m.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            corners.position.push_back(m.verts[m.faces[std::size_t(f)].v[k]]);
            corners.normal.push_back(normals[std::size_t(f) * 3 + std::size_t(k)]);
            const UVVert& uv = m.mapVerts(2)[m.mapFaces(2)[f].t[k]];
            corners.uv.emplace_back(uv.x, uv.y);
        }
    }
    const TangentFrames frames = ComputeTangentFrames(corners);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 1u);
    const aiMesh* out = s->mMeshes[0];
    ASSERT_EQ(out->mNumFaces, static_cast<unsigned>(m.getNumFaces())) << "faces keep their order";
    ASSERT_TRUE(out->HasTextureCoords(0));
    ASSERT_TRUE(out->HasTextureCoords(1));
    EXPECT_FALSE(out->HasTextureCoords(2));

    double area[2] = {0, 0}, channel_area[2] = {0, 0};
    for (int f = 0; f < m.getNumFaces(); ++f) {
        const aiFace& face = out->mFaces[f];
        ASSERT_EQ(face.mNumIndices, 3u);
        for (int k = 0; k < 3; ++k) {
            const aiVector3D& p = out->mVertices[face.mIndices[k]];
            const Point3& q = m.verts[m.faces[static_cast<std::size_t>(f)].v[k]];
            ASSERT_EQ(p, aiVector3D(q.x, q.y, q.z)) << "face " << f << " corner " << k;
            const std::size_t c = std::size_t(f) * 3 + std::size_t(k);
            const aiVector3D& n = out->mNormals[face.mIndices[k]];
            const aiVector3D& t = out->mTangents[face.mIndices[k]];
            ASSERT_EQ(n, aiVector3D(normals[c].x, normals[c].y, normals[c].z));
            ASSERT_EQ(t, aiVector3D(frames.tangent[c].x, frames.tangent[c].y, frames.tangent[c].z));
            // The reader builds the bitangent from the handedness.
            const aiVector3D b = (n ^ t) * frames.sign[c];
            ASSERT_NEAR((out->mBitangents[face.mIndices[k]] - b).Length(), 0.0f, 1e-5f);
        }
        for (unsigned set = 0; set < 2; ++set) {
            const int ch = static_cast<int>(set) + 1;
            const TVFace& tf = m.mapFaces(ch)[f];
            for (int k = 0; k < 3; ++k) {
                const aiVector3D& t = out->mTextureCoords[set][face.mIndices[k]];
                const UVVert& want = m.mapVerts(ch)[tf.t[k]];
                // The file's v runs down; the reader turns it back, which can
                // round the last bit.
                ASSERT_EQ(t.x, want.x) << "set " << set << " face " << f << " corner " << k;
                ASSERT_NEAR(t.y, want.y, 1e-6f) << "set " << set << " face " << f;
            }
            area[set] += uv_area(out->mTextureCoords[set][face.mIndices[0]],
                                 out->mTextureCoords[set][face.mIndices[1]],
                                 out->mTextureCoords[set][face.mIndices[2]]);
            channel_area[set] +=
                uv_area(m.mapVerts(ch)[tf.t[0]], m.mapVerts(ch)[tf.t[1]], m.mapVerts(ch)[tf.t[2]]);
        }
    }
    EXPECT_NEAR(area[1], unwrapper.coverage(), 1e-4);
    EXPECT_NEAR(area[0], channel_area[0], 1e-4);
    EXPECT_GT(unwrapper.coverage(), 0.3);
}

TEST_F(ExportTest, ChannelsAboveEightAreNamedAndNoEmptySetsArePaddedBelowThem) {
    TriObject* tri = box_tri_object(true);
    give_split_uvs(tri->mesh, 1);
    give_split_uvs(tri->mesh, 99);
    SceneNode* box = add_node(L"box", tri);
    const ExportResult r = export_glb({box}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lost_channels, std::vector<int>{99});
    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 1u);
    EXPECT_TRUE(s->mMeshes[0]->HasTextureCoords(0));
    EXPECT_FALSE(s->mMeshes[0]->HasTextureCoords(1)) << "nothing is written above channel 1";
}

// A scene whose faces name vertices it does not have (a damaged file) once
// reached the exporter as a mesh with arrays but no faces.
TEST_F(ExportTest, FacesNamingMissingVerticesAreLeftOutAndAMeshOfOnlySuchFacesIsSkipped) {
    auto* broken = new TriObject;
    broken->mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    broken->mesh.setNumFaces(1);
    broken->mesh.faces[0].setVerts(0, 1, 2);
    give_split_uvs(broken->mesh, 1);
    broken->mesh.faces[0].v[2] = 1000000;
    TriObject* partly = box_tri_object(true);
    give_split_uvs(partly->mesh, 1);
    partly->mesh.faces[3].setVerts(0, 999999, 2);
    SceneNode* a = add_node(L"broken", broken);
    SceneNode* b = add_node(L"partly", partly);

    const ExportResult r = export_glb({a, b}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.meshes, 1);
    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 1u);
    EXPECT_EQ(s->mMeshes[0]->mNumFaces, 11u);

    const ExportResult obj = export_obj({a, b}, 0, 1);
    ASSERT_TRUE(obj.ok);
    const std::string text(obj.bytes.begin(), obj.bytes.end());
    EXPECT_EQ(text.find("1000001"), std::string::npos);
    EXPECT_EQ(text.find("1000000"), std::string::npos);
}

TEST(GlbFile, OneTriangleWithTwoSetsIsWrittenByteForByte) {
    GlbMesh mesh;
    mesh.name = "t\"1";
    mesh.matrix[12] = 5;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 2, 0};
    mesh.texcoords = {{0, 1, 1, 1, 0, 0}, {0.5f, 0.5f, 0.25f, 0.5f, 0.5f, 0.25f}};
    mesh.primitives = {{{0, 1, 2}, -1}};
    const std::vector<std::uint8_t> bytes = glb_bytes({mesh});

    std::string json =
        R"({"asset":{"generator":"Vellumar","version":"2.0"},"scene":0,)"
        R"("scenes":[{"nodes":[0]}],"nodes":[{"name":"t\"1","mesh":0,)"
        R"("matrix":[1,0,0,0,0,1,0,0,0,0,1,0,5,0,0,1]}],)"
        R"("meshes":[{"name":"t\"1","primitives":[{"attributes":{"POSITION":0,)"
        R"("TEXCOORD_0":1,"TEXCOORD_1":2},"indices":3,"mode":4}]}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
        R"("min":[0,0,0],"max":[1,2,0]},)"
        R"({"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"},)"
        R"({"bufferView":2,"componentType":5126,"count":3,"type":"VEC2"},)"
        R"({"bufferView":3,"componentType":5125,"count":3,"type":"SCALAR"}],)"
        R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36,"target":34962},)"
        R"({"buffer":0,"byteOffset":36,"byteLength":24,"target":34962},)"
        R"({"buffer":0,"byteOffset":60,"byteLength":24,"target":34962},)"
        R"({"buffer":0,"byteOffset":84,"byteLength":12,"target":34963}],)"
        R"("buffers":[{"byteLength":96}]})";
    while (json.size() % 4 != 0) {
        json += ' ';
    }
    auto u32 = [](std::vector<std::uint8_t>& out, std::uint32_t x) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
        }
    };
    std::vector<std::uint8_t> want;
    u32(want, 0x46546C67);
    u32(want, 2);
    u32(want, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + 96));
    u32(want, static_cast<std::uint32_t>(json.size()));
    u32(want, 0x4E4F534A);
    want.insert(want.end(), json.begin(), json.end());
    u32(want, 96);
    u32(want, 0x004E4942);
    const float floats[] = {0, 0, 0, 1, 0,    0,    0,     2,    0,    0,    1,
                            1, 1, 0, 0, 0.5f, 0.5f, 0.25f, 0.5f, 0.5f, 0.25f};
    for (float f : floats) {
        std::uint32_t b = 0;
        std::memcpy(&b, &f, 4);
        u32(want, b);
    }
    for (std::uint32_t i : {0u, 1u, 2u}) {
        u32(want, i);
    }
    EXPECT_EQ(bytes, want);
}

TEST(GlbFile, AnEmptySceneHasNoEmptyArraysAndNoBinaryChunk) {
    const std::vector<std::uint8_t> bytes = glb_bytes({});
    ASSERT_GE(bytes.size(), 20u);
    std::string json(bytes.begin() + 20, bytes.end());
    EXPECT_EQ(json.size() % 4, 0u);
    json.erase(json.find_last_not_of(' ') + 1);
    EXPECT_EQ(json,
              R"({"asset":{"generator":"Vellumar","version":"2.0"},"scene":0,"scenes":[{}]})");
}
