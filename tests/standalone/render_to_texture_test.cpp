#include "support/temp_folder.h"
#include "support/test_host.h"

#include "host/mtl.h"
#include "host/script.h"
#include "standalone/files/image_files.h"
#include "standalone/files/png_file.h"
#include "standalone/render/bake_elements.h"
#include "standalone/render/bake_mesh.h"
#include "standalone/render/render_to_texture.h"
#include "standalone/render/tangent_frames.h"

#include "standalone/render/texel_raster.h"
#include <thread>

#include <cmath>
#include <filesystem>
#include <thread>

namespace {

constexpr Class_ID kComplete(0x4C1E6D2E, 0), kDiffuse(0x4C1E6D2F, 0), kNormals(0x4C1E6D30, 0),
    kOcclusion(0x4C1E6D33, 0);

const char* kRenderScript =
    "bm = bitmap 16 16 \n render rendertype:#bakeSelected frame:0 to:bm vfb:true \n close bm";

// A sphere of nx x ny quads (poles fanned) around `centre`, smooth all over.
TriObject* uv_sphere(Point3 centre, float r, int nx, int ny) {
    auto* obj = new TriObject;
    Mesh& m = obj->mesh;
    for (int y = 0; y <= ny; ++y) {
        const float theta = 3.14159265f * float(y) / float(ny);
        for (int x = 0; x < nx; ++x) {
            const float phi = 6.28318531f * float(x) / float(nx);
            m.verts.push_back(centre + Point3(std::sin(theta) * std::cos(phi),
                                              std::sin(theta) * std::sin(phi), std::cos(theta)) *
                                           r);
        }
    }
    auto at = [&](int x, int y) { return DWORD(y * nx + (x % nx)); };
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) {
            Face a, b;
            a.setVerts(at(x, y), at(x, y + 1), at(x + 1, y + 1));
            b.setVerts(at(x, y), at(x + 1, y + 1), at(x + 1, y));
            a.smGroup = b.smGroup = 1;
            m.faces.insert(m.faces.end(), {a, b});
        }
    }
    return obj;
}

// A box whose six sides each take their own cell of a 3 x 2 grid in channel 1.
TriObject* box_in_cells(float size) {
    TriObject* obj = box_tri_object(true, size, size, size);
    Mesh& m = obj->mesh;
    m.setMapSupport(1);
    MeshMap& map = m.Map(1);
    map.tv.clear();
    for (int q = 0; q < 6; ++q) {
        const float u = float(q % 3) / 3.0f + 0.01f, v = float(q / 3) / 2.0f + 0.01f;
        const float du = 1.0f / 3.0f - 0.02f, dv = 0.5f - 0.02f;
        const auto base = DWORD(map.tv.size());
        map.tv.insert(map.tv.end(), {UVVert(u, v, 0), UVVert(u + du, v, 0),
                                     UVVert(u + du, v + dv, 0), UVVert(u, v + dv, 0)});
        map.tf[2 * q].setTVerts(base, base + 1, base + 2);
        map.tf[2 * q + 1].setTVerts(base, base + 2, base + 3);
    }
    return obj;
}

class RenderToTextureTest : public HostTest {
  protected:
    // A node with baking on in channel 1 and no dilations.
    SceneNode* bake_node(const std::wstring& name, Object* obj) {
        SceneNode* node = add_node(name, obj);
        props(node).SetBakeEnabled(1);
        props(node).SetNDilations(0);
        return node;
    }
    NodeBakeProperties& props(SceneNode* node) { return node->BakeProperties(); }
    StandaloneBakeElement* add_element(SceneNode* node, Class_ID id, const std::string& path, int w,
                                       int h) {
        auto* e =
            static_cast<StandaloneBakeElement*>(core.CreateInstance(BAKE_ELEMENT_CLASS_ID, id));
        e->SetFileType(Utf8ToWide(path).c_str());
        e->SetOutputSz(w, h);
        props(node).AddBakeElement(e);
        return e;
    }
    static FloatImage read(const std::string& path) {
        FloatImage img;
        EXPECT_EQ(ReadImageFile(path, img), "") << path;
        return img;
    }
    static Point3 rgb(const FloatImage& img, int x, int y) {
        const float* p = &img.rgba[(std::size_t(y) * img.width + x) * 4];
        return {p[0], p[1], p[2]};
    }

