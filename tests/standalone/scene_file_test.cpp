#include "standalone/files/exporter.h"
#include "standalone/files/scene_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/shell_material.h"
#include "standalone/materials/standard_material.h"
#include "standalone/scene/non_mesh_objects.h"
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

// A scene of a box with a UV layout in channel 1, a polygon box, a camera
// and a light; the boxes in a named set, the polygon box selected.
class SceneFileTest : public HostTest {
  protected:
    SceneFileTest() {
        TriObject* tri = box_tri_object(true, 2, 1, 1);
        give_split_uvs(tri->mesh, 1);
        box = add_node(L"box \xE4", tri);
        Matrix3 tm;
        tm.SetTrans(Point3(1, 2, 3));
        box->SetObjectTM(tm);
        box->SetUserProp(L"VellumarScale", L"2");
        poly = add_node(L"poly", box_poly_object());
        add_node(L"cam", new CameraObject);
        add_node(L"sun", new LightObject);
        core.scene().AddNamedSelSet(L"boxes", {box, poly});
        select({poly});
    }
    SceneNode* box = nullptr;
    SceneNode* poly = nullptr;
};

// A material with a packed diffuse map in channel 2 and a normal bump whose
// map names a file.
StandardMaterial* textured_material() {
    auto* mtl = new StandardMaterial;
    mtl->SetName(L"m");
    mtl->SetDiffuse(Color(0.25f, 0.5f, 1.0f), 0);
    mtl->SetOpacity(0.5f, 0);
    auto* diffuse = new BitmapTexture;
    diffuse->SetMapName(L"a.png");
    diffuse->SetMapChannel(2);
    diffuse->SetPackedImage(std::make_shared<PackedImage>(PackedImage{1, 2, 3}));
    mtl->SetSubTexmap(ID_DI, diffuse);
    auto* normal = new BitmapTexture;
    normal->SetMapName(L"C:\\maps\\n.png");
    auto* bump = new NormalBump;
    bump->SetSubTexmap(0, normal);
    mtl->SetSubTexmap(ID_BU, bump);
    return mtl;
}

std::string hex_of(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    for (std::uint8_t b : bytes) {
        static const char* digits = "0123456789abcdef";
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

const Mesh& mesh_of(INode* node) {
    return static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
}

// Loads a scene file's bytes; a failure or any warning fails the test.
void load_cleanly(StandaloneCore& core, const std::vector<std::uint8_t>& bytes) {
    const SceneFileResult r = load_scene_bytes(core, bytes.data(), bytes.size());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
}

std::vector<std::uint8_t> from_hex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

} // namespace

TEST_F(SceneFileTest, SavedAndLoadedSceneEvaluatesToTheSameUvsAndKeepsEverythingElse) {
    settings().base_unwrap = UvCopy;
    settings().source_channel = 1;
    settings().channel = 4;
    select({box});
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("kept"));
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    ASSERT_FALSE(bytes.empty());

    StandaloneCore other;
    other.RegisterClass(GetVellumarModifierDesc());
    ASSERT_NO_FATAL_FAILURE(load_cleanly(other, bytes));
    ASSERT_EQ(other.scene().Nodes().size(), 4u);
    SceneNode* loaded = other.scene().NodeByName(L"box \xE4");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetHandle(), box->GetHandle());
    EXPECT_EQ(loaded->GetObjectTM(0).GetTrans(), Point3(1, 2, 3));
    float scale = 0;
    EXPECT_TRUE(loaded->GetUserPropFloat(L"VellumarScale", scale));
    EXPECT_EQ(scale, 2.0f);

    const Mesh& a = mesh_of(box);
    const Mesh& b = mesh_of(loaded);
    ASSERT_TRUE(b.mapSupport(4));
    ASSERT_EQ(a.Map(4).tv.size(), b.Map(4).tv.size());
    for (std::size_t i = 0; i < a.Map(4).tv.size(); ++i) {
        EXPECT_EQ(a.Map(4).tv[i], b.Map(4).tv[i]);
    }
    for (int f = 0; f < a.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(a.mapFaces(4)[f].t[k], b.mapFaces(4)[f].t[k]);
            EXPECT_EQ(a.faces[static_cast<std::size_t>(f)].getEdgeVis(k),
                      b.faces[static_cast<std::size_t>(f)].getEdgeVis(k));
        }
    }
    EXPECT_EQ(other.GetSelNodeCount(), 1);
    EXPECT_EQ(other.GetSelNode(0), loaded);
    ASSERT_EQ(other.scene().GetNumNamedSelSets(), 1);
    EXPECT_EQ(other.scene().GetNamedSelSetItemCount(0), 2);
    EXPECT_EQ(other.scene().NodeByName(L"poly")->GetObjectRef()->ClassID(), polyObjectClassID);
    EXPECT_EQ(other.scene().NodeByName(L"cam")->GetObjectRef()->SuperClassID(), CAMERA_CLASS_ID);
    EXPECT_EQ(scene_bytes(other), bytes) << "saving the loaded scene gives the same file";
}

