#include "support/test_host.h"

#include "standalone/render/ambient_occlusion.h"
#include "standalone/render/normals_bake.h"
#include "standalone/render/ray_projection.h"
#include "standalone/render/tangent_frames.h"

namespace {

float at(const std::vector<float>& rgba, const TexelCoverage& c, int x, int y, int channel = 0) {
    return rgba[(std::size_t(y) * std::size_t(c.width) + std::size_t(x)) * 4 +
                std::size_t(channel)];
}

// A unit-normal square over x0..x1, y 0..1 at height z, facing +z, with
// UVs from x and y.
BakeMesh square(float x0, float x1, float z) {
    BakeMesh m;
    const Point3 c[4] = {{x0, 0, z}, {x1, 0, z}, {x1, 1, z}, {x0, 1, z}};
    for (int k : {0, 1, 2, 0, 2, 3}) {
        m.position.push_back(c[k]);
        m.normal.emplace_back(0, 0, 1);
        m.uv.emplace_back(c[k].x, c[k].y);
    }
    return m;
}

} // namespace

TEST(RayProjection, ATexelTakesTheOutermostSourceWithinTheOffsetOnEitherSide) {
    // Over the target at z = 0 (8 x 8 texels): x < 0.25 has sources at 0.1
    // and 0.2 (the outer wins), 0.25 .. 0.5 only the one at 0.1, the right
    // half one below the surface; a source deeper than the offset is never hit.
    const BakeMesh target = square(0, 1, 0);
    const std::vector<BakeMesh> sources = {square(0, 0.5f, 0.1f), square(0.5f, 1, -0.1f),
                                           square(0, 1, -0.3f), square(0, 0.25f, 0.2f)};
    const TexelCoverage cov = RasterizeUVs(target.uv, 8, 8);
    const ProjectionHits hits = TraceProjection(target, cov, sources, 0.25f, 2);
    EXPECT_TRUE(hits.missed.empty());
    for (std::size_t i = 0; i < hits.source.size(); ++i) {
        const int x = int(i % 8), expected = x < 2 ? 3 : x < 4 ? 0 : 1;
        ASSERT_EQ(hits.source[i], expected) << i;
        EXPECT_NEAR(hits.hit[i].distance,
                    expected == 3   ? 0.05f
                    : expected == 0 ? 0.15f
                                    : 0.35f,
                    1e-5f);
        // The hit is a point of that source's own triangles.
        const std::size_t c = std::size_t(hits.hit[i].triangle) * 3;
        const BakeMesh& s = sources[std::size_t(expected)];
        const float w1 = hits.hit[i].b1, w2 = hits.hit[i].b2;
        EXPECT_NEAR(
            (s.position[c] * (1 - w1 - w2) + s.position[c + 1] * w1 + s.position[c + 2] * w2).x,
            (float(x) + 0.5f) / 8, 1e-5f);
    }
    const TexelCoverage right = SourceCoverage(hits, 1);
    EXPECT_EQ(right.x0, 4);
    EXPECT_EQ(right.w, 4);
    EXPECT_EQ(right.Covered(), 32);
    EXPECT_EQ(SourceCoverage(hits, 2).w, 0);
    // Closer in, nothing lies within reach.
    EXPECT_EQ(TraceProjection(target, cov, sources, 0.05f, 2).missed.size(), 64u);
}