    TempFolder dir;
};

} // namespace

TEST_F(RenderToTextureTest, EveryElementIsWrittenAtItsOwnSizeInTheFormatItsNameAsksFor) {
    SceneNode* plane = bake_node(L"plane", grid_tri_object(2, 2));
    add_element(plane, kDiffuse, dir.file("diffuse.png"), 16, 8);
    add_element(plane, kNormals, dir.file("normals.exr"), 4, 4);
    // Paths the plug-in builds use backslashes, and the folder may not exist yet.
    add_element(plane, kOcclusion, dir.file("new") + "\\ao.tga", 8, 8);
    // A texture that is not there: the surface shows the material's own
    // colour, and the user hears of the file once.
    StdMat* mtl = NewDefaultStdMat();
    mtl->SetDiffuse(Color(0.25f, 0.5f, 0.75f), 0);
    BitmapTex* missing = NewDefaultBitmapTex();
    missing->SetMapName(Utf8ToWide(dir.file("gone.png")).c_str());
    mtl->SetSubTexmap(ID_DI, missing);
    plane->SetMtl(mtl);
    StandaloneBakeElement* off = add_element(plane, kComplete, dir.file("off.png"), 8, 8);
    off->SetEnabled(0);
    SceneNode* other = bake_node(L"not selected", grid_tri_object(1, 1));
    add_element(other, kDiffuse, dir.file("other.png"), 8, 8);
    select({plane});

    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    ASSERT_EQ(message_texts().size(), 1u);
    EXPECT_NE(message_texts()[0].find("gone.png"), std::string::npos);
    const FloatImage diffuse = read(dir.file("diffuse.png"));
    EXPECT_EQ(diffuse.width, 16);
    EXPECT_EQ(diffuse.height, 8);
    const Point3 colour = rgb(diffuse, 5, 5);
    EXPECT_NEAR(colour.x, 0.25f, 1e-4f);
    EXPECT_NEAR(colour.z, 0.75f, 1e-4f);
    const FloatImage normals = read(dir.file("normals.exr"));
    EXPECT_EQ(rgb(normals, 1, 2), Point3(0.5f, 0.5f, 1.0f));
    const FloatImage ao = read(dir.file("new/ao.tga"));
    EXPECT_EQ(rgb(ao, 3, 3), Point3(1, 1, 1)); // nothing above an open plane
    EXPECT_FALSE(std::filesystem::exists(dir.file("off.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("other.png")));
}

// A large image is rendered in bands of rows; the files are the same to the
// byte as from one pass, down to bands of a single row, for every kind of
// element and file, padding across band edges included.
TEST_F(RenderToTextureTest, ImagesRenderedInBandsAreTheImagesRenderedWhole) {
    SceneNode* floor = add_node(L"floor", grid_tri_object(3, 3, 3.0f));
    (void)floor;
    TriObject* box = box_tri_object(false, 0.8f, 0.6f, 0.7f);
    give_split_uvs(box->mesh, 1);
    SceneNode* node = bake_node(L"box", box);
    props(node).SetNDilations(3);
    Matrix3 tm;
    tm.SetTrans(Point3(1.0f, 1.2f, 0.0f));
    node->SetObjectTM(tm);
    const std::pair<Class_ID, const char*> elements[] = {
        {kComplete, "complete.png"}, {kOcclusion, "ao.exr"}, {kNormals, "normals.tga"}};
    const auto bake = [&](const std::string& prefix) {
        props(node).RemoveAllBakeElements();
        for (const auto& [id, name] : elements) {
            add_element(node, id, dir.file(prefix + name), 61, 47)
                ->SetBackgroundColor(AColor(0.2f, 0.4f, 0.6f, 1));
        }
        select({node});
        ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    };
    bake("whole_");
    for (const std::size_t texels : {std::size_t(61 * 5), std::size_t(1)}) {
        SetBakeBandTexels(texels);
        const std::string prefix = "band" + std::to_string(texels) + "_";
        bake(prefix);
        for (const auto& [id, name] : elements) {
            EXPECT_EQ(read_text(dir.file(prefix + name)),
                      read_text(dir.file(std::string("whole_") + name)))
                << name << " in bands of " << texels << " texels";
        }
    }
    SetBakeBandTexels(std::size_t{1} << 22);
    const FloatImage ao = read(dir.file("whole_ao.exr"));
    float darkest = 1.0f;
    for (std::size_t i = 0; i < ao.rgba.size(); i += 4) {
        darkest = std::min(darkest, ao.rgba[i]);
    }
    EXPECT_LT(darkest, 0.9f) << "the floor shades the box somewhere";
}

TEST_F(RenderToTextureTest, ChartsArePaddedByTheDilationsAndTheRestIsTheBackground) {
    TriObject* obj = grid_tri_object(1, 1);
    for (Point3& uv : obj->mesh.Map(1).tv) {
        uv = uv * 0.5f; // the chart fills the lower left quarter
    }
    SceneNode* plane = bake_node(L"plane", obj);
    props(plane).SetNDilations(2);
    StandaloneBakeElement* e = add_element(plane, kDiffuse, dir.file("d.png"), 16, 16);
    e->SetBackgroundColor(AColor(1, 0, 0, 1));
    select({plane});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    const FloatImage img = read(dir.file("d.png"));
    // Rows run from the top: the chart covers x 0..7, y 8..15.
    EXPECT_NEAR(rgb(img, 3, 12).x, 0.5f, 1e-4f);
    EXPECT_NEAR(rgb(img, 9, 12).x, 0.5f, 1e-4f); // two rings of padding
    EXPECT_NEAR(rgb(img, 3, 6).y, 0.5f, 1e-4f);
    EXPECT_EQ(rgb(img, 10, 12), Point3(1, 0, 0));
    EXPECT_EQ(rgb(img, 14, 2), Point3(1, 0, 0));
}

TEST_F(RenderToTextureTest, TheCompleteMapIsLitByTheDefaultLightAndShadowed) {
    SceneNode* plane = bake_node(L"plane", grid_tri_object(8, 8));
    add_element(plane, kComplete, dir.file("complete.exr"), 32, 32);
    // A wide slab hovering over one side of the plane shades the plane below it.
    SceneNode* slab = add_node(L"slab", box_tri_object(false, 0.3f, 1.0f, 0.05f));
    Matrix3 tm;
    tm.SetTrans(Point3(0.1f, 0.5f, 0.3f));
    slab->SetObjectTM(tm);
    select({plane});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    const FloatImage img = read(dir.file("complete.exr"));
    const float lit = 0.5f * (0.05f + Normalize(Point3(-0.4f, -0.6f, 0.7f)).z);
    EXPECT_NEAR(rgb(img, 30, 30).x, lit, 1e-4f); // far from the slab
    float darkest = 1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            darkest = std::min(darkest, rgb(img, x, y).x);
        }
    }
    EXPECT_NEAR(darkest, 0.5f * 0.05f, 1e-4f); // only the ambient light remains
}

TEST_F(RenderToTextureTest, ANormalMapIsCarriedIntoTheTangentFramesOfTheBakeChannel) {
    // The source map tilts every normal towards +u of channel 1 (world +x);
    // channel 2 is channel 1 turned a quarter, so its +u runs along world
    // -y and its +v along +x, where the tilt must show up.
    TriObject* obj = grid_tri_object(2, 2);
    Mesh& m = obj->mesh;
    m.setMapSupport(2);
    m.Map(2).tv = m.Map(1).tv;
    for (Point3& uv : m.Map(2).tv) {
        uv = Point3(1.0f - uv.y, uv.x, 0);
    }
    m.Map(2).tf = m.Map(1).tf;
    SceneNode* plane = bake_node(L"plane", obj);
    props(plane).SetBakeMapChannel(2);
    std::vector<std::uint16_t> pixels;
    for (int i = 0; i < 16; ++i) {
        pixels.insert(pixels.end(), {std::uint16_t(0.8f * 65535 + 0.5f), 32768,
                                     std::uint16_t(0.9f * 65535 + 0.5f), 65535});
    }
    ASSERT_EQ(write_png_rgba16(dir.file("tilt.png"), 4, 4, pixels), "");
    BitmapTex* map = NewDefaultBitmapTex();
    map->SetMapName(Utf8ToWide(dir.file("tilt.png")).c_str());
    auto* bump = static_cast<Texmap*>(core.CreateInstance(TEXMAP_CLASS_ID, normalBumpClassID));
    bump->SetSubTexmap(0, map);
    StdMat* mtl = NewDefaultStdMat();
    mtl->SetSubTexmap(ID_BU, bump);
    plane->SetMtl(mtl);
    add_element(plane, kNormals, dir.file("tangent.exr"), 8, 8);
    StandaloneBakeElement* world = add_element(plane, kNormals, dir.file("world.exr"), 8, 8);
    world->SetParamFPValue(1, FPValue::Int(2));
    select({plane});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    const Point3 tangent = rgb(read(dir.file("tangent.exr")), 3, 3);
    EXPECT_NEAR(tangent.x, 0.5f, 2e-3f);
    EXPECT_NEAR(tangent.y, 0.8f, 2e-3f);
    EXPECT_NEAR(tangent.z, 0.9f, 2e-3f);
    const Point3 w = rgb(read(dir.file("world.exr")), 3, 3);
    EXPECT_NEAR(w.x, 0.8f, 2e-3f);
    EXPECT_NEAR(w.y, 0.5f, 2e-3f);
}

// Cancel on the progress bar (a front end's, from its own thread) stops the
// render between images; the next render starts uncancelled.
TEST_F(RenderToTextureTest, CancelStopsTheRenderAndTheNextStartsAfresh) {
    SceneNode* plane = bake_node(L"plane", grid_tri_object(2, 2));
    add_element(plane, kDiffuse, dir.file("one.png"), 8, 8);
    add_element(plane, kDiffuse, dir.file("two.png"), 8, 8);
    select({plane});
    core.SetProgressListener([this](const ProgressBar& bar) {
        if (bar.open() && bar.percent() > 0) {
            std::thread([this] { core.SetCancel(1); }).join();
        }
    });
    const std::wstring script = Utf8ToWide(kRenderScript);
    EXPECT_FALSE(ExecuteMAXScriptScript(script.c_str(), false));
    EXPECT_NE(message_texts().back().find("The render was cancelled"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("two.png")));
    core.SetProgressListener(nullptr);
    EXPECT_TRUE(ExecuteMAXScriptScript(script.c_str(), false));
    EXPECT_TRUE(std::filesystem::exists(dir.file("two.png")));
}

TEST_F(RenderToTextureTest, AFailedRenderNamesTheCauseAndKeepsWhatWasWritten) {
    SceneNode* plane = bake_node(L"plane", grid_tri_object(2, 2));
    add_element(plane, kDiffuse, dir.file("first.png"), 8, 8);
    StandaloneBakeElement* bad = add_element(plane, kDiffuse, dir.file("second.png"), 0, 8);
    select({plane});
    const std::wstring script = Utf8ToWide(kRenderScript);
    EXPECT_FALSE(ExecuteMAXScriptScript(script.c_str(), false));
    EXPECT_TRUE(std::filesystem::exists(dir.file("first.png")));
    ASSERT_EQ(core.messages().size(), 1u);
    EXPECT_NE(message_texts()[0].find("has the output size 0 x 8"), std::string::npos);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir.file("x.gif"), "unknown image type \"gif\""},
        {dir.file("first.png") + "/inside.png", "Cannot create the folder"}};
    for (const auto& [path, cause] : cases) {
        bad->SetOutputSz(100000, 8);
        core.ClearMessages();
        EXPECT_FALSE(ExecuteMAXScriptScript(script.c_str(), true));
        EXPECT_TRUE(core.messages().empty()); // quiet
        bad->SetOutputSz(8, 8);
        bad->SetFileType(Utf8ToWide(path).c_str());
        EXPECT_FALSE(ExecuteMAXScriptScript(script.c_str(), false));
        ASSERT_FALSE(core.messages().empty());
        EXPECT_NE(WideToUtf8(core.messages().back().text).find(cause), std::string::npos)
            << WideToUtf8(core.messages().back().text);
    }
    // An object without coordinates in the bake channel has nothing to bake into.
    props(plane).SetBakeMapChannel(3);
    core.ClearMessages();
    EXPECT_FALSE(ExecuteMAXScriptScript(script.c_str(), false));
    EXPECT_NE(message_texts()[0].find("no texture coordinates in map channel 3"),
              std::string::npos);
    // Only baking renders here.
    EXPECT_FALSE(ExecuteMAXScriptScript(L"render frame:0", true));
}

