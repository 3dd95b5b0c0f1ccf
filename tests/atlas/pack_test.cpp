#include "atlas/pack.h"

#include "atlas/corrections.h"

#include "atlas_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace vellumar::atlas;
using namespace vellumar::atlas::testing;

namespace {

// Charts of assorted shapes (triangles, strips, an L), each with its own
// vertices, UVs at one arbitrary common scale.
struct Charts {
    std::unique_ptr<AtlasMesh> mesh;
    std::vector<std::uint32_t> chart_of_face;
};

// The charts as a mesh; positions follow the UVs so that surface areas are
// meaningful.
Charts charts_of(const std::vector<AtlasVertex>& v, const std::vector<std::uint32_t>& ix,
                 std::vector<std::uint32_t> chart) {
    Charts out;
    create_mesh(static_cast<std::uint32_t>(ix.size() / 3), static_cast<std::uint32_t>(v.size()),
                &out.mesh);
    std::copy(v.begin(), v.end(), out.mesh->vertices().begin());
    std::copy(ix.begin(), ix.end(), out.mesh->indices().begin());
    for (AtlasVertex& p : out.mesh->vertices()) {
        p.x = p.u;
        p.y = p.v;
    }
    out.chart_of_face = std::move(chart);
    return out;
}

Charts assorted_charts(int count) {
    std::vector<AtlasVertex> v;
    std::vector<std::uint32_t> ix, chart;
    for (int c = 0; c < count; ++c) {
        const std::uint32_t base = static_cast<std::uint32_t>(v.size());
        const float s = 0.5f + 0.37f * float(c % 5);
        const float ox = 10.0f * c;
        switch (c % 3) {
        case 0: // a thin strip of two triangles
            v.insert(v.end(), {{0, 0, 0, ox, 0},
                               {0, 0, 0, ox + 4 * s, 0},
                               {0, 0, 0, ox + 4 * s, s},
                               {0, 0, 0, ox, s}});
            ix.insert(ix.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
            chart.insert(chart.end(), {std::uint32_t(c), std::uint32_t(c)});
            break;
        case 1: // a single slanted triangle
            v.insert(v.end(),
                     {{0, 0, 0, ox, 0}, {0, 0, 0, ox + 2 * s, s}, {0, 0, 0, ox + s, 2 * s}});
            ix.insert(ix.end(), {base, base + 1, base + 2});
            chart.push_back(std::uint32_t(c));
            break;
        default: // an L of three triangles
            v.insert(v.end(), {{0, 0, 0, ox, 0},
                               {0, 0, 0, ox + 2 * s, 0},
                               {0, 0, 0, ox + 2 * s, s},
                               {0, 0, 0, ox + s, s},
                               {0, 0, 0, ox + s, 2 * s},
                               {0, 0, 0, ox, 2 * s}});
            ix.insert(ix.end(), {base, base + 1, base + 2, base, base + 2, base + 3, base, base + 3,
                                 base + 4, base, base + 4, base + 5});
            chart.insert(chart.end(),
                         {std::uint32_t(c), std::uint32_t(c), std::uint32_t(c), std::uint32_t(c)});
            break;
        }
    }
    return charts_of(v, ix, chart);
}

// A few large charts of irregular round outline (fans around a centre), the
// kind whose best fit is often neither upright nor on its side.
Charts round_charts(int count) {
    std::vector<AtlasVertex> v;
    std::vector<std::uint32_t> ix, chart;
    for (int c = 0; c < count; ++c) {
        const std::uint32_t centre = static_cast<std::uint32_t>(v.size());
        const float ox = 10.0f * c, radius = 1.0f + 0.3f * float(c % 3);
        v.push_back({0, 0, 0, ox, 0});
        const int sides = 9 + c;
        for (int k = 0; k < sides; ++k) {
            const float a = 6.2831853f * float(k) / float(sides);
            const float r = radius * (1.0f + 0.25f * float((k * 7 + c) % 4) / 3.0f);
            v.push_back({0, 0, 0, ox + r * 1.6f * std::cos(a), r * std::sin(a)});
        }
        for (int k = 0; k < sides; ++k) {
            ix.insert(ix.end(), {centre, centre + 1 + std::uint32_t(k),
                                 centre + 1 + std::uint32_t((k + 1) % sides)});
            chart.push_back(std::uint32_t(c));
        }
    }
    return charts_of(v, ix, chart);
}

// A unit square chart of two triangles at x = ox.
void add_unit_square(float ox, std::uint32_t c, std::vector<AtlasVertex>& v,
                     std::vector<std::uint32_t>& ix, std::vector<std::uint32_t>& chart) {
    const std::uint32_t base = static_cast<std::uint32_t>(v.size());
    v.insert(v.end(),
             {{0, 0, 0, ox, 0}, {0, 0, 0, ox + 1, 0}, {0, 0, 0, ox + 1, 1}, {0, 0, 0, ox, 1}});
    ix.insert(ix.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    chart.insert(chart.end(), {c, c});
}

double distance(const AtlasVertex& a, const AtlasVertex& b) {
    return std::hypot(double(a.u) - b.u, double(a.v) - b.v);
}

} // namespace

TEST(PackCharts, KeepsEveryChartCongruentUpToOneCommonScale) {
    Charts charts = assorted_charts(12);
    const auto before = charts.mesh->clone();
    ASSERT_EQ(pack_charts(*charts.mesh, {}, charts.chart_of_face, 256, 256, 4.0f, nullptr, 0.01f),
              Status::Ok);
    expect_valid_layout(*charts.mesh, charts.chart_of_face, 256, 256, 4.0f);
    // Every edge scales by the same factor and every triangle keeps its
    // orientation: rotations only, no mirror, no per-chart scale.
    const auto ix = charts.mesh->indices();
    double scale = -1;
    for (std::uint32_t f = 0; f < charts.mesh->face_count(); ++f) {
        EXPECT_GT(uv_area(*charts.mesh, f) * uv_area(*before, f), 0.0);
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = ix[3 * f + k], b = ix[3 * f + (k + 1) % 3];
            const double r = distance(charts.mesh->vertices()[a], charts.mesh->vertices()[b]) /
                             distance(before->vertices()[a], before->vertices()[b]);
            if (scale < 0) {
                scale = r;
            }
            EXPECT_NEAR(r / scale, 1.0, 1e-4);
        }
    }
}

// Above a chart that fills the lower half of the atlas, a sliver a
// millionth of its size is less than a float step high: packed at the
// common scale its corners would round onto a line.
TEST(PackCharts, KeepsAChartFarSmallerThanATexelUnflipped) {
    const float d = 1e-6f;
    Charts charts = charts_of({{0, 0, 0, 0, 0},
                               {0, 0, 0, 1, 0},
                               {0, 0, 0, 1, 0.5f},
                               {0, 0, 0, 0, 0.5f},
                               {0, 0, 0, 0, 0},
                               {0, 0, 0, d, 0},
                               {0, 0, 0, 0.4f * d, 0.002f * d}},
                              {0, 1, 2, 0, 2, 3, 4, 5, 6}, {0, 0, 1});
    ASSERT_EQ(pack_charts(*charts.mesh, {}, charts.chart_of_face, 1024, 1024, 2.0f, nullptr, 0.01f),
              Status::Ok);
    expect_valid_layout(*charts.mesh, charts.chart_of_face, 1024, 1024, 2.0f);
    auto corrected = charts.mesh->clone();
    apply_corrections(corrected->vertices(), 1024, 1024, 2.0f);
    EXPECT_GT(uv_area(*corrected, 2), 0.0);
}

TEST(PackCharts, ReportsChartsThatDoNotFitInsteadOfOverlappingThem) {
    Charts charts = assorted_charts(1000);
    const auto before = charts.mesh->clone();
    EXPECT_EQ(pack_charts(*charts.mesh, {}, charts.chart_of_face, 16, 16, 4.0f, nullptr, 0.01f),
              Status::Failed);
    // Unchanged on failure.
    const auto a = charts.mesh->vertices();
    const auto b = before->vertices();
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size_bytes()));
}