TEST(TexelRaster, TexelCentresFindTheirTriangleAndItsBarycentricWeights) {
    // Two triangles covering the square; a third with no area; a fourth
    // with a NaN corner.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Point2> uv = {{0, 0}, {1, 0}, {1, 1},       {0, 0}, {1, 1},   {0, 1},
                                    {0, 0}, {1, 1}, {0.5f, 0.5f}, {0, 0}, {nan, 0}, {1, 1}};
    const TexelCoverage c = RasterizeUVs(uv, 16, 8);
    EXPECT_EQ(c.Covered(), 16 * 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::size_t i = std::size_t(y) * 16 + std::size_t(x);
            ASSERT_LT(c.triangle[i], 2);
            // The weights give back the texel centre's UV.
            const std::size_t t = std::size_t(c.triangle[i]) * 3;
            const float w1 = c.b1[i], w2 = c.b2[i], w0 = 1 - w1 - w2;
            EXPECT_NEAR(uv[t].x * w0 + uv[t + 1].x * w1 + uv[t + 2].x * w2, (x + 0.5f) / 16, 1e-5);
            EXPECT_NEAR(uv[t].y * w0 + uv[t + 1].y * w1 + uv[t + 2].y * w2, 1 - (y + 0.5f) / 8,
                        1e-5);
        }
    }
    // Half the square: the texels below the diagonal, and those on it.
    const TexelCoverage half = RasterizeUVs({{0, 0}, {1, 0}, {1, 1}}, 8, 8);
    EXPECT_EQ(half.Covered(), 8 * 9 / 2);
    // UVs outside the square cover nothing and write nowhere else.
    EXPECT_EQ(RasterizeUVs({{2, 2}, {3, 2}, {3, 3}}, 8, 8).Covered(), 0);
}

TEST(TexelRaster, DilationSpreadsChartColoursRingByRing) {
    const int w = 9, h = 9;
    std::vector<float> rgba(std::size_t(w * h * 4), 0.0f);
    std::vector<char> covered(std::size_t(w * h), 0);
    const std::size_t centre = 4 * 9 + 4;
    covered[centre] = 1;
    for (int k = 0; k < 4; ++k) {
        rgba[centre * 4 + std::size_t(k)] = 0.25f * float(k + 1);
    }
    Dilate(rgba, covered, w, h, 2);
    int filled = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool inside = std::abs(x - 4) <= 2 && std::abs(y - 4) <= 2;
            const std::size_t i = std::size_t(y * w + x);
            EXPECT_EQ(covered[i] != 0, inside) << x << "," << y;
            if (inside) {
                EXPECT_FLOAT_EQ(rgba[i * 4 + 3], 1.0f);
                ++filled;
            }
        }
    }
    EXPECT_EQ(filled, 25);
}

TEST_F(HostTest, ABoxOnAPlaneDarkensThePlaneBelowAndBesideIt) {
    SceneNode* plane = add_node(L"plane", grid_tri_object(8, 8, 1.0f));
    SceneNode* box = add_node(L"box", box_tri_object(false, 0.2f, 0.2f, 0.2f));
    Matrix3 tm;
    tm.SetTrans(Point3(0.4f, 0.4f, 0.0f));
    box->SetObjectTM(tm);

    const BakeMesh mesh = ExtractBakeMesh(plane, 0, 1);
    ASSERT_EQ(mesh.TriangleCount(), 128u);
    EXPECT_EQ(ExtractBakeMesh(plane, 0, 2).TriangleCount(), 0u); // no such channel
    std::vector<Point3> world = mesh.position;
    Mesh& bm = static_cast<TriObject*>(box->GetObjectRef())->mesh;
    for (const Face& f : bm.faces) {
        for (int k = 0; k < 3; ++k) {
            world.push_back(tm.PointTransform(bm.verts[f.v[k]]));
        }
    }
    const RayScene rays(world);
    const TexelCoverage cov = RasterizeUVs(mesh.uv, 32, 32);
    OcclusionSettings s;
    s.samples = 64;
    s.spread = 1.0f;
    const std::vector<float> ao = BakeAmbientOcclusion(mesh, cov, rays, s, 1e-4f, 2);
    // Under the box (u, v in 0.4..0.6): closed. Far corner: nearly open
    // (the box still stands low over its horizon). Beside it: between.
    EXPECT_FLOAT_EQ(at(ao, cov, 16, 16), 0.0f);
    EXPECT_GT(at(ao, cov, 1, 1), 0.9f);
    EXPECT_LT(at(ao, cov, 1, 1), 1.0f);
    const float beside = at(ao, cov, 11, 16);
    EXPECT_GT(beside, 0.2f);
    EXPECT_LT(beside, 0.95f);
    EXPECT_FLOAT_EQ(at(ao, cov, 5, 5, 3), 1.0f);
    // A limited reach sees nothing of the box from the corner, and colours apply.
    s.maxDistance = 0.05f;
    s.bright = Point3(0.5f, 1, 1);
    const std::vector<float> near = BakeAmbientOcclusion(mesh, cov, rays, s, 1e-4f, 2);
    EXPECT_FLOAT_EQ(at(near, cov, 1, 1), 0.5f);
    EXPECT_FLOAT_EQ(at(near, cov, 8, 16), 0.5f);
    EXPECT_LT(at(near, cov, 12, 16), 0.5f);
    // The pattern depends on the texel and the seed, never on the threads.
    s.maxDistance = 0;
    EXPECT_EQ(BakeAmbientOcclusion(mesh, cov, rays, s, 1e-4f, 1),
              BakeAmbientOcclusion(mesh, cov, rays, s, 1e-4f, 3));
}

