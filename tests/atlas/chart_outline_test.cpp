#include "atlas/chart_outline.h"

#include <gtest/gtest.h>

#include <map>

using namespace vellumar::atlas;

namespace {

// One chart: an n x n grid of unit squares, two triangles each, counter-
// clockwise.
ChartSet grid_chart(std::uint32_t n) {
    ChartSet set;
    for (std::uint32_t y = 0; y <= n; ++y) {
        for (std::uint32_t x = 0; x <= n; ++x) {
            set.uv.insert(set.uv.end(), {double(x), double(y)});
        }
    }
    for (std::uint32_t y = 0; y < n; ++y) {
        for (std::uint32_t x = 0; x < n; ++x) {
            const std::uint32_t a = y * (n + 1) + x, b = a + 1, c = a + n + 2, d = a + n + 1;
            set.triangles.insert(set.triangles.end(), {a, b, c, a, c, d});
        }
    }
    set.vertex_begin = {0, (n + 1) * (n + 1)};
    set.triangle_begin = {0, 2 * n * n};
    return set;
}

} // namespace

TEST(ChartOutline, KeepsTheBorderAsClosedLoopsAndRefusesAFlippedTriangle) {
    ChartSet set = grid_chart(5);
    std::vector<std::uint32_t> outline;
    ASSERT_TRUE(chart_outline(set, 0, outline));
    ASSERT_EQ(outline.size(), 2u * 20u);
    // Every vertex left is entered as often as it is left, and the loop
    // encloses the grid counter-clockwise.
    std::map<std::uint32_t, int> degree;
    double area = 0;
    for (std::size_t e = 0; e < outline.size(); e += 2) {
        const double* a = &set.uv[2 * outline[e]];
        const double* b = &set.uv[2 * outline[e + 1]];
        EXPECT_TRUE(a[0] == 0 || a[0] == 5 || a[1] == 0 || a[1] == 5);
        ++degree[outline[e]];
        --degree[outline[e + 1]];
        area += 0.5 * (a[0] * b[1] - b[0] * a[1]);
    }
    for (const auto& [vertex, d] : degree) {
        EXPECT_EQ(d, 0) << vertex;
    }
    EXPECT_DOUBLE_EQ(area, 25.0);

    std::swap(set.triangles[13], set.triangles[14]);
    EXPECT_FALSE(chart_outline(set, 0, outline));
    EXPECT_TRUE(outline.empty());
}