TEST(PackCharts, KeepsTheGutterForAnyWidthAndGutter) {
    for (float gutter : {0.0f, 1.5f, 5.0f}) {
        for (auto [w, h] : {std::pair{128u, 128u}, std::pair{200u, 90u}}) {
            SCOPED_TRACE(::testing::Message() << w << "x" << h << " gutter " << gutter);
            Charts charts = assorted_charts(9);
            ASSERT_EQ(
                pack_charts(*charts.mesh, {}, charts.chart_of_face, w, h, gutter, nullptr, 0.01f),
                Status::Ok);
            expect_valid_layout(*charts.mesh, charts.chart_of_face, w, h, gutter);
        }
    }
}

TEST(PackCharts, RejectsAVertexSharedByTwoChartsOrAUvThatIsNoNumber) {
    Charts charts = assorted_charts(3);
    charts.mesh->indices()[3] = charts.mesh->indices()[6]; // strip borrows from the triangle
    EXPECT_EQ(pack_charts(*charts.mesh, {}, charts.chart_of_face, 128, 128, 2.0f, nullptr, 0.01f),
              Status::InvalidMesh);
    for (float bad : {std::nanf(""), std::numeric_limits<float>::infinity()}) {
        Charts odd = assorted_charts(3);
        odd.mesh->vertices()[5].v = bad;
        const std::vector<AtlasVertex> before(odd.mesh->vertices().begin(),
                                              odd.mesh->vertices().end());
        EXPECT_EQ(pack_charts(*odd.mesh, {}, odd.chart_of_face, 128, 128, 2.0f, nullptr, 0.01f),
                  Status::InvalidMesh);
        EXPECT_EQ(0, std::memcmp(before.data(), odd.mesh->vertices().data(),
                                 before.size() * sizeof(AtlasVertex)));
    }
    EXPECT_EQ(pack_charts(*charts.mesh, {}, std::span(charts.chart_of_face).first(2), 128, 128,
                          2.0f, nullptr, 0.01f),
              Status::InvalidCall);
}