TEST_F(HostTest, NormalsAreBakedInWorldObjectAndTangentSpace) {
    // A plane turned a quarter about x: its normal (0, 0, 1) points along -y
    // in the world.
    SceneNode* plane = add_node(L"plane", grid_tri_object(2, 2, 1.0f));
    Matrix3 tm;
    tm.SetRow(1, Point3(0, 0, 1));
    tm.SetRow(2, Point3(0, -1, 0));
    plane->SetObjectTM(tm);
    const BakeMesh mesh = ExtractBakeMesh(plane, 0, 1);
    const TexelCoverage cov = RasterizeUVs(mesh.uv, 8, 8);
    ASSERT_EQ(cov.Covered(), 64);
    auto texel = [&](const std::vector<float>& img) {
        return Point3(at(img, cov, 3, 3, 0), at(img, cov, 3, 3, 1), at(img, cov, 3, 3, 2));
    };
    EXPECT_EQ(texel(BakeNormals(mesh, cov, NormalSpace::World, false, tm)), Point3(0.5f, 0, 0.5f));
    EXPECT_EQ(texel(BakeNormals(mesh, cov, NormalSpace::World, true, tm)), Point3(0.5f, 1, 0.5f));
    EXPECT_EQ(texel(BakeNormals(mesh, cov, NormalSpace::Object, false, tm)), Point3(0.5f, 0.5f, 1));
    EXPECT_EQ(texel(BakeNormals(mesh, cov, NormalSpace::Tangent, false, tm)),
              Point3(0.5f, 0.5f, 1));
    EXPECT_FLOAT_EQ(BakeNormals(mesh, cov, NormalSpace::World, false, tm)[3], 1.0f);
}

TEST(TangentFrames, TangentsFollowIncreasingUAndTheSignMarksMirroredCharts) {
    // Two unit squares side by side in z = 0, normals up; the second one's
    // UVs are mirrored in u; a third triangle has no UV area.
    BakeMesh m;
    auto add = [&](Point3 a, Point3 b, Point3 c, Point2 ua, Point2 ub, Point2 uc) {
        m.position.insert(m.position.end(), {a, b, c});
        m.normal.insert(m.normal.end(), {Point3(0, 0, 1), Point3(0, 0, 1), Point3(0, 0, 1)});
        m.uv.insert(m.uv.end(), {ua, ub, uc});
    };
    add({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0}, {0.5f, 0}, {0.5f, 0.5f});
    add({0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0}, {0.5f, 0.5f}, {0, 0.5f});
    add({2, 0, 0}, {3, 0, 0}, {3, 1, 0}, {1, 0}, {0.5f, 0}, {0.5f, 0.5f});
    add({5, 0, 0}, {6, 0, 0}, {6, 1, 0}, {0.2f, 0.2f}, {0.2f, 0.2f}, {0.2f, 0.2f});
    const TangentFrames f = ComputeTangentFrames(m);
    for (int c = 0; c < 6; ++c) {
        EXPECT_NEAR(f.tangent[c].x, 1.0f, 1e-6) << c;
        EXPECT_EQ(f.sign[c], 1.0f) << c;
    }
    for (int c = 6; c < 9; ++c) {
        EXPECT_NEAR(f.tangent[c].x, -1.0f, 1e-6) << c;
        EXPECT_EQ(f.sign[c], -1.0f) << c;
    }
    for (int c = 9; c < 12; ++c) {
        EXPECT_NEAR(f.tangent[c].Length(), 1.0f, 1e-6);
        EXPECT_NEAR(DotProd(f.tangent[c], m.normal[c]), 0.0f, 1e-6);
    }
}
