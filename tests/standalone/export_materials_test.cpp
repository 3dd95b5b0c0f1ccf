#include "standalone/files/exporter.h"
#include "standalone/files/glb_file.h"
#include "standalone/files/image_files.h"
#include "standalone/files/importer.h"
#include "standalone/files/png_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/shell_material.h"
#include "standalone/materials/standard_material.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

std::string model(const std::string& relative) {
    return std::string(VELLUMAR_ASSIMP_MODELS) + "/" + relative;
}

const aiScene* read_back(Assimp::Importer& importer, const std::vector<std::uint8_t>& bytes) {
    return importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "glb");
}

// The JSON chunk without its padding.
std::string json_of(const std::vector<std::uint8_t>& glb) {
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        length |= std::uint32_t(glb.at(12 + std::size_t(i))) << (8 * i);
    }
    std::string json(glb.begin() + 20, glb.begin() + 20 + length);
    json.erase(json.find_last_not_of(' ') + 1);
    return json;
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The embedded image's file bytes behind a material's texture, or none.
std::vector<std::uint8_t> texture_bytes(const aiScene* s, const aiMaterial* mtl, aiTextureType type,
                                        unsigned* set) {
    aiString path;
    if (mtl->GetTexture(type, 0, &path, nullptr, set) != AI_SUCCESS) {
        return {};
    }
    const aiTexture* t = s->GetEmbeddedTexture(path.C_Str());
    if (t == nullptr || t->mHeight != 0) {
        return {};
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(t->pcData);
    return {data, data + t->mWidth};
}

std::vector<std::uint8_t> file_bytes(const std::string& path) {
    const std::string text = read_text(path);
    return {text.begin(), text.end()};
}

BitmapTexture* bitmap(const std::string& path, int channel) {
    auto* map = new BitmapTexture;
    map->SetMapName(Utf8ToWide(path).c_str());
    map->SetMapChannel(channel);
    return map;
}

NormalBump* normal_bump(Texmap* normal) {
    auto* bump = new NormalBump;
    bump->SetSubTexmap(0, normal);
    return bump;
}

StandardMaterial* material(const std::wstring& name, Texmap* diffuse, Texmap* bump) {
    auto* mtl = new StandardMaterial;
    mtl->SetName(name);
    mtl->SetSubTexmap(ID_DI, diffuse);
    mtl->SetSubTexmap(ID_BU, bump);
    return mtl;
}

// A material of a class the exporter does not know, as a third party's
// plug-in would add one.
class ForeignMaterial : public Mtl {
  public:
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    ReferenceTarget* Clone(RemapDir&) override { return new ForeignMaterial; }
    Color GetDiffuse(int, BOOL) override { return Color(1, 0, 0); }
    void SetDiffuse(Color, TimeValue) override {}
};

std::string small_png(const TempFolder& dir, const std::string& name) {
    const std::string path = dir.file(name);
    const std::vector<std::uint16_t> px = {65535, 32768, 32768, 65535, 32768, 32768, 65535, 65535};
    EXPECT_EQ(write_png_rgba16(path, 2, 1, px), "");
    return path;
}

} // namespace

class ExportMaterialsTest : public HostTest {
  protected:
    // A box with its own UVs in each of the channels.
    SceneNode* box(const std::wstring& name, std::initializer_list<int> channels, Mtl* mtl) {
        TriObject* tri = box_tri_object(true);
        for (int ch : channels) {
            give_split_uvs(tri->mesh, ch);
        }
        SceneNode* node = add_node(name, tri);
        node->SetMtl(mtl);
        return node;
    }
};