TEST(SceneFile, OneTriangleNodeIsWrittenByteForByte) {
    StandaloneCore core;
    auto* tri = new TriObject;
    tri->mesh.verts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri->mesh.setNumFaces(1);
    tri->mesh.faces[0].setVerts(0, 1, 2);
    SceneNode* node = core.scene().CreateNode(L"t", tri);
    Matrix3 tm;
    tm.SetTrans(Point3(5, 6, 7));
    node->SetObjectTM(tm);
    node->SetUserProp(L"k", L"v");
    core.SetSelection({node});
    EXPECT_EQ(hex_of(scene_bytes(core)),
              "0056ee000080015612000000564c4d5343454e45010000001056c80000801156"
              "44000000010000000100000000000000740000803f0000000000000000000000"
              "000000803f0000000000000000000000000000803f0000a0400000c0400000e0"
              "400012561c0000000100000001000000000000006b0100000000000000762056"
              "6200008021561200000010000000090000000000000022564a00000003000000"
              "0000000000000000000000000000803f0000000000000000000000000000803f"
              "0000000001000000000000000100000002000000000000000700000000000000"
              "40560e0000000100000001000000");
}

TEST_F(SceneFileTest, DamagedFilesLoadWhatCameBeforeTheDamageAndNeverMore) {
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    std::size_t last_nodes = 0;
    for (std::size_t cut = 0; cut <= bytes.size(); cut += 7) {
        StandaloneCore other;
        const SceneFileResult r = load_scene_bytes(other, bytes.data(), cut);
        if (r.ok) {
            EXPECT_LE(other.scene().Nodes().size(), 4u);
            EXPECT_GE(other.scene().Nodes().size(), last_nodes) << "a longer prefix loads no less";
            last_nodes = other.scene().Nodes().size();
        }
    }
    EXPECT_EQ(last_nodes, 4u);
    // Bytes flipped anywhere: the loader may lose data but never crashes.
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::vector<std::uint8_t> bad = bytes;
        bad[i] ^= 0xA5;
        StandaloneCore other;
        load_scene_bytes(other, bad.data(), bad.size());
    }
    StandaloneCore other;
    const std::uint8_t junk[] = {'n', 'o', 't', ' ', 'a', ' ', 's', 'c', 'e', 'n', 'e'};
    const SceneFileResult r = load_scene_bytes(other, junk, sizeof junk);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "not a Vellumar scene file");
}

TEST_F(SceneFileTest, ExportedGlbCarriesEveryChannelAsTheTexcoordSetBelowIt) {
    Mesh& m = static_cast<TriObject*>(box->GetObjectRef())->mesh;
    give_split_uvs(m, 3); // channels 1 and 3; set 1 (channel 2) is zeros
    for (UVVert& t : m.Map(3).tv) {
        t = UVVert(t.x * 0.25f, 0.5f + t.y * 0.125f, 0);
    }
    const std::string path = ::testing::TempDir() + "/export_test.glb";
    const ExportResult r = export_glb({box, poly, core.scene().NodeByName(L"cam")}, 0, path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.meshes, 2);

    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(path, 0);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    const aiMesh* mesh = nullptr;
    for (unsigned i = 0; i < s->mNumMeshes; ++i) {
        if (s->mMeshes[i]->mNumFaces == 12 && s->mMeshes[i]->HasTextureCoords(2)) {
            mesh = s->mMeshes[i];
        }
    }
    ASSERT_NE(mesh, nullptr);
    // Every corner's TEXCOORD_0 and TEXCOORD_2 are its channel 1 and 3 UVs
    // (glTF flips v, and the importer flips it back).
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiVector3D p0 = mesh->mVertices[mesh->mFaces[f].mIndices[0]];
        const aiVector3D t0 = mesh->mTextureCoords[0][mesh->mFaces[f].mIndices[0]];
        const aiVector3D t2 = mesh->mTextureCoords[2][mesh->mFaces[f].mIndices[0]];
        EXPECT_FLOAT_EQ(t0.x, p0.x);
        EXPECT_FLOAT_EQ(t0.y, p0.y);
        EXPECT_FLOAT_EQ(t2.x, p0.x * 0.25f);
        EXPECT_FLOAT_EQ(t2.y, 0.5f + p0.y * 0.125f);
    }
    std::remove(path.c_str());
}

