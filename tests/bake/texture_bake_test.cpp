// The whole bake on real textured models: three files of three formats
// (Collada with a TGA, glTF with a PNG, OBJ with JPEGs named with
// backslashes) unwrapped into one organic atlas in channel 2 and baked as a
// diffuse map through the host's render-to-texture. The baked atlas must
// show each surface point as its own texture does.
#include "bake/bake_run.h"
#include "bake_test_scene.h"
#include "modifier/unwrap_groups.h"
#include "support/temp_folder.h"
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include "host/mtl.h"
#include "standalone/files/image_files.h"
#include "standalone/files/importer.h"
#include "standalone/render/bake_elements.h"

#include <boost/filesystem.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

namespace fs = boost::filesystem;

// Bilinear, repeating, texel centres at half-integers, v up from the bottom
// row: how a texture is read through UVs.
Point3 sample(const FloatImage& img, float u, float v) {
    const float x = u * float(img.width) - 0.5f, y = (1.0f - v) * float(img.height) - 0.5f;
    const float fx = std::floor(x), fy = std::floor(y);
    auto texel = [&](int tx, int ty) {
        tx = ((tx % img.width) + img.width) % img.width;
        ty = ((ty % img.height) + img.height) % img.height;
        const float* p =
            &img.rgba[(std::size_t(ty) * std::size_t(img.width) + std::size_t(tx)) * 4];
        return Point3(p[0], p[1], p[2]);
    };
    const int ix = int(fx), iy = int(fy);
    const float ax = x - fx, ay = y - fy;
    return (texel(ix, iy) * (1 - ax) + texel(ix + 1, iy) * ax) * (1 - ay) +
           (texel(ix, iy + 1) * (1 - ax) + texel(ix + 1, iy + 1) * ax) * ay;
}

Point2 at(const Mesh& m, int channel, int f, const float w[3]) {
    Point2 out;
    for (int k = 0; k < 3; ++k) {
        const UVVert& uv = m.mapVerts(channel)[m.mapFaces(channel)[f].t[k]];
        out.x += uv.x * w[k];
        out.y += uv.y * w[k];
    }
    return out;
}

} // namespace

TEST_F(HostTest, ABakedDiffuseAtlasShowsEverySurfacePointAsItsOwnTextureDoes) {
    const std::string models = VELLUMAR_ASSIMP_MODELS;
    std::vector<std::pair<SceneNode*, fs::path>> objects;
    for (const char* file :
         {"/Collada/duck.dae", "/glTF2/BoxTextured-glTF/BoxTextured.gltf", "/OBJ/spider.obj"}) {
        const ImportResult r = import_scene(models + file, core.scene());
        ASSERT_TRUE(r.ok) << r.error;
        // The atlas shares its area by world size; each model is brought to
        // about one unit across so that each gets a fair part of it.
        Point3 lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
        for (SceneNode* node : r.mesh_nodes) {
            const Matrix3 tm = node->GetObjectTM(0);
            for (const Point3& p : evaluated_mesh(node).verts) {
                const Point3 q = tm.PointTransform(p);
                lo = Point3(std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z));
                hi = Point3(std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z));
            }
        }
        const float scale = 1.0f / (hi - lo).Length();
        for (SceneNode* node : r.mesh_nodes) {
            Matrix3 tm = node->GetObjectTM(0);
            for (int row = 0; row < 4; ++row) {
                tm.SetRow(row, tm.GetRow(row) * scale);
            }
            node->SetObjectTM(tm);
            objects.emplace_back(node, fs::path(models + file).parent_path());
        }
    }
    std::vector<INode*> nodes;
    for (const auto& o : objects) {
        nodes.push_back(o.first);
    }
    select(nodes);
    TempFolder out;
    const int size = 1024;
    UnwrapSettings& s = settings();
    s.base_unwrap = Organic;
    s.channel = 2;
    s.width = s.height = size;
    s.gutter = 4;
    s.padding = 2;
    s.outpath = fs::path(out.file("x")).parent_path().string();
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("Textured")) << s.last_message;
    s.elements = {CreateEntry(ElementClass("DiffuseMap"))};
    const std::uint64_t key = CollectUnwrapGroups().begin()->first;
    ASSERT_TRUE(Bake(key)) << s.last_message;
    s.elements.clear();
    FloatImage baked;
    ASSERT_EQ(ReadImageFile(out.file("Textured_DiffuseMap.png"), baked), "");
    ASSERT_EQ(baked.width, size);

    // Points inside every triangle big enough in the atlas to hold texels.
    const float points[4][3] = {
        {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}, {0.6f, 0.2f, 0.2f}, {0.2f, 0.6f, 0.2f}, {0.2f, 0.2f, 0.6f}};
    // Where the atlas gives a surface fewer texels than its texture has, the
    // bake (one filtered sample per texel) and the texture differ by the
    // detail in between; those points are measured apart.
    std::vector<float> errors, minified;
    int textured = 0;
    for (const auto& [node, folder] : objects) {
        auto* mtl = static_cast<StdMat*>(node->GetMtl());
        auto* map = mtl != nullptr ? static_cast<BitmapTex*>(mtl->GetSubTexmap(ID_DI)) : nullptr;
        if (map == nullptr) {
            continue;
        }
        std::string name = WideToUtf8(map->GetMapName());
        std::replace(name.begin(), name.end(), '\\', '/');
        FloatImage texture;
        ASSERT_EQ(ReadImageFile((folder / fs::path(name).filename()).string(), texture), "")
            << name;
        ++textured;
        const Mesh m = evaluated_mesh(node);
        const int channel = map->GetMapChannel();
        for (int f = 0; f < m.getNumFaces(); ++f) {
            const float corner[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
            const Point2 a = at(m, 2, f, corner[0]), b = at(m, 2, f, corner[1]),
                         c = at(m, 2, f, corner[2]);
            const float texels = 0.5f *
                                 std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) *
                                 size * size;
            if (texels < 4) {
                continue;
            }
            const Point2 p = at(m, channel, f, corner[0]), q = at(m, channel, f, corner[1]),
                         r = at(m, channel, f, corner[2]);
            const float source = 0.5f *
                                 std::fabs((q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y)) *
                                 float(texture.width) * float(texture.height);
            for (const float* w : points) {
                const Point2 atlas = at(m, 2, f, w), own = at(m, channel, f, w);
                const Point3 d = sample(baked, atlas.x, atlas.y) - sample(texture, own.x, own.y);
                (source > texels ? minified : errors)
                    .push_back(std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)}));
            }
        }
    }
    EXPECT_GE(textured, 3);
    ASSERT_GT(errors.size(), 10000u);
    auto figures = [](std::vector<float>& e, const char* what) {
        std::sort(e.begin(), e.end());
        double mean = 0;
        for (float x : e) {
            mean += x;
        }
        mean /= double(std::max<std::size_t>(1, e.size()));
        const float p95 = e.empty() ? 0.0f : e[e.size() * 95 / 100];
        std::printf("%s: %zu points, mean difference %.4f, 95th percentile %.4f\n", what, e.size(),
                    mean, p95);
        return std::pair(mean, p95);
    };
    const auto [mean, p95] = figures(errors, "texture at atlas resolution or coarser");
    EXPECT_LT(mean, 0.005);
    EXPECT_LT(p95, 0.02f);
    const auto [mean_fine, p95_fine] = figures(minified, "texture finer than the atlas");
    EXPECT_LT(mean_fine, 0.08);
}
