#include "bake/pixel_merge.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

BMM_Color_64 px(WORD r, WORD g, WORD b, WORD a) {
    return {r, g, b, a};
}

} // namespace

TEST(PixelMerge, TransparentPartsFillEachOthersGaps) {
    const BMM_Color_64 none = px(0, 0, 0, 0);
    std::vector<BMM_Color_64> base = {px(10, 20, 30, 65535), none, none};
    const std::vector<BMM_Color_64> part = {none, px(1, 2, 3, 65535), none};
    MergePixelRow(base.data(), part.data(), 3,
                  BackgroundFromCorners(std::vector{none, none, none, none}.data()));
    EXPECT_EQ(base[0], px(10, 20, 30, 65535));
    EXPECT_EQ(base[1], px(1, 2, 3, 65535));
    EXPECT_EQ(base[2], none);
}

TEST(PixelMerge, AnOpaqueBackgroundNeverCoversAnotherPartAndOverlapsAddUpToSaturation) {
    const BMM_Color_64 grey = px(100, 100, 100, 65535);
    // Three corners of the background and one chart pixel in a corner: the
    // first equal pair, (0,2), decides.
    const BMM_Color_64 corners[4] = {grey, px(9, 9, 9, 65535), grey, grey};
    const BMM_Color_64 bg = BackgroundFromCorners(corners);
    EXPECT_EQ(bg, grey);
    std::vector<BMM_Color_64> base = {grey, px(500, 0, 0, 65535), px(60000, 10, 0, 40000)};
    const std::vector<BMM_Color_64> part = {px(7, 8, 9, 65535), grey, px(10000, 20, 0, 40000)};
    MergePixelRow(base.data(), part.data(), 3, bg);
    EXPECT_EQ(base[0], px(7, 8, 9, 65535));
    EXPECT_EQ(base[1], px(500, 0, 0, 65535));
    EXPECT_EQ(base[2], px(65535, 30, 0, 65535));
}

TEST(PixelMerge, CornersWithoutAnEqualPairGiveABackgroundOfZero) {
    const BMM_Color_64 corners[4] = {px(1, 0, 0, 1), px(2, 0, 0, 1), px(3, 0, 0, 1),
                                     px(4, 0, 0, 1)};
    EXPECT_EQ(BackgroundFromCorners(corners), px(0, 0, 0, 0));
}

TEST(PixelMerge, FloatPixelsCompareWithinAToleranceAndAddWithoutLimit) {
    const BMM_Color_fl corners[4] = {
        {0.5f, 0.5f, 0.5f, 1}, {2, 2, 2, 1}, {3, 3, 3, 1}, {0.5f + 5e-7f, 0.5f, 0.5f, 1}};
    const BMM_Color_fl bg = BackgroundFromCorners(corners);
    EXPECT_FLOAT_EQ(bg.r, 0.5f);
    std::vector<BMM_Color_fl> base = {{0.5f, 0.5f, 0.5f, 1}, {40, 1, 1, 1}, {1, 1, 1, 5e-7f}};
    const std::vector<BMM_Color_fl> part = {{7, 7, 7, 1}, {30, 1, 1, 1}, {2, 2, 2, 1}};
    MergePixelRow(base.data(), part.data(), 3, bg);
    EXPECT_FLOAT_EQ(base[0].r, 7);  // the base was background
    EXPECT_FLOAT_EQ(base[1].r, 70); // no clamping
    EXPECT_FLOAT_EQ(base[2].r, 2);  // alpha below 1e-6 counts as transparent
}