// A quad naming vertex 1,000,000 of an eight-vertex box once reached the
// glTF export as a mesh whose arrays Assimp freed twice.
TEST(SceneFile, FacesNamingMissingVerticesAndChannelsNamingMissingUvsAreDroppedWithAWarning) {
    StandaloneCore core;
    PolyObject* poly = box_poly_object();
    poly->mm.f[2].vtx[1] = 1000000;
    core.scene().CreateNode(L"poly", poly);
    TriObject* tri = box_tri_object(true);
    give_split_uvs(tri->mesh, 1);
    give_split_uvs(tri->mesh, 2);
    tri->mesh.faces[0].v[2] = 4000000000u;
    tri->mesh.Map(2).tf[5].t[1] = 777;
    core.scene().CreateNode(L"tri", tri);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);

    StandaloneCore other;
    const SceneFileResult r = load_scene_bytes(other, bytes.data(), bytes.size());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.warnings,
              (std::vector<std::string>{
                  "object 'poly': 1 face names vertices the object does not have; dropped",
                  "object 'tri': 1 face names vertices the object does not have; dropped",
                  "object 'tri': map channel 2 names map vertices it does not have; dropped"}));
    SceneNode* loaded_poly = other.scene().NodeByName(L"poly");
    SceneNode* loaded_tri = other.scene().NodeByName(L"tri");
    EXPECT_EQ(static_cast<PolyObject*>(loaded_poly->GetObjectRef())->mm.FNum(), 5);
    const Mesh& m = static_cast<TriObject*>(loaded_tri->GetObjectRef())->mesh;
    EXPECT_EQ(m.getNumFaces(), 11);
    EXPECT_TRUE(m.mapSupport(1));
    EXPECT_FALSE(m.mapSupport(2));
    EXPECT_EQ(m.mapFaces(1)[0].t[0], 3u) << "map faces move with their faces";

    const ExportResult glb = export_glb({loaded_poly, loaded_tri}, 0);
    ASSERT_TRUE(glb.ok) << glb.error;
    EXPECT_EQ(glb.meshes, 2);
}

TEST(SceneFile, AFolderNamedLikeASceneIsAnErrorNotAnException) {
    const std::string path = ::testing::TempDir() + "/folder.vlscene";
    std::filesystem::create_directories(path);
    StandaloneCore core;
    const SceneFileResult r = load_scene_file(core, path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Cannot read scene '" + path + "': it is a folder");
    const SceneFileResult missing = load_scene_file(core, path + "/nothing.vlscene");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("No such file"), std::string::npos) << missing.error;
    std::filesystem::remove(path);
}

TEST_F(SceneFileTest, MaterialsSharedByNodesStaySharedWithEveryMapAndValue) {
    StandardMaterial* mtl = textured_material();
    box->SetMtl(mtl);
    poly->SetMtl(mtl);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);

    StandaloneCore other;
    ASSERT_NO_FATAL_FAILURE(load_cleanly(other, bytes));
    Mtl* loaded = other.scene().NodeByName(L"box \xE4")->GetMtl();
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(other.scene().NodeByName(L"poly")->GetMtl(), loaded);
    EXPECT_EQ(other.scene().NodeByName(L"cam")->GetMtl(), nullptr);
    EXPECT_EQ(loaded->GetName(), L"m");
    EXPECT_EQ(loaded->GetDiffuse(), Color(0.25f, 0.5f, 1.0f));
    EXPECT_EQ(static_cast<StdMat*>(loaded)->GetOpacity(0), 0.5f);
    auto* diffuse = dynamic_cast<BitmapTexture*>(loaded->GetSubTexmap(ID_DI));
    ASSERT_NE(diffuse, nullptr);
    EXPECT_EQ(diffuse->GetMapChannel(), 2);
    ASSERT_NE(diffuse->PackedImageBytes(), nullptr);
    EXPECT_EQ(*diffuse->PackedImageBytes(), (PackedImage{1, 2, 3}));
    Texmap* bump = loaded->GetSubTexmap(ID_BU);
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump->ClassID(), normalBumpClassID);
    auto* normal = dynamic_cast<BitmapTexture*>(bump->GetSubTexmap(0));
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(std::wstring(normal->GetMapName()), L"C:\\maps\\n.png");
    EXPECT_EQ(scene_bytes(other), bytes) << "saving the loaded scene gives the same file";
}

