#include "host/text.h"
#include "standalone/files/image_files.h"
#include "standalone/files/importer.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/surface_shader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

std::string model(const std::string& relative) {
    return std::string(VELLUMAR_ASSIMP_MODELS) + "/" + relative;
}

BitmapTexture* diffuse_map(INode* node) {
    Mtl* mtl = node->GetMtl();
    return mtl != nullptr ? dynamic_cast<BitmapTexture*>(mtl->GetSubTexmap(ID_DI)) : nullptr;
}

// The shaded colour at the centre of texel (x, y) against the image's own.
void expect_texel(const SurfaceShader& shader, const FloatImage& image, int channel, int x, int y) {
    ShadePoint p;
    p.count = 1;
    p.channel[0] = channel;
    p.uv[0] = Point2((x + 0.5f) / float(image.width), 1.0f - (y + 0.5f) / float(image.height));
    const SurfaceSample s = shader.Shade(p);
    const std::size_t i = (std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4;
    EXPECT_EQ(s.diffuse, Point3(image.rgba[i], image.rgba[i + 1], image.rgba[i + 2]))
        << "texel " << x << ", " << y;
}

} // namespace

TEST(ImportMaterials, TheDuckArrivesTexturedAndShadesAsItsImage) {
    Scene scene;
    const ImportResult r = import_scene(model("Collada/duck.dae"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.mesh_nodes.size(), 1u);
    BitmapTexture* map = diffuse_map(r.mesh_nodes[0]);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->GetMapChannel(), 1);
    const std::string name = WideToUtf8(map->GetMapName());
    EXPECT_TRUE(std::filesystem::path(name).is_absolute()) << name;
    EXPECT_EQ(std::filesystem::path(name).filename(), "duckCM.tga");

    FloatImage image;
    ASSERT_EQ(ReadImageFile(model("Collada/duckCM.tga"), image), "");
    std::vector<std::string> warnings;
    SurfaceShader shader(r.mesh_nodes[0]->GetMtl(), warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(shader.Channels(), std::vector<int>{1});
    expect_texel(shader, image, 1, 0, 0);
    expect_texel(shader, image, 1, image.width / 3, image.height / 2);
    expect_texel(shader, image, 1, image.width - 1, image.height - 1);
}

TEST(ImportMaterials, ObjTexturesNamedWithBackslashesAreFoundBesideTheScene) {
    Scene scene;
    const ImportResult r = import_scene(model("OBJ/spider.obj"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    int textured = 0;
    std::vector<std::string> warnings;
    std::map<std::wstring, Mtl*> by_name; // nodes of one file material share it
    for (SceneNode* node : r.mesh_nodes) {
        if (Mtl* mtl = node->GetMtl()) {
            EXPECT_EQ(by_name.emplace(mtl->GetName(), mtl).first->second, mtl);
        }
        if (BitmapTexture* map = diffuse_map(node)) {
            ++textured;
            EXPECT_TRUE(std::filesystem::exists(WideToUtf8(map->GetMapName())));
            SurfaceShader shader(node->GetMtl(), warnings);
        }
    }
    EXPECT_GT(textured, 0);
    EXPECT_GE(by_name.size(), 2u);
    EXPECT_TRUE(warnings.empty()) << warnings[0];
}

TEST(ImportMaterials, PackedGlbTexturesDecodeFromMemoryLikeTheFileTheyCameFrom) {
    Scene scene;
    const ImportResult glb =
        import_scene(model("glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"), scene);
    const ImportResult gltf = import_scene(model("glTF2/BoxTextured-glTF/BoxTextured.gltf"), scene);
    ASSERT_TRUE(glb.ok && gltf.ok) << glb.error << gltf.error;
    ASSERT_EQ(glb.mesh_nodes.size(), 1u);
    BitmapTexture* packed = diffuse_map(glb.mesh_nodes[0]);
    ASSERT_NE(packed, nullptr);
    ASSERT_NE(packed->PackedImageBytes(), nullptr);
    EXPECT_FALSE(packed->PackedImageBytes()->empty());
    ASSERT_NE(diffuse_map(gltf.mesh_nodes[0]), nullptr);
    EXPECT_EQ(diffuse_map(gltf.mesh_nodes[0])->PackedImageBytes(), nullptr);

    FloatImage image;
    ASSERT_EQ(ReadImageFile(model("glTF2/BoxTextured-glTF/CesiumLogoFlat.png"), image), "");
    std::vector<std::string> warnings;
    SurfaceShader from_memory(glb.mesh_nodes[0]->GetMtl(), warnings);
    SurfaceShader from_file(gltf.mesh_nodes[0]->GetMtl(), warnings);
    EXPECT_TRUE(warnings.empty());
    for (const SurfaceShader* shader : {&from_memory, &from_file}) {
        expect_texel(*shader, image, 1, 5, 7);
        expect_texel(*shader, image, 1, image.width / 2, image.height - 3);
    }
}

TEST(ImportMaterials, NormalMapsArriveAsNormalBumpsInTheBumpSlot) {
    Scene scene;
    const ImportResult r = import_scene(model("glTF2/ClearCoat-glTF/ClearCoatTest.gltf"), scene);
    ASSERT_TRUE(r.ok) << r.error;
    int normal_mapped = 0;
    std::vector<std::string> warnings;
    for (SceneNode* node : r.mesh_nodes) {
        Mtl* mtl = node->GetMtl();
        if (mtl == nullptr || mtl->GetName() != L"BaseNorm_Base") {
            continue;
        }
        Texmap* bump = mtl->GetSubTexmap(ID_BU);
        ASSERT_NE(bump, nullptr);
        ASSERT_EQ(bump->ClassID(), normalBumpClassID);
        ASSERT_NE(dynamic_cast<BitmapTexture*>(bump->GetSubTexmap(0)), nullptr);
        SurfaceShader shader(mtl, warnings);
        ShadePoint p;
        p.count = 1;
        p.channel[0] = bump->GetMapChannel();
        p.uv[0] = Point2(0.3f, 0.6f);
        const SurfaceSample s = shader.Shade(p);
        EXPECT_TRUE(s.hasNormalMap);
        EXPECT_NEAR(s.mapNormal.Length(), 1.0f, 1e-5f);
        EXPECT_GT(s.mapNormal.z, 0.0f) << "tangent-space normals face out";
        ++normal_mapped;
    }
    EXPECT_GT(normal_mapped, 0);
    EXPECT_TRUE(warnings.empty());
}