TEST(GlbFile, MaterialsTexturesAndImagesAreWrittenExactly) {
    GlbMesh mesh;
    mesh.name = "m";
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.texcoords = {{0, 0, 1, 0, 0, 1}};
    mesh.primitives = {{{0, 1, 2}, 0}};
    GlbMaterial paint;
    paint.name = "paint";
    paint.base_color = {0.25f, 0.5f, 1, 0.5f};
    paint.base_color_texture = {0, 0};
    paint.normal_texture = {1, 0};
    GlbMaterial plain;
    plain.name = "plain";
    const std::vector<std::uint8_t> bytes =
        glb_bytes({mesh}, {paint, plain}, {{"image/png", {1, 2, 3, 4, 5}}, {"image/jpeg", {9, 8}}});

    EXPECT_EQ(
        json_of(bytes),
        R"({"asset":{"generator":"Vellumar","version":"2.0"},"scene":0,)"
        R"("scenes":[{"nodes":[0]}],"nodes":[{"name":"m","mesh":0,)"
        R"("matrix":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]}],)"
        R"("meshes":[{"name":"m","primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},)"
        R"("indices":2,"material":0,"mode":4}]}],)"
        R"("materials":[{"name":"paint","pbrMetallicRoughness":{"baseColorFactor":[0.25,0.5,1,0.5],)"
        R"("baseColorTexture":{"index":0,"texCoord":0},"metallicFactor":0,"roughnessFactor":1},)"
        R"("normalTexture":{"index":1,"texCoord":0},"alphaMode":"BLEND"},)"
        R"({"name":"plain","pbrMetallicRoughness":{"baseColorFactor":[1,1,1,1],)"
        R"("metallicFactor":0,"roughnessFactor":1},"alphaMode":"OPAQUE"}],)"
        R"("textures":[{"sampler":0,"source":0},{"sampler":0,"source":1}],)"
        R"("samplers":[{"magFilter":9729,"minFilter":9729,"wrapS":10497,"wrapT":10497}],)"
        R"("images":[{"bufferView":3,"mimeType":"image/png"},{"bufferView":4,"mimeType":"image/jpeg"}],)"
        R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
        R"("min":[0,0,0],"max":[1,1,0]},)"
        R"({"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"},)"
        R"({"bufferView":2,"componentType":5125,"count":3,"type":"SCALAR"}],)"
        R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36,"target":34962},)"
        R"({"buffer":0,"byteOffset":36,"byteLength":24,"target":34962},)"
        R"({"buffer":0,"byteOffset":60,"byteLength":12,"target":34963},)"
        R"({"buffer":0,"byteOffset":72,"byteLength":5},{"buffer":0,"byteOffset":80,"byteLength":2}],)"
        R"("buffers":[{"byteLength":84}]})");
    // Each image starts where its view says, zeros keeping the next aligned.
    const std::vector<std::uint8_t> tail(bytes.end() - 12, bytes.end());
    EXPECT_EQ(tail, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0, 0, 0, 9, 8, 0, 0}));
}

// A TGA becomes a PNG of the same pixels; a packed PNG travels as it is.
TEST_F(ExportMaterialsTest, TexturesOfImportedModelsAreEmbeddedAsTheirImages) {
    const ImportResult duck = import_scene(model("Collada/duck.dae"), core.scene());
    ASSERT_TRUE(duck.ok) << duck.error;
    ASSERT_EQ(duck.mesh_nodes.size(), 1u);
    const ExportResult r = export_glb({duck.mesh_nodes[0]}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(occurrences(json_of(r.bytes), "\"pbrMetallicRoughness\""), 1u);
    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 1u);
    const aiMaterial* mtl = s->mMaterials[s->mMeshes[0]->mMaterialIndex];
    unsigned set = 99;
    const std::vector<std::uint8_t> png = texture_bytes(s, mtl, aiTextureType_DIFFUSE, &set);
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(set, 0u);
    aiColor4D base;
    ASSERT_EQ(mtl->Get(AI_MATKEY_BASE_COLOR, base), AI_SUCCESS);
    EXPECT_EQ(base, aiColor4D(1, 1, 1, 1)) << "the map shows instead of the colour";

    FloatImage got, want;
    ASSERT_EQ(ReadImageMemory(png.data(), png.size(), got), "");
    ASSERT_EQ(ReadImageFile(model("Collada/duckCM.tga"), want), "");
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < want.rgba.size(); ++i) {
        differ += std::lround(got.rgba[i] * 255) != std::lround(want.rgba[i] * 255);
    }
    EXPECT_EQ(differ, 0u);

    const ImportResult box =
        import_scene(model("glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"), core.scene());
    ASSERT_TRUE(box.ok) << box.error;
    auto* packed = dynamic_cast<BitmapTexture*>(box.mesh_nodes[0]->GetMtl()->GetSubTexmap(ID_DI));
    ASSERT_NE(packed, nullptr);
    ASSERT_NE(packed->PackedImageBytes(), nullptr);
    const ExportResult again = export_glb({box.mesh_nodes[0]}, 0);
    ASSERT_TRUE(again.ok) << again.error;
    Assimp::Importer importer2;
    const aiScene* s2 = read_back(importer2, again.bytes);
    ASSERT_NE(s2, nullptr) << importer2.GetErrorString();
    EXPECT_EQ(texture_bytes(s2, s2->mMaterials[s2->mMeshes[0]->mMaterialIndex],
                            aiTextureType_DIFFUSE, &set),
              *packed->PackedImageBytes());
}