TEST(PackCharts, PacksFewLargeChartsValidlyAndRepeatably) {
    for (auto [w, h] : {std::pair{256u, 256u}, std::pair{300u, 120u}}) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h);
        Charts first = round_charts(5);
        Charts second = round_charts(5);
        ASSERT_EQ(pack_charts(*first.mesh, {}, first.chart_of_face, w, h, 4.0f, nullptr, 0.01f),
                  Status::Ok);
        ASSERT_EQ(pack_charts(*second.mesh, {}, second.chart_of_face, w, h, 4.0f, nullptr, 0.01f),
                  Status::Ok);
        expect_valid_layout(*first.mesh, first.chart_of_face, w, h, 4.0f);
        for (std::uint32_t f = 0; f < first.mesh->face_count(); ++f) {
            EXPECT_GT(uv_area(*first.mesh, f), 0.0);
        }
        const auto a = first.mesh->vertices();
        const auto b = second.mesh->vertices();
        EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size_bytes()));
    }
}

TEST(PackCharts, ThousandsOfEqualAndMixedSmallChartsPackWithoutOverlapsAtAnyGutter) {
    // Scaled down from a scene of 100,000 separate triangles: many charts
    // share one mask, and each search for a mask resumes where the last
    // search for an equal one stopped. Interleaved shapes must never lead a
    // search past a place that is taken now but was free then.
    std::vector<AtlasVertex> v;
    std::vector<std::uint32_t> ix, chart;
    for (std::uint32_t c = 0; c < 3000; ++c) {
        const std::uint32_t base = static_cast<std::uint32_t>(v.size());
        v.insert(v.end(), {{0, 0, 0, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 0, 1}});
        ix.insert(ix.end(), {base, base + 1, base + 2});
        chart.push_back(c);
    }
    for (float gutter : {0.0f, 1.0f}) {
        SCOPED_TRACE(::testing::Message() << "gutter " << gutter);
        Charts equal = charts_of(v, ix, chart);
        ASSERT_EQ(
            pack_charts(*equal.mesh, {}, equal.chart_of_face, 512, 512, gutter, nullptr, 0.01f),
            Status::Ok);
        expect_valid_layout(*equal.mesh, equal.chart_of_face, 512, 512, gutter);
        Charts mixed = assorted_charts(3000);
        ASSERT_EQ(
            pack_charts(*mixed.mesh, {}, mixed.chart_of_face, 512, 512, gutter, nullptr, 0.01f),
            Status::Ok);
        expect_valid_layout(*mixed.mesh, mixed.chart_of_face, 512, 512, gutter);
    }
}

TEST(PackCharts, ManyEqualSmallChartsFillTheRoomTheirGuttersLeave) {
    // A thousand unit squares with gutter 4 in 512 x 512: at most a square
    // of (side + 4) texels each, so the side is at most 12.2 texels and the
    // coverage at most 0.567. The search on a grid of coarse cells rounds
    // every square and gutter up to whole cells; its answer alone covers
    // only 0.40.
    std::vector<AtlasVertex> v;
    std::vector<std::uint32_t> ix, chart;
    for (std::uint32_t c = 0; c < 1000; ++c) {
        add_unit_square(2.0f * float(c), c, v, ix, chart);
    }
    Charts squares = charts_of(v, ix, chart);
    ASSERT_EQ(pack_charts(*squares.mesh, {}, squares.chart_of_face, 512, 512, 4.0f, nullptr, 0.01f),
              Status::Ok);
    expect_valid_layout(*squares.mesh, squares.chart_of_face, 512, 512, 4.0f);
    double covered = 0;
    for (std::uint32_t f = 0; f < squares.mesh->face_count(); ++f) {
        covered += uv_area(*squares.mesh, f);
    }
    EXPECT_GT(covered, 0.45);
    EXPECT_LT(covered, 0.567);
}