// A render server pads by the dilation count a snapshot holds; a count no
// bake could have set is damage, not an order.
TEST_F(SceneFileTest, AnAbsurdDilationCountIsDamage) {
    box->BakeProperties().SetBakeEnabled(1);
    box->BakeProperties().SetNDilations(2147483647);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    StandaloneCore other;
    const SceneFileResult r = load_scene_bytes(other, bytes.data(), bytes.size());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.warnings,
              (std::vector<std::string>{"object 'box \xC3\xA4': its bake settings are damaged"}));
    EXPECT_EQ(other.scene().NodeByName(L"box \xE4")->BakeProperties().GetNDilations(), 2);
}

// A file may nest shells far deeper than the call stack reaches; saving,
// loading and saving again goes through, and quickly.
TEST_F(SceneFileTest, AChainOfNestedShellsSavesAndLoads) {
    constexpr int kDepth = 300000;
    Mtl* inner = textured_material();
    for (int i = 0; i < kDepth; ++i) {
        auto* shell = new ShellMaterial;
        shell->SetSubMtl(0, inner);
        inner = shell;
    }
    box->SetMtl(inner);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    ASSERT_FALSE(bytes.empty());
    StandaloneCore other;
    ASSERT_NO_FATAL_FAILURE(load_cleanly(other, bytes));
    Mtl* loaded = other.scene().NodeByName(L"box \xE4")->GetMtl();
    int depth = 0;
    while (dynamic_cast<ShellMaterial*>(loaded) != nullptr) {
        loaded = loaded->GetSubMtl(0);
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetName(), L"m");
    EXPECT_EQ(scene_bytes(other), bytes);
}

TEST_F(SceneFileTest, ShellsKeepTheirIndicesAndSubMaterialsAndAShellInsideAShellLoads) {
    StandardMaterial* original = textured_material();
    auto* baked = new StandardMaterial;
    baked->SetName(L"VL_m");
    baked->SetSelfIllum(1.0f, 0);
    baked->SetMtlFlag(MTL_TEX_DISPLAY_ENABLED);
    auto* inner = new ShellMaterial;
    inner->SetName(L"VL_m");
    inner->SetSubMtl(0, original);
    inner->SetSubMtl(1, baked);
    inner->GetParamBlock(0)->SetValue(kShellViewportParam, 0, 1);
    inner->GetParamBlock(0)->SetValue(kShellRenderParam, 0, 0);
    auto* outer = new ShellMaterial;
    outer->SetName(L"outer");
    outer->SetSubMtl(0, inner);
    box->SetMtl(outer);
    poly->SetMtl(baked);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);

    StandaloneCore other;
    ASSERT_NO_FATAL_FAILURE(load_cleanly(other, bytes));
    auto* loaded = dynamic_cast<ShellMaterial*>(other.scene().NodeByName(L"box \xE4")->GetMtl());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetName(), L"outer");
    EXPECT_EQ(loaded->GetSubMtl(1), nullptr);
    EXPECT_EQ(loaded->ViewportIndex(), 0);
    EXPECT_EQ(loaded->RenderIndex(), 1);
    auto* shell = dynamic_cast<ShellMaterial*>(loaded->GetSubMtl(0));
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->ViewportIndex(), 1);
    EXPECT_EQ(shell->RenderIndex(), 0);
    Mtl* kept = shell->GetSubMtl(0);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetName(), L"m");
    EXPECT_EQ(kept->GetSubTexmap(ID_BU)->ClassID(), normalBumpClassID);
    Mtl* loaded_baked = shell->GetSubMtl(1);
    EXPECT_EQ(other.scene().NodeByName(L"poly")->GetMtl(), loaded_baked) << "still shared";
    EXPECT_EQ(static_cast<StdMat*>(loaded_baked)->GetSelfIllum(0), 1.0f);
    EXPECT_TRUE(loaded_baked->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_FALSE(kept->TestMtlFlag(MTL_TEX_DISPLAY_ENABLED));
    EXPECT_EQ(scene_bytes(other), bytes) << "saving the loaded scene gives the same file";
}