TEST_F(ExportMaterialsTest, SharedMaterialsAreWrittenOnceWithOpacityNormalMapAndItsSet) {
    TempFolder dir;
    const std::string normals = small_png(dir, "normals.png");
    StandardMaterial* shared = material(L"glass", nullptr, normal_bump(bitmap(normals, 2)));
    shared->SetDiffuse(Color(0.25f, 0.5f, 2.0f), 0);
    shared->SetOpacity(0.5f, 0);
    SceneNode* a = box(L"a", {1, 2}, shared);
    SceneNode* b = box(L"b", {1, 2}, shared);
    SceneNode* foreign = box(L"foreign", {1}, new ForeignMaterial);
    SceneNode* bare = box(L"bare", {1}, nullptr);
    // A baked object wears a shell around a shell: the file gets what renders.
    auto* inner = new ShellMaterial;
    inner->SetSubMtl(0, material(L"first", nullptr, nullptr));
    inner->SetSubMtl(1, shared);
    auto* outer = new ShellMaterial;
    outer->SetSubMtl(0, material(L"before", nullptr, nullptr));
    outer->SetSubMtl(1, inner);
    SceneNode* shelled = box(L"shelled", {1, 2}, outer);

    const ExportResult r = export_glb({a, b, foreign, bare, shelled}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.warnings, std::vector<std::string>{"material '' of object 'foreign' is not a "
                                                   "standard material; the object is exported "
                                                   "without a material"});
    const std::string json = json_of(r.bytes);
    EXPECT_EQ(occurrences(json, "\"alphaMode\":\"BLEND\""), 1u);
    EXPECT_EQ(occurrences(json, "\"alphaMode\""), 1u);
    EXPECT_EQ(occurrences(json, "\"material\":0"), 3u);
    EXPECT_EQ(occurrences(json, "\"images\":[{"), 1u);
    EXPECT_EQ(occurrences(json, "\"mimeType\""), 1u);

    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 5u);
    EXPECT_EQ(s->mMeshes[0]->mMaterialIndex, s->mMeshes[1]->mMaterialIndex);
    const aiMaterial* mtl = s->mMaterials[s->mMeshes[0]->mMaterialIndex];
    unsigned set = 99;
    EXPECT_EQ(texture_bytes(s, mtl, aiTextureType_NORMALS, &set), file_bytes(normals))
        << "a PNG is embedded as it is";
    EXPECT_EQ(set, 1u);
    EXPECT_TRUE(texture_bytes(s, mtl, aiTextureType_DIFFUSE, &set).empty());
    aiColor4D base;
    ASSERT_EQ(mtl->Get(AI_MATKEY_BASE_COLOR, base), AI_SUCCESS);
    EXPECT_EQ(base, aiColor4D(0.25f, 0.5f, 1.0f, 0.5f)) << "colours are clipped to 0..1";
    float metallic = -1, roughness = -1;
    ASSERT_EQ(mtl->Get(AI_MATKEY_METALLIC_FACTOR, metallic), AI_SUCCESS);
    ASSERT_EQ(mtl->Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness), AI_SUCCESS);
    EXPECT_EQ(metallic, 0.0f);
    EXPECT_EQ(roughness, 1.0f);
}

