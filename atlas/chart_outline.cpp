#include "atlas/chart_outline.h"

#include <algorithm>
#include <cstdlib>

namespace vellumar::atlas {

bool chart_outline(const ChartSet& set, std::uint32_t c, std::vector<std::uint32_t>& outline) {
    outline.clear();
    struct Edge {
        std::uint32_t lo, hi;
        int direction; // +1 from lo to hi, -1 back
        bool operator<(const Edge& o) const { return lo != o.lo ? lo < o.lo : hi < o.hi; }
    };
    std::vector<Edge> edges;
    bool positive = false, negative = false;
    for (std::uint32_t t = set.triangle_begin[c]; t < set.triangle_begin[c + 1]; ++t) {
        const std::uint32_t* tri = &set.triangles[3 * t];
        const double* a = &set.uv[2 * tri[0]];
        const double* b = &set.uv[2 * tri[1]];
        const double* d = &set.uv[2 * tri[2]];
        const double area = (b[0] - a[0]) * (d[1] - a[1]) - (b[1] - a[1]) * (d[0] - a[0]);
        positive = positive || area > 0;
        negative = negative || area < 0;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t from = tri[k], to = tri[(k + 1) % 3];
            if (from != to) {
                edges.push_back({std::min(from, to), std::max(from, to), from < to ? 1 : -1});
            }
        }
    }
    if (positive && negative) {
        return false;
    }
    std::sort(edges.begin(), edges.end());
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i;
        int net = 0;
        for (; j < edges.size() && !(edges[i] < edges[j]); ++j) {
            net += edges[j].direction;
        }
        // What is left of the edge after its opposite runs cancel, as often
        // as it is left: the winding number sums every triangle's.
        for (int n = 0; n < std::abs(net); ++n) {
            outline.push_back(net > 0 ? edges[i].lo : edges[i].hi);
            outline.push_back(net > 0 ? edges[i].hi : edges[i].lo);
        }
        i = j;
    }
    return true;
}

} // namespace vellumar::atlas