// The textured material's scene as it was written before standard
// materials kept their self-illumination amount.
const char* const kOldMaterialsFile =
    "0056dc010080015612000000564c4d5343454e45010000005056520000805156"
    "0a00000000000000215612000000100c0000400200000000000054560e000000"
    "00000000000000005256220000000500000000000000612e706e670200000003"
    "0000000000000001020350565700008051560a00000001000000215612000000"
    "100c0000400200000000000054560e0000000000000000000000525627000000"
    "0d00000000000000433a5c6d6170735c6e2e706e670100000000000000000000"
    "0050564400008051560a00000002000000215612000000100c0000c6223e2414"
    "a0f66354560e000000000000000000000052560600000053560e000000000000"
    "000100000058566f00008051560a00000000000000215612000000000c000002"
    "0000000000000054560f00000001000000000000006d5956220000000000803e"
    "0000003f0000803f0000003f00000000000000000000000053560e0000000100"
    "00000000000053560e000000080000000200000010565e000080115644000000"
    "010000000100000000000000740000803f000000000000000000000000000080"
    "3f0000000000000000000000000000803f000000000000000000000000001256"
    "0a0000000000000013560a0000000000000040560a00000000000000";

TEST(SceneFile, MaterialsAndMapsAreWrittenByteForByte) {
    StandaloneCore core;
    core.scene().CreateNode(L"t", nullptr)->SetMtl(textured_material());
    EXPECT_EQ(hex_of(scene_bytes(core)),
              "0056e0010080015612000000564c4d5343454e45010000005056520000805156"
              "0a00000000000000215612000000100c0000400200000000000054560e000000"
              "00000000000000005256220000000500000000000000612e706e670200000003"
              "0000000000000001020350565700008051560a00000001000000215612000000"
              "100c0000400200000000000054560e0000000000000000000000525627000000"
              "0d00000000000000433a5c6d6170735c6e2e706e670100000000000000000000"
              "0050564400008051560a00000002000000215612000000100c0000c6223e2414"
              "a0f66354560e000000000000000000000052560600000053560e000000000000"
              "000100000058567300008051560a00000000000000215612000000000c000002"
              "0000000000000054560f00000001000000000000006d5956260000000000803e"
              "0000003f0000803f0000003f0000000000000000000000000000000053560e00"
              "0000010000000000000053560e000000080000000200000010565e0000801156"
              "44000000010000000100000000000000740000803f0000000000000000000000"
              "000000803f0000000000000000000000000000803f0000000000000000000000"
              "000012560a0000000000000013560a0000000000000040560a00000000000000");
}

TEST(SceneFile, AFileFromBeforeSelfIlluminationAmountsStillLoads) {
    const std::vector<std::uint8_t> bytes = from_hex(kOldMaterialsFile);
    StandaloneCore core;
    ASSERT_NO_FATAL_FAILURE(load_cleanly(core, bytes));
    auto* mtl = dynamic_cast<StdMat*>(core.scene().NodeByName(L"t")->GetMtl());
    ASSERT_NE(mtl, nullptr);
    EXPECT_EQ(mtl->GetDiffuse(), Color(0.25f, 0.5f, 1.0f));
    EXPECT_EQ(mtl->GetOpacity(0), 0.5f);
    EXPECT_EQ(mtl->GetSelfIllum(0), 0.0f);
    EXPECT_NE(mtl->GetSubTexmap(ID_BU), nullptr);
}

