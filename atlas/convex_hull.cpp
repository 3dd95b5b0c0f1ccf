#include "atlas/convex_hull.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vellumar::atlas {

namespace {

double cross(double ax, double ay, double bx, double by) {
    return ax * by - ay * bx;
}

} // namespace

void convex_hull(const double* xy, std::size_t n, std::vector<std::uint32_t>& order,
                 std::vector<std::uint32_t>& hull) {
    if (n == 0) {
        hull.clear();
        return;
    }
    order.resize(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (xy[2 * a] != xy[2 * b]) {
            return xy[2 * a] < xy[2 * b];
        }
        return xy[2 * a + 1] < xy[2 * b + 1];
    });
    hull.assign(2 * n + 1, 0);
    std::size_t k = 0;
    auto turn = [&](std::uint32_t o, std::uint32_t a, std::uint32_t b) {
        return cross(xy[2 * a] - xy[2 * o], xy[2 * a + 1] - xy[2 * o + 1], xy[2 * b] - xy[2 * o],
                     xy[2 * b + 1] - xy[2 * o + 1]);
    };
    for (std::size_t i = 0; i < n; ++i) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], order[i]) <= 0) {
            --k;
        }
        hull[k++] = order[i];
    }
    for (std::size_t i = n - 1, t = k + 1; i-- > 0;) {
        while (k >= t && turn(hull[k - 2], hull[k - 1], order[i]) <= 0) {
            --k;
        }
        hull[k++] = order[i];
    }
    hull.resize(k > 1 ? k - 1 : k);
}

double polygon_area(const double* xy, const std::vector<std::uint32_t>& hull) {
    double twice = 0;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const std::uint32_t a = hull[i], b = hull[(i + 1) % hull.size()];
        twice += cross(xy[2 * a], xy[2 * a + 1], xy[2 * b], xy[2 * b + 1]);
    }
    return 0.5 * std::abs(twice);
}

} // namespace vellumar::atlas
