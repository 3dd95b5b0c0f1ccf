#include "support/temp_folder.h"

#include "standalone/core.h"
#include "standalone/files/image_files.h"
#include "standalone/files/png_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/double_sided.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/shell_material.h"
#include "standalone/materials/standard_material.h"
#include "standalone/materials/surface_shader.h"

#include <gtest/gtest.h>

namespace {

// Holds one reference, as a node would.
template <class T> struct Held {
    T* p;
    explicit Held(T* x) : p(x) { p->IncRef(); }
    ~Held() { p->DecRef(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return p; }
};

ShadePoint at(int channel, float u, float v) {
    ShadePoint p;
    p.count = 1;
    p.channel[0] = channel;
    p.uv[0] = Point2(u, v);
    return p;
}

// A 2 x 2 PNG, rows from the top: red, green / blue, white with half alpha.
std::string two_by_two(const TempFolder& dir) {
    const std::uint16_t full = 65535, half = 32768;
    const std::vector<std::uint16_t> px = {full, 0, 0,    full, 0,    full, 0,    full,
                                           0,    0, full, full, full, full, full, half};
    const std::string path = dir.file("quad.png");
    EXPECT_EQ(write_png_rgba16(path, 2, 2, px), "");
    return path;
}

BitmapTexture* bitmap(const std::string& path, int channel) {
    auto* map = new BitmapTexture;
    map->SetMapName(std::wstring(path.begin(), path.end()).c_str());
    map->SetMapChannel(channel);
    return map;
}

} // namespace

TEST(SurfaceShader, ColoursComeFromTheMaterialOrTheHostsDefaultGrey) {
    std::vector<std::string> warnings;
    const SurfaceSample none = SurfaceShader(nullptr, warnings).Shade(at(1, 0, 0));
    EXPECT_EQ(none.diffuse, Point3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(none.opacity, 1.0f);
    EXPECT_FALSE(none.hasNormalMap);

    Held<StandardMaterial> mtl(new StandardMaterial);
    mtl->SetDiffuse(Color(0.1f, 0.2f, 0.3f), 0);
    mtl->SetOpacity(0.25f, 0);
    mtl->SetSelfIllumColor(Color(1, 0, 0), 0);
    SurfaceShader shader(mtl.p, warnings);
    EXPECT_TRUE(shader.Channels().empty());
    const SurfaceSample s = shader.Shade(at(1, 0.3f, 0.3f));
    EXPECT_EQ(s.diffuse, Point3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(s.opacity, 0.25f);
    EXPECT_EQ(s.selfIllum, Point3(1, 0, 0));
    EXPECT_EQ(s.bump, 0.5f);
    EXPECT_TRUE(warnings.empty());
}

TEST(SurfaceShader, MapsSampleTheirImageThroughTheirChannelRepeatingAndBilinear) {
    TempFolder dir;
    const std::string path = two_by_two(dir);
    Held<StandardMaterial> mtl(new StandardMaterial);
    mtl->SetDiffuse(Color(0.9f, 0.9f, 0.9f), 0);
    mtl->SetOpacity(0.5f, 0);
    mtl->SetSubTexmap(ID_DI, bitmap(path, 2));
    std::vector<std::string> warnings;
    SurfaceShader shader(mtl.p, warnings);
    ASSERT_TRUE(warnings.empty()) << warnings[0];
    EXPECT_EQ(shader.Channels(), std::vector<int>{2});

    // Texel centres give the texel; v runs up, so the top row is v = 0.75.
    EXPECT_EQ(shader.Shade(at(2, 0.25f, 0.75f)).diffuse, Point3(1, 0, 0));
    EXPECT_EQ(shader.Shade(at(2, 0.75f, 0.25f)).diffuse, Point3(1, 1, 1));
    EXPECT_EQ(shader.Shade(at(2, 0.75f, 0.25f)).opacity, 0.5f * (32768.0f / 65535.0f));
    EXPECT_EQ(shader.Shade(at(2, 3.25f, -1.25f)).diffuse, Point3(1, 0, 0)) << "repeats";
    // Halfway between red and green; and across the wrap, halfway between
    // a texel and its neighbour on the far side.
    const Point3 mid = shader.Shade(at(2, 0.5f, 0.75f)).diffuse;
    EXPECT_NEAR(mid.x, 0.5f, 1e-6f);
    EXPECT_NEAR(mid.y, 0.5f, 1e-6f);
    const Point3 wrapped = shader.Shade(at(2, 0.0f, 0.75f)).diffuse;
    EXPECT_NEAR(wrapped.x, 0.5f, 1e-6f);
    EXPECT_NEAR(wrapped.y, 0.5f, 1e-6f);
    // No coordinates in the map's channel: the material's colour.
    EXPECT_EQ(shader.Shade(at(1, 0.25f, 0.75f)).diffuse, Point3(0.9f, 0.9f, 0.9f));

    // Maps naming one file share one image.
    Held<BitmapTexture> other(bitmap(path, 1));
    std::string error;
    EXPECT_EQ(other->LoadImage(error),
              static_cast<BitmapTexture*>(mtl->GetSubTexmap(ID_DI))->LoadImage(error));

    // An opacity map's grey multiplies the amount.
    mtl->SetSubTexmap(ID_DI, nullptr);
    mtl->SetSubTexmap(ID_OP, bitmap(path, 1));
    SurfaceShader opacity(mtl.p, warnings);
    EXPECT_NEAR(opacity.Shade(at(1, 0.25f, 0.75f)).opacity, 0.5f / 3.0f, 1e-6f);
}

TEST(SurfaceShader, BumpSlotGivesTheNormalOfANormalBumpOrTheGreyOfABitmap) {
    TempFolder dir;
    // (0.5, 0.5, 1) is the unperturbed normal; (1, 0.5, 0.5) points along +x.
    const std::vector<std::uint16_t> px = {32768, 32768, 65535, 65535, 65535, 32768, 32768, 65535};
    ASSERT_EQ(write_png_rgba16(dir.file("n.png"), 2, 1, px), "");
    Held<StandardMaterial> mtl(new StandardMaterial);
    auto* bump = new NormalBump;
    bump->SetSubTexmap(0, bitmap(dir.file("n.png"), 3));
    mtl->SetSubTexmap(ID_BU, bump);
    std::vector<std::string> warnings;
    SurfaceShader shader(mtl.p, warnings);
    EXPECT_EQ(shader.Channels(), std::vector<int>{3});
    const SurfaceSample flat = shader.Shade(at(3, 0.25f, 0.5f));
    ASSERT_TRUE(flat.hasNormalMap);
    EXPECT_EQ(flat.normalChannel, 3);
    EXPECT_NEAR(flat.mapNormal.z, 1.0f, 1e-4f);
    const SurfaceSample side = shader.Shade(at(3, 0.75f, 0.5f));
    EXPECT_NEAR(side.mapNormal.x, 1.0f, 1e-4f);
    EXPECT_NEAR(side.mapNormal.Length(), 1.0f, 1e-6f);

    mtl->SetSubTexmap(ID_BU, bitmap(dir.file("n.png"), 1));
    SurfaceShader plain(mtl.p, warnings);
    const SurfaceSample b = plain.Shade(at(1, 0.25f, 0.5f));
    EXPECT_FALSE(b.hasNormalMap);
    EXPECT_NEAR(b.bump, (2 * 32768 + 65535) / 3.0f / 65535.0f, 1e-6f);
}

TEST(SurfaceShader, UnreadableTexturesAreNamedOnceAndTheColourShows) {
    TempFolder dir;
    write_text(dir.file("broken.png"), "not a png at all");
    Held<StandardMaterial> mtl(new StandardMaterial);
    mtl->SetDiffuse(Color(0.2f, 0.4f, 0.6f), 0);
    mtl->SetSubTexmap(ID_DI, bitmap(dir.file("missing.png"), 1));
    mtl->SetSubTexmap(ID_SI, bitmap(dir.file("missing.png"), 1));
    mtl->SetSubTexmap(ID_OP, bitmap(dir.file("broken.png"), 1));
    std::vector<std::string> warnings;
    SurfaceShader shader(mtl.p, warnings);
    SurfaceShader again(mtl.p, warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(
        warnings[0].rfind("Texture image " + dir.file("missing.png") + " could not be read: ", 0),
        0u);
    EXPECT_NE(warnings[1].find("broken.png"), std::string::npos);
    const SurfaceSample s = shader.Shade(at(1, 0.5f, 0.5f));
    EXPECT_EQ(s.diffuse, Point3(0.2f, 0.4f, 0.6f));
    EXPECT_EQ(s.opacity, 1.0f);
    EXPECT_TRUE(shader.Channels().empty());
}

TEST(MaterialClasses, TheCoreMakesThemAndTheStandardSlotsAreNamedInOrder) {
    StandaloneCore core;
    Held<Mtl> mtl(
        static_cast<Mtl*>(core.CreateInstance(MATERIAL_CLASS_ID, standardMaterialClassID)));
    ASSERT_EQ(mtl->NumSubTexmaps(), 12);
    EXPECT_EQ(mtl->GetSubTexmapSlotName(ID_SS), L"Specular Level");
    EXPECT_EQ(mtl->GetSubTexmapSlotName(ID_SH), L"Glossiness");
    EXPECT_EQ(mtl->GetSubTexmapSlotName(ID_DP), L"Displacement");
    for (Class_ID id : {bitmapTexClassID, normalBumpClassID}) {
        auto* map = static_cast<Texmap*>(core.CreateInstance(TEXMAP_CLASS_ID, id));
        ASSERT_NE(map, nullptr);
        mtl->SetSubTexmap(ID_BU, map);
        EXPECT_EQ(mtl->GetSubTexmap(ID_BU)->ClassID(), id);
    }
}

TEST(MaterialClasses, TheDirectoryListsShellMultiStandardAndDoubleSidedInThatOrder) {
    StandaloneCore core;
    SubClassList* list = core.GetClassDirectory().GetClassList(MATERIAL_CLASS_ID);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(ACC_ALL), 4);
    EXPECT_EQ((*list)[0].ClassID(), bakeShellClassID);
    EXPECT_EQ((*list)[1].ClassID(), multiMtlClassID);
    EXPECT_EQ((*list)[2].ClassID(), standardMaterialClassID);
    EXPECT_EQ((*list)[3].ClassID(), doubleSidedClassID);
    EXPECT_EQ(std::wstring((*list)[0].ClassName()), L"Shell Material");
    Held<Mtl> shell(static_cast<Mtl*>(core.CreateInstance(MATERIAL_CLASS_ID, bakeShellClassID)));
    ASSERT_EQ(shell->NumSubMtls(), 2);
    EXPECT_EQ(shell->GetSubMtlSlotName(0), L"Original Material");
    EXPECT_EQ(shell->GetSubMtlSlotName(1), L"Baked Material");
    EXPECT_EQ(shell->NumSubTexmaps(), 0);
}

TEST(SurfaceShader, AShellShadesAsItsRenderMaterialAndASelfLitSurfaceSaysHowFar) {
    auto* original = new StandardMaterial;
    original->SetDiffuse(Color(1, 0, 0), 0);
    auto* baked = new StandardMaterial;
    baked->SetDiffuse(Color(0, 0, 1), 0);
    baked->SetSelfIllum(2.0f, 0);
    EXPECT_EQ(baked->GetSelfIllum(0), 1.0f) << "clamped";
    Held<ShellMaterial> shell(new ShellMaterial);
    shell->SetSubMtl(0, original);
    shell->SetSubMtl(1, baked);
    IParamBlock2* block = shell->GetParamBlock(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetInt(kShellViewportParam), 0);
    EXPECT_EQ(block->GetInt(kShellRenderParam), 1);
    EXPECT_FALSE(block->SetValue(kShellRenderParam, 0, 2));
    EXPECT_FALSE(block->SetValue(2, 0, 0));
    EXPECT_EQ(shell->GetDiffuse(), Color(1, 0, 0)) << "viewports show the original";

    std::vector<std::string> warnings;
    const SurfaceSample rendered = SurfaceShader(shell.p, warnings).Shade(at(1, 0, 0));
    EXPECT_EQ(rendered.diffuse, Point3(0, 0, 1));
    EXPECT_EQ(rendered.selfIllumAmount, 1.0f);
    ASSERT_TRUE(block->SetValue(kShellRenderParam, 0, 0));
    EXPECT_EQ(SurfaceShader(shell.p, warnings).Shade(at(1, 0, 0)).diffuse, Point3(1, 0, 0));

    // A shell around a shell, and a double-sided material, shade as what
    // they show; a shell holding nothing shades as no material.
    Held<ShellMaterial> outer(new ShellMaterial);
    outer->SetSubMtl(1, shell.p);
    auto* sides = new DoubleSidedMaterial;
    sides->SetSubMtl(0, baked);
    shell->SetSubMtl(0, sides);
    EXPECT_EQ(SurfaceShader(outer.p, warnings).Shade(at(1, 0, 0)).diffuse, Point3(0, 0, 1));
    outer->SetSubMtl(1, nullptr);
    EXPECT_EQ(SurfaceShader(outer.p, warnings).Shade(at(1, 0, 0)).diffuse,
              Point3(0.5f, 0.5f, 0.5f));
    EXPECT_TRUE(warnings.empty());
}

TEST(SurfaceShader, TextureNamesFromOtherMachinesAreFoundBesideTheScene) {
    TempFolder dir;
    boost::filesystem::create_directories(dir.file("maps"));
    write_text(dir.file("maps/x.png"), "x");
    write_text(dir.file("y.png"), "y");
    const std::string scene_dir = dir.file("");
    EXPECT_EQ(ResolveTexturePath("maps\\x.png", scene_dir), dir.file("maps/x.png"));
    EXPECT_EQ(ResolveTexturePath("./maps/x.png", scene_dir), dir.file("maps/x.png"));
    EXPECT_EQ(ResolveTexturePath("C:\\textures\\y.png", scene_dir), dir.file("y.png"));
    EXPECT_EQ(ResolveTexturePath(dir.file("maps/x.png"), "/nowhere"), dir.file("maps/x.png"));
    EXPECT_EQ(ResolveTexturePath("C:\\textures\\z.png", scene_dir), "C:\\textures\\z.png");
}