TEST(PackCharts, SmallChartsFillTheHoleOfARingOfManyTriangles) {
    // A ring of 192 triangles is rasterised from its outline: its hole must
    // stay free and its band claimed, so some of the squares packed with it
    // land in the hole and none overlaps the band.
    std::vector<AtlasVertex> v;
    std::vector<std::uint32_t> ix, chart;
    const int sides = 48;
    for (int k = 0; k < sides; ++k) {
        const float a = 6.2831853f * float(k) / float(sides);
        for (float r : {7.0f, 8.5f, 10.0f}) {
            v.push_back({0, 0, 0, r * std::cos(a), r * std::sin(a)});
        }
    }
    for (std::uint32_t k = 0; k < sides; ++k) {
        const std::uint32_t next = 3 * ((k + 1) % sides);
        for (std::uint32_t band = 0; band < 2; ++band) {
            const std::uint32_t i = 3 * k + band, o = i + 1, i2 = next + band, o2 = i2 + 1;
            ix.insert(ix.end(), {o, o2, i2, o, i2, i});
            chart.insert(chart.end(), {0, 0});
        }
    }
    for (std::uint32_t c = 1; c <= 40; ++c) {
        add_unit_square(20.0f + 2.0f * float(c), c, v, ix, chart);
    }
    Charts charts = charts_of(v, ix, chart);
    ASSERT_EQ(pack_charts(*charts.mesh, {}, charts.chart_of_face, 256, 256, 2.0f, nullptr, 0.01f),
              Status::Ok);
    expect_valid_layout(*charts.mesh, charts.chart_of_face, 256, 256, 2.0f);
    const auto out = charts.mesh->vertices();
    double cu = 0, cv = 0, inner = 0;
    for (int k = 0; k < sides; ++k) {
        cu += out[3 * k].u / sides;
        cv += out[3 * k].v / sides;
    }
    inner = std::hypot(out[0].u - cu, out[0].v - cv);
    int in_hole = 0;
    for (std::size_t s = 3 * sides; s < out.size(); s += 4) {
        in_hole += std::hypot(out[s].u - cu, out[s].v - cv) < inner;
    }
    EXPECT_GT(in_hole, 0);
}

// A density chooses the size: the smallest power of two (or any side) that
// holds the charts at exactly that many texels per unit, or none past the
// largest side, leaving the mesh as it was.
TEST(PackCharts, ADensityChoosesTheSmallestSideThatHoldsIt) {
    const double density = 9.0;
    auto packed_side = [&](Charts& charts, std::uint32_t max_size, bool any_size) {
        std::uint32_t side = 0;
        const Status s =
            pack_charts_at_density(*charts.mesh, {}, charts.chart_of_face,
                                   {density, max_size, any_size}, 3.0f, nullptr, 0.01f, &side);
        return succeeded(s) ? side : 0u;
    };
    Charts charts = assorted_charts(40);
    const auto before = charts.mesh->clone();
    const std::uint32_t side = packed_side(charts, 4096, false);
    ASSERT_GT(side, 0u);
    EXPECT_EQ(side & (side - 1), 0u);
    expect_valid_layout(*charts.mesh, charts.chart_of_face, side, side, 3.0f);
    auto corrected = charts.mesh->clone();
    apply_corrections(corrected->vertices(), side, side, 3.0f);
    const auto ix = corrected->indices();
    for (std::uint32_t j = 0; j < ix.size(); j += 3) {
        const double texels =
            distance(corrected->vertices()[ix[j]], corrected->vertices()[ix[j + 1]]) * side;
        EXPECT_NEAR(texels / distance(before->vertices()[ix[j]], before->vertices()[ix[j + 1]]),
                    density, 1e-3 * density);
    }

    Charts half = assorted_charts(40);
    EXPECT_EQ(packed_side(half, side / 2, false), 0u);
    const auto untouched = half.mesh->vertices();
    EXPECT_EQ(0, std::memcmp(untouched.data(), before->vertices().data(), untouched.size_bytes()));

    Charts any = assorted_charts(40);
    const std::uint32_t tight = packed_side(any, side, true);
    ASSERT_GT(tight, side / 2);
    EXPECT_LE(tight, side);
    expect_valid_layout(*any.mesh, any.chart_of_face, tight, tight, 3.0f);
    Charts smaller = assorted_charts(40);
    EXPECT_EQ(packed_side(smaller, tight - 1, true), 0u);
}
