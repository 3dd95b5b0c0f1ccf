#include "atlas/corrections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace vellumar::atlas;

namespace {

std::vector<AtlasVertex> uvs(std::initializer_list<std::pair<float, float>> list) {
    std::vector<AtlasVertex> v;
    for (auto [u, w] : list) {
        v.push_back({0, 0, 0, u, w});
    }
    return v;
}

} // namespace

TEST(GutterBorder, LeavesHalfTheGutterAroundAWideAtlas) {
    auto v = uvs({{0, 0}, {1, 1}});
    gutter_border(v, 1024, 512, 4);
    EXPECT_FLOAT_EQ(v[0].u, 4.0f / 2048);
    EXPECT_FLOAT_EQ(v[1].u, 1 - 4.0f / 512 + 4.0f / 2048);
}

TEST(AspectFit, ScalesOnlyWhenACoordinatePassesTheShortSide) {
    auto inside = uvs({{1.0f, 0.5f}, {0.2f, 0.1f}});
    aspect_fit(inside, 1024, 512);
    EXPECT_EQ(inside[0].u, 1.0f);
    EXPECT_EQ(inside[0].v, 0.5f);

    auto outside = uvs({{0.2f, 0.1f}, {0.5f, 0.6f}});
    aspect_fit(outside, 1024, 512);
    EXPECT_FLOAT_EQ(outside[0].u, 0.1f);
    EXPECT_FLOAT_EQ(outside[1].v, 0.3f);
}

TEST(ApplyCorrections, MapsBothAxesOntoTexelsWithOneScaleAndHalfAGutterOffset) {
    // The packer relies on texel = A * u + g/2 on both axes, with
    // A = max(W, H) * (1 - g / min(W, H)), as long as nothing triggers the
    // aspect fit; and on the layout staying inside the image.
    for (auto [w, h] :
         {std::pair{256.0f, 512.0f}, std::pair{512.0f, 256.0f}, std::pair{64.0f, 64.0f}}) {
        const float g = 6;
        const float a = std::max(w, h) * (1 - g / std::min(w, h));
        const float lu = std::min(w / h, 1.0f), lv = std::min(h / w, 1.0f);
        auto v = uvs({{0, 0}, {lu, lv}, {0.25f * lu, 0.75f * lv}});
        const auto before = v;
        apply_corrections(v, w, h, g);
        for (std::size_t i = 0; i < v.size(); ++i) {
            EXPECT_NEAR(v[i].u * w, a * before[i].u + g / 2, 1e-3);
            EXPECT_NEAR(v[i].v * h, a * before[i].v + g / 2, 1e-3);
            EXPECT_LE(v[i].u * w, w - g / 2 + 1e-3f);
            EXPECT_LE(v[i].v * h, h - g / 2 + 1e-3f);
        }
    }
}