TEST_F(ExportMaterialsTest, TexturesThatCannotBeReadOrWhoseSetIsNotExportedAreLeftOutWithWarnings) {
    TempFolder dir;
    const std::string good = small_png(dir, "good.png");
    const std::string gone = dir.file("gone.tga");
    const std::string broken = dir.file("broken.png");
    write_text(broken, std::string("\x89PNG\r\n\x1a\n", 8) + "truncated");
    SceneNode* a =
        box(L"a", {1, 2}, material(L"lost", bitmap(gone, 1), normal_bump(bitmap(good, 3))));
    SceneNode* b =
        box(L"b", {1, 9}, material(L"far", bitmap(good, 9), normal_bump(bitmap(broken, 1))));
    // The material of a node whose set is missing differs from the same
    // material on a node that has it.
    SceneNode* c = box(L"c", {1, 3}, a->GetMtl());

    const ExportResult r = export_glb({a, b, c}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lost_channels, std::vector<int>{9});
    ASSERT_EQ(r.warnings.size(), 4u);
    EXPECT_EQ(r.warnings[0], "texture '" + gone + "' of material 'lost' cannot be read (no such " +
                                 "file); it is left out of the export");
    EXPECT_EQ(r.warnings[1], "texture '" + good + "' of material 'lost' uses map channel 3, " +
                                 "which object 'a' does not have; it is left out of the export");
    EXPECT_EQ(r.warnings[2].rfind("texture '" + broken + "' of material 'far' cannot be read (", 0),
              0u)
        << r.warnings[2];
    EXPECT_EQ(r.warnings[3], "texture '" + good + "' of material 'far' uses map channel 9, " +
                                 "which glTF cannot hold (it holds map channels 1 to 8); it is " +
                                 "left out of the export");

    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 3u);
    EXPECT_EQ(s->mNumTextures, 1u) << "only the image a material shows is written";
    unsigned set = 99;
    for (unsigned m = 0; m < 2; ++m) {
        const aiMaterial* mtl = s->mMaterials[s->mMeshes[m]->mMaterialIndex];
        EXPECT_TRUE(texture_bytes(s, mtl, aiTextureType_DIFFUSE, &set).empty()) << m;
        EXPECT_TRUE(texture_bytes(s, mtl, aiTextureType_NORMALS, &set).empty()) << m;
    }
    EXPECT_NE(s->mMeshes[0]->mMaterialIndex, s->mMeshes[2]->mMaterialIndex);
    EXPECT_EQ(
        texture_bytes(s, s->mMaterials[s->mMeshes[2]->mMaterialIndex], aiTextureType_NORMALS, &set),
        file_bytes(good));
    EXPECT_EQ(set, 2u);
}

TEST_F(ExportMaterialsTest, AMultiMaterialGivesOnePrimitivePerSubMaterialItsFacesShow) {
    // Three quads with ids 0, 4 and 2 over three slots: red, blue, and a
    // shell rendering red. Ids that select the same material share a primitive.
    StandardMaterial* red = material(L"red", nullptr, nullptr);
    red->SetDiffuse(Color(1, 0, 0), 0);
    StandardMaterial* blue = material(L"blue", nullptr, nullptr);
    blue->SetDiffuse(Color(0, 0, 1), 0);
    auto* shell = new ShellMaterial;
    shell->SetSubMtl(0, blue);
    shell->SetSubMtl(1, red);
    auto* multi = new MultiMaterial;
    for (Mtl* sub : {static_cast<Mtl*>(red), static_cast<Mtl*>(blue), static_cast<Mtl*>(shell)}) {
        multi->SetSubMtl(multi->NumSubMtls(), sub);
    }
    TriObject* tri = grid_tri_object(3, 1);
    const MtlID ids[3] = {0, 4, 2};
    for (std::size_t f = 0; f < tri->mesh.faces.size(); ++f) {
        tri->mesh.faces[f].matID = ids[f / 2];
    }
    SceneNode* striped = add_node(L"striped", tri);
    striped->SetMtl(multi);
    SceneNode* plain = box(L"plain", {1}, red);

    const ExportResult r = export_glb({striped, plain}, 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings[0];
    const std::string json = json_of(r.bytes);
    EXPECT_EQ(occurrences(json, "\"mode\":4"), 3u);
    EXPECT_EQ(occurrences(json, "\"name\":\"red\""), 1u) << "the materials are shared";
    Assimp::Importer importer;
    const aiScene* s = read_back(importer, r.bytes);
    ASSERT_NE(s, nullptr) << importer.GetErrorString();
    ASSERT_EQ(s->mNumMeshes, 3u);
    const unsigned faces[3] = {4, 2, 12};
    const aiColor4D colours[3] = {{1, 0, 0, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}};
    for (unsigned m = 0; m < 3; ++m) {
        EXPECT_EQ(s->mMeshes[m]->mNumFaces, faces[m]) << m;
        aiColor4D base;
        ASSERT_EQ(s->mMaterials[s->mMeshes[m]->mMaterialIndex]->Get(AI_MATKEY_BASE_COLOR, base),
                  AI_SUCCESS);
        EXPECT_EQ(base, colours[m]) << m;
    }
    // Where the Khronos validator is installed, it accepts the file.
    const std::string validator = VELLUMAR_GLTF_VALIDATOR;
    if (!validator.empty()) {
        TempFolder dir;
        ASSERT_TRUE(export_glb({striped, plain}, 0, dir.file("striped.glb")).ok);
        EXPECT_EQ(
            std::system((validator + " '" + dir.file("striped.glb") + "' >/dev/null").c_str()), 0);
    }
}