TEST_F(SceneFileTest, DamagedMaterialChunksAreSkippedWithAWarning) {
    box->SetMtl(textured_material());
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    // Cut anywhere or flipped anywhere, the file loads what it can.
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        StandaloneCore other;
        load_scene_bytes(other, bytes.data(), cut);
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::vector<std::uint8_t> bad = bytes;
        bad[i] ^= 0x5A;
        StandaloneCore other;
        load_scene_bytes(other, bad.data(), bad.size());
    }
    // A material of a class this host does not know: the node loads bare.
    std::vector<std::uint8_t> unknown = bytes;
    const std::uint8_t standard[] = {0x21, 0x56, 18, 0, 0, 0, 0x00, 0x0C, 0, 0, 2, 0, 0, 0};
    const auto at =
        std::search(unknown.begin(), unknown.end(), std::begin(standard), std::end(standard));
    ASSERT_NE(at, unknown.end());
    at[10] = 0x7F;
    StandaloneCore other;
    const SceneFileResult r = load_scene_bytes(other, unknown.data(), unknown.size());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.warnings,
              (std::vector<std::string>{"a material of an unknown class was skipped",
                                        "object 'box \xC3\xA4': its material is missing "
                                        "or damaged"}));
    EXPECT_EQ(other.scene().NodeByName(L"box \xE4")->GetMtl(), nullptr);
    EXPECT_NE(other.scene().NodeByName(L"box \xE4")->GetObjectRef(), nullptr);
}

// The multi-material scene below as files wrote it before multi/sub-object
// materials kept their number of slots.
const char* const kOldMultiFile = "005689010080015612000000564c4d5343454e45010000005856570000805156"
                                  "0a00000000000000215612000000000c0000020000000000000054560f000000"
                                  "0100000000000000725956260000000000003f0000003f0000003f0000803f00"
                                  "00000000000000000000000000000058565400008051560a0000000100000021"
                                  "5612000000000c0000000200000000000054561000000002000000000000006d"
                                  "6d5956060000005a560e00000000000000000000005a560e0000000200000000"
                                  "00000010565e000080115644000000010000000100000000000000610000803f"
                                  "0000000000000000000000000000803f0000000000000000000000000000803f"
                                  "0000000000000000000000000012560a0000000000000013560a000000010000"
                                  "0010565e000080115644000000020000000100000000000000620000803f0000"
                                  "000000000000000000000000803f0000000000000000000000000000803f0000"
                                  "000000000000000000000012560a0000000000000013560a0000000000000040"
                                  "560a00000000000000";

TEST(SceneFile, MultiMaterialsKeepEmptyAndSharedSlotsByteForByteAndOlderFilesStillLoad) {
    StandaloneCore core;
    auto* red = new StandardMaterial;
    red->SetName(L"r");
    auto* multi = new MultiMaterial;
    multi->SetName(L"mm");
    multi->SetSubMtl(0, red);
    multi->SetSubMtl(2, red);
    core.scene().CreateNode(L"a", nullptr)->SetMtl(multi);
    core.scene().CreateNode(L"b", nullptr)->SetMtl(red);
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    EXPECT_EQ(hex_of(bytes), "00568d010080015612000000564c4d5343454e45010000005856570000805156"
                             "0a00000000000000215612000000000c0000020000000000000054560f000000"
                             "0100000000000000725956260000000000003f0000003f0000003f0000803f00"
                             "00000000000000000000000000000058565800008051560a0000000100000021"
                             "5612000000000c0000000200000000000054561000000002000000000000006d"
                             "6d59560a000000030000005a560e00000000000000000000005a560e00000002"
                             "0000000000000010565e00008011564400000001000000010000000000000061"
                             "0000803f0000000000000000000000000000803f000000000000000000000000"
                             "0000803f0000000000000000000000000012560a0000000000000013560a0000"
                             "000100000010565e000080115644000000020000000100000000000000620000"
                             "803f0000000000000000000000000000803f0000000000000000000000000000"
                             "803f0000000000000000000000000012560a0000000000000013560a00000000"
                             "00000040560a00000000000000");

    const std::vector<std::uint8_t> old = from_hex(kOldMultiFile);
    for (const std::vector<std::uint8_t>* file : {&bytes, &old}) {
        StandaloneCore other;
        ASSERT_NO_FATAL_FAILURE(load_cleanly(other, *file));
        Mtl* loaded = other.scene().NodeByName(L"a")->GetMtl();
        ASSERT_EQ(loaded->ClassID(), multiMtlClassID);
        ASSERT_EQ(loaded->NumSubMtls(), 3);
        EXPECT_EQ(loaded->GetSubMtl(1), nullptr);
        EXPECT_EQ(loaded->GetSubMtl(0), loaded->GetSubMtl(2));
        EXPECT_EQ(loaded->GetSubMtl(0), other.scene().NodeByName(L"b")->GetMtl());
        EXPECT_EQ(scene_bytes(other), bytes) << "saving the loaded scene gives the new file";
    }
}