TEST_F(RenderToTextureTest, ARayTracedProjectionBakesTheHighSpheresNormalsIntoTheLowBox) {
    // The sphere bulges out of the box's sides and leaves its corners
    // uncovered, where the box's flat normals find nothing.
    const Point3 centre(1, 1, 1);
    const float radius = 1.2f;
    SceneNode* sphere = add_node(L"sphere", uv_sphere(centre, radius, 96, 48));
    StdMat* green = NewDefaultStdMat();
    green->SetDiffuse(Color(0, 1, 0), 0);
    sphere->SetMtl(green);
    SceneNode* box = bake_node(L"box", box_in_cells(2.0f));
    const int size = 96;
    add_element(box, kNormals, dir.file("normals.exr"), size, size);
    add_element(box, kDiffuse, dir.file("diffuse.png"), size, size);
    const std::string setup = "pr = $box.INodeBakeProjProperties\n"
                              "prj = Projection()\n"
                              "addModifier $box prj\n"
                              "pr.enabled = true\n"
                              "pr.projectionMod = prj\n"
                              "pr.warnRayMiss = true\n"
                              "pr.rayOffset = 1.0\n"
                              "pr.projSpace = #raytrace\n"
                              "prj.addObjectNode $sphere\n";
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(setup).c_str(), false));
    select({box});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    const FloatImage normals = read(dir.file("normals.exr"));
    const FloatImage diffuse = read(dir.file("diffuse.png"));

    // Each texel's ray, rebuilt from the box's own surface and frames, meets
    // the true sphere where the baked normal must point away from its centre.
    const BakeMesh low = ExtractBakeMesh(box, 0, 1);
    const TangentFrames frames = ComputeTangentFrames(low);
    const TexelCoverage cov = RasterizeUVs(low.uv, size, size);
    int checked = 0, red = 0;
    float worst = 0;
    for (std::size_t i = 0; i < cov.triangle.size(); ++i) {
        if (cov.triangle[i] < 0) {
            continue;
        }
        const int x = int(i) % size, y = int(i) / size;
        if (rgb(diffuse, x, y) == Point3(1, 0, 0)) {
            EXPECT_EQ(rgb(normals, x, y), Point3(1, 0, 0));
            ++red;
            continue;
        }
        EXPECT_EQ(rgb(diffuse, x, y), Point3(0, 1, 0));
        const std::size_t c = std::size_t(cov.triangle[i]) * 3;
        const float w1 = cov.b1[i], w2 = cov.b2[i], w0 = 1 - w1 - w2;
        const Point3 p = low.position[c] * w0 + low.position[c + 1] * w1 + low.position[c + 2] * w2;
        const Point3 n = low.normal[c]; // flat sides
        const Point3 t = Normalize(frames.tangent[c] - n * DotProd(n, frames.tangent[c]));
        const Point3 b = CrossProd(n, t) * frames.sign[c];
        const Point3 m = rgb(normals, x, y) * 2.0f - Point3(1, 1, 1);
        const Point3 baked = Normalize(t * m.x + b * m.y + n * m.z);
        // From outside the sphere, heading in along -n: the nearer root.
        const Point3 o = p + n - centre;
        const float on = DotProd(o, n), disc = on * on - (DotProd(o, o) - radius * radius);
        ASSERT_GE(disc, 0.0f) << "a texel whose ray misses the sphere found it";
        const Point3 expected = Normalize(o - n * (on - std::sqrt(disc)));
        if (DotProd(expected, n) < 0.3f) {
            continue; // grazing: the sphere's facets and the true sphere part ways
        }
        worst = std::max(worst, std::acos(std::min(1.0f, DotProd(baked, expected))));
        ++checked;
    }
    EXPECT_GT(checked, size * size / 4);
    EXPECT_LT(worst * 180 / 3.14159265f, 2.0f);
    EXPECT_GT(red, 6 * 4) << "every corner of every side misses";
    ASSERT_EQ(message_texts().size(), 1u) << "one warning for both elements";
    EXPECT_EQ(message_texts()[0], "Warning: Object box: " + std::to_string(red) +
                                      " texels found no projection source within the ray "
                                      "offset of 1");

    // In bands of three rows, down to one, the same files and the same one
    // warning with the same count.
    const std::string whole_normals = read_text(dir.file("normals.exr"));
    const std::string whole_diffuse = read_text(dir.file("diffuse.png"));
    for (const std::size_t texels : {std::size_t(size * 3), std::size_t(1)}) {
        core.ClearMessages();
        SetBakeBandTexels(texels);
        ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
        SetBakeBandTexels(std::size_t{1} << 22);
        EXPECT_EQ(read_text(dir.file("normals.exr")), whole_normals) << texels;
        EXPECT_EQ(read_text(dir.file("diffuse.png")), whole_diffuse) << texels;
        EXPECT_EQ(message_texts(),
                  (std::vector<std::string>{"Warning: Object box: " + std::to_string(red) +
                                            " texels found no projection source "
                                            "within the ray offset of 1"}));
    }

    // Unwarned, a miss is background; the offset must be a distance.
    core.ClearMessages();
    box->BakeProjProperties().SetWarnRayMiss(0);
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    EXPECT_TRUE(core.messages().empty());
    const FloatImage quiet = read(dir.file("diffuse.png"));
    int clear = 0;
    for (std::size_t i = 3; i < quiet.rgba.size(); i += 4) {
        clear += cov.triangle[i / 4] >= 0 && quiet.rgba[i] == 0 ? 1 : 0;
    }
    EXPECT_EQ(clear, red);
    box->BakeProjProperties().SetRayOffset(0);
    EXPECT_FALSE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    EXPECT_NE(message_texts().back().find("ray offset must be a positive distance"),
              std::string::npos);
}

TEST_F(RenderToTextureTest, FacesShowTheSubMaterialTheirIdSelectsAlsoThroughAShellAndAProjection) {
    // Left half id 0, right half id 3: 3 modulo two sub-materials is the second.
    TriObject* obj = grid_tri_object(2, 1);
    obj->mesh.faces[2].matID = obj->mesh.faces[3].matID = 3;
    SceneNode* source = bake_node(L"source", obj);
    MultiMtl* multi = NewDefaultMultiMtl();
    for (const Color& c : {Color(1, 0, 0), Color(0, 0, 1)}) {
        StdMat* sub = NewDefaultStdMat();
        sub->SetDiffuse(c, 0);
        multi->SetSubMtl(multi->NumSubMtls(), sub);
    }
    source->SetMtl(multi);
    add_element(source, kDiffuse, dir.file("own.png"), 8, 8);
    select({source});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));

    // A plane beside it takes the same faces by their UVs, from a shell
    // that renders the multi-material.
    auto* shell = static_cast<Mtl*>(core.CreateInstance(MATERIAL_CLASS_ID, bakeShellClassID));
    shell->SetSubMtl(0, NewDefaultStdMat());
    shell->SetSubMtl(1, multi);
    source->SetMtl(shell);
    SceneNode* target = bake_node(L"target", grid_tri_object(1, 1));
    add_element(target, kDiffuse, dir.file("projected.png"), 8, 8);
    const std::string setup = "pr = $target.INodeBakeProjProperties\n"
                              "prj = Projection()\n"
                              "addModifier $target prj\n"
                              "pr.enabled = true\n"
                              "pr.projectionMod = prj\n"
                              "pr.projSpace = #uvw_match\n"
                              "prj.addObjectNode $source\n";
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(setup).c_str(), false));
    select({target});
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide(kRenderScript).c_str(), false));
    for (const char* file : {"own.png", "projected.png"}) {
        const FloatImage img = read(dir.file(file));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(rgb(img, x, y), x < 4 ? Point3(1, 0, 0) : Point3(0, 0, 1))
                    << file << " " << x << "," << y;
            }
        }
    }
}
