#include "atlas_checks.h"

#include "atlas/corrections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <tuple>

namespace vellumar::atlas::testing {

namespace {

struct P2 {
    double x, y;
};

double cross(P2 o, P2 a, P2 b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Whether the open triangles overlap with positive area: no separating axis
// among the six edge normals (touching along an edge or a point is fine).
bool interiors_overlap(const P2* t, const P2* s) {
    for (int pass = 0; pass < 2; ++pass) {
        const P2* a = pass == 0 ? t : s;
        for (int k = 0; k < 3; ++k) {
            const P2 p = a[k], q = a[(k + 1) % 3];
            const double nx = -(q.y - p.y), ny = q.x - p.x;
            if (nx == 0 && ny == 0) {
                continue;
            }
            double lo1 = 1e300, hi1 = -1e300, lo2 = 1e300, hi2 = -1e300;
            for (int j = 0; j < 3; ++j) {
                const double d1 = nx * t[j].x + ny * t[j].y, d2 = nx * s[j].x + ny * s[j].y;
                lo1 = std::min(lo1, d1);
                hi1 = std::max(hi1, d1);
                lo2 = std::min(lo2, d2);
                hi2 = std::max(hi2, d2);
            }
            const double slack = 1e-9 * std::hypot(nx, ny);
            if (hi1 <= lo2 + slack || hi2 <= lo1 + slack) {
                return false;
            }
        }
    }
    return true;
}

// Whether the open texel square meets the open triangle.
bool texel_touched(const P2* t, double x0, double y0) {
    const P2 box[4] = {{x0, y0}, {x0 + 1, y0}, {x0 + 1, y0 + 1}, {x0, y0 + 1}};
    double tx0 = 1e300, tx1 = -1e300, ty0 = 1e300, ty1 = -1e300;
    for (int k = 0; k < 3; ++k) {
        tx0 = std::min(tx0, t[k].x);
        tx1 = std::max(tx1, t[k].x);
        ty0 = std::min(ty0, t[k].y);
        ty1 = std::max(ty1, t[k].y);
    }
    if (tx1 <= x0 || tx0 >= x0 + 1 || ty1 <= y0 || ty0 >= y0 + 1) {
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        const P2 p = t[k], q = t[(k + 1) % 3];
        const double nx = -(q.y - p.y), ny = q.x - p.x;
        if (nx == 0 && ny == 0) {
            continue;
        }
        double lo1 = 1e300, hi1 = -1e300, lo2 = 1e300, hi2 = -1e300;
        for (int j = 0; j < 3; ++j) {
            const double d = nx * t[j].x + ny * t[j].y;
            lo1 = std::min(lo1, d);
            hi1 = std::max(hi1, d);
        }
        for (const P2& c : box) {
            const double d = nx * c.x + ny * c.y;
            lo2 = std::min(lo2, d);
            hi2 = std::max(hi2, d);
        }
        if (hi1 <= lo2 || hi2 <= lo1) {
            return false;
        }
    }
    return true;
}

} // namespace

double uv_area(const AtlasMesh& mesh, std::uint32_t f) {
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    const P2 a{v[ix[3 * f]].u, v[ix[3 * f]].v}, b{v[ix[3 * f + 1]].u, v[ix[3 * f + 1]].v},
        c{v[ix[3 * f + 2]].u, v[ix[3 * f + 2]].v};
    return 0.5 * cross(a, b, c);
}

double surface_area(const AtlasMesh& mesh, std::uint32_t f) {
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    const AtlasVertex& a = v[ix[3 * f]];
    const AtlasVertex& b = v[ix[3 * f + 1]];
    const AtlasVertex& c = v[ix[3 * f + 2]];
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

void expect_faithful_output(const AtlasMesh& input, const AtlasResult& result) {
    ASSERT_NE(result.mesh, nullptr);
    const AtlasMesh& out = *result.mesh;
    ASSERT_EQ(out.face_count(), input.face_count());
    ASSERT_EQ(out.indices().size(), input.indices().size());
    ASSERT_EQ(result.vertex_remap.size(), out.vertex_count());
    ASSERT_EQ(result.face_partition.size(), input.face_count());
    ASSERT_TRUE(out.indices_in_range());
    for (std::size_t c = 0; c < out.indices().size(); ++c) {
        ASSERT_EQ(result.vertex_remap[out.indices()[c]], input.indices()[c]) << "corner " << c;
    }
    for (std::uint32_t v = 0; v < out.vertex_count(); ++v) {
        ASSERT_LT(result.vertex_remap[v], input.vertex_count());
        const AtlasVertex& p = out.vertices()[v];
        const AtlasVertex& q = input.vertices()[result.vertex_remap[v]];
        ASSERT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z) << "vertex " << v;
    }
    std::vector<std::uint32_t> chart_of_vertex(out.vertex_count(), kNoNeighbour);
    std::vector<std::uint8_t> used(result.charts_out, 0);
    std::vector<std::uint32_t> parent(out.vertex_count());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](std::uint32_t x) {
        while (parent[x] != x) {
            x = parent[x] = parent[parent[x]];
        }
        return x;
    };
    for (std::uint32_t f = 0; f < out.face_count(); ++f) {
        const std::uint32_t chart = result.face_partition[f];
        ASSERT_LT(chart, result.charts_out);
        used[chart] = 1;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = out.indices()[3 * f + k];
            ASSERT_TRUE(chart_of_vertex[v] == kNoNeighbour || chart_of_vertex[v] == chart)
                << "vertex " << v << " shared by two charts";
            chart_of_vertex[v] = chart;
            parent[find(v)] = find(out.indices()[3 * f]);
        }
    }
    EXPECT_TRUE(std::all_of(used.begin(), used.end(), [](std::uint8_t u) { return u != 0; }));
    // Copies of different input vertices that a chart joins (point
    // representatives) sit at the same place with the same UV: one piece.
    std::map<std::tuple<std::uint32_t, float, float, float, float, float>, std::uint32_t> twin;
    for (std::uint32_t v = 0; v < out.vertex_count(); ++v) {
        if (chart_of_vertex[v] == kNoNeighbour) {
            continue;
        }
        const AtlasVertex& p = out.vertices()[v];
        auto [it, fresh] = twin.try_emplace({chart_of_vertex[v], p.x, p.y, p.z, p.u, p.v}, v);
        parent[find(v)] = find(it->second);
    }
    // A triangle without area may ride on any UV point of its chart.
    std::map<std::tuple<std::uint32_t, float, float>, std::uint32_t> at_uv;
    for (const bool flat : {false, true}) {
        for (std::uint32_t f = 0; f < out.face_count(); ++f) {
            for (int k = 0; k < 3 && (surface_area(out, f) == 0) == flat; ++k) {
                const std::uint32_t v = out.indices()[3 * f + k];
                const AtlasVertex& p = out.vertices()[v];
                const auto [it, fresh] = at_uv.try_emplace({chart_of_vertex[v], p.u, p.v}, v);
                parent[find(v)] = flat ? find(it->second) : find(v);
            }
        }
    }
    std::map<std::uint32_t, std::uint32_t> piece_of_chart;
    for (std::uint32_t f = 0; f < out.face_count(); ++f) {
        const std::uint32_t piece = find(out.indices()[3 * f]);
        auto [it, fresh] = piece_of_chart.try_emplace(result.face_partition[f], piece);
        EXPECT_EQ(it->second, piece) << "chart " << result.face_partition[f] << " falls apart";
    }
}

void expect_valid_layout(const AtlasMesh& mesh, std::span<const std::uint32_t> chart_of_face,
                         std::uint32_t width, std::uint32_t height, float gutter,
                         bool equal_density) {
    const std::uint32_t faces = mesh.face_count();
    double total3 = 0;
    for (std::uint32_t f = 0; f < faces; ++f) {
        total3 += surface_area(mesh, f);
    }
    const double has_area = 1e-10 * total3 / faces;

    // Density before the corrections (they scale all charts alike).
    std::map<std::uint32_t, std::pair<double, double>> areas; // chart -> (3D, UV)
    for (std::uint32_t f = 0; f < faces; ++f) {
        auto& a = areas[chart_of_face[f]];
        a.first += surface_area(mesh, f);
        a.second += uv_area(mesh, f);
    }
    if (equal_density) {
        double ratio = -1;
        for (const auto& [chart, a] : areas) {
            if (a.first < 1e-3 * total3) {
                continue; // float rounding dominates tiny charts
            }
            const double r = a.second / a.first;
            if (ratio < 0) {
                ratio = r;
            }
            EXPECT_NEAR(r / ratio, 1.0, 0.01) << "chart " << chart << " has another texel density";
        }
    }

    auto copy = mesh.clone();
    apply_corrections(copy->vertices(), float(width), float(height), gutter);
    const auto v = copy->vertices();
    const auto ix = copy->indices();
    for (const std::uint32_t i : ix) {
        ASSERT_TRUE(v[i].u >= 0 && v[i].u <= 1 && v[i].v >= 0 && v[i].v <= 1)
            << "uv out of the unit square: " << v[i].u << ", " << v[i].v;
    }
    // Texel space of the final image.
    std::vector<std::array<P2, 3>> tris(faces);
    for (std::uint32_t f = 0; f < faces; ++f) {
        for (int k = 0; k < 3; ++k) {
            tris[f][k] = {double(v[ix[3 * f + k]].u) * width, double(v[ix[3 * f + k]].v) * height};
        }
        const double a3 = surface_area(mesh, f);
        const double a = 0.5 * cross(tris[f][0], tris[f][1], tris[f][2]);
        if (a3 > has_area) {
            EXPECT_GT(a, 0.0) << "triangle " << f << " flipped or flat";
        } else {
            EXPECT_GE(a, -1e-9) << "triangle " << f << " without area turned over";
        }
    }

    // Overlaps: every pair of triangles with overlapping boxes.
    std::vector<std::uint32_t> order(faces);
    std::iota(order.begin(), order.end(), 0u);
    auto min_x = [&](std::uint32_t f) {
        return std::min({tris[f][0].x, tris[f][1].x, tris[f][2].x});
    };
    auto max_x = [&](std::uint32_t f) {
        return std::max({tris[f][0].x, tris[f][1].x, tris[f][2].x});
    };
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return min_x(a) < min_x(b); });
    std::vector<std::uint8_t> flat(faces, 0);
    for (std::uint32_t f = 0; f < faces; ++f) {
        // An open triangle without area is empty: it covers nothing.
        flat[f] = std::abs(cross(tris[f][0], tris[f][1], tris[f][2])) < 1e-12;
    }
    int overlaps = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (flat[order[i]]) {
            continue;
        }
        for (std::size_t j = i + 1; j < order.size() && min_x(order[j]) < max_x(order[i]); ++j) {
            if (!flat[order[j]] &&
                interiors_overlap(tris[order[i]].data(), tris[order[j]].data())) {
                ++overlaps;
            }
        }
    }
    EXPECT_EQ(overlaps, 0) << "overlapping UV triangles";

    // Gutter: label every touched texel with its chart, then look around.
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    constexpr std::int64_t kEmpty = -1, kMany = -2;
    std::vector<std::int64_t> label(static_cast<std::size_t>(w) * h, kEmpty);
    for (std::uint32_t f = 0; f < faces; ++f) {
        if (flat[f]) {
            continue;
        }
        const auto& t = tris[f];
        const int x0 = std::max(0, int(std::floor(min_x(f)))), x1 = std::min(w - 1, int(max_x(f)));
        const int y0 = std::max(0, int(std::floor(std::min({t[0].y, t[1].y, t[2].y}))));
        const int y1 = std::min(h - 1, int(std::max({t[0].y, t[1].y, t[2].y})));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (!texel_touched(t.data(), x, y)) {
                    continue;
                }
                std::int64_t& l = label[static_cast<std::size_t>(y) * w + x];
                l = (l == kEmpty || l == chart_of_face[f]) ? chart_of_face[f] : kMany;
            }
        }
    }
    const int r = static_cast<int>(std::ceil(gutter));
    int violations = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::int64_t l = label[static_cast<std::size_t>(y) * w + x];
            if (l == kEmpty) {
                continue;
            }
            bool bad = l == kMany;
            for (int dy = -r; dy <= r && !bad; ++dy) {
                for (int dx = -r; dx <= r && !bad; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= w || yy >= h) {
                        continue;
                    }
                    const std::int64_t o = label[static_cast<std::size_t>(yy) * w + xx];
                    bad = o != kEmpty && o != l;
                }
            }
            violations += bad ? 1 : 0;
        }
    }
    EXPECT_EQ(violations, 0) << "texels closer than the gutter to another chart";
}

double max_chart_stretch_squared(const AtlasMesh& mesh,
                                 std::span<const std::uint32_t> chart_of_face) {
    struct Sum {
        double a3 = 0, auv = 0, weighted = 0;
    };
    std::map<std::uint32_t, Sum> sums;
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    for (std::uint32_t f = 0; f < mesh.face_count(); ++f) {
        const double a3 = surface_area(mesh, f), a = uv_area(mesh, f);
        if (a <= 0 || a3 <= 0) {
            continue;
        }
        const AtlasVertex* q[3] = {&v[ix[3 * f]], &v[ix[3 * f + 1]], &v[ix[3 * f + 2]]};
        double ss = 0, st = 0;
        for (int d = 0; d < 3; ++d) {
            auto c = [&](int k) {
                return d == 0 ? double(q[k]->x) : d == 1 ? double(q[k]->y) : double(q[k]->z);
            };
            const double ds =
                (c(0) * (double(q[1]->v) - q[2]->v) + c(1) * (double(q[2]->v) - q[0]->v) +
                 c(2) * (double(q[0]->v) - q[1]->v)) /
                (2 * a);
            const double dt =
                (c(0) * (double(q[2]->u) - q[1]->u) + c(1) * (double(q[0]->u) - q[2]->u) +
                 c(2) * (double(q[1]->u) - q[0]->u)) /
                (2 * a);
            ss += ds * ds;
            st += dt * dt;
        }
        Sum& s = sums[chart_of_face[f]];
        s.a3 += a3;
        s.auv += a;
        s.weighted += a3 * 0.5 * (ss + st);
    }
    double worst = 1;
    for (const auto& [chart, s] : sums) {
        worst = std::max(worst, s.weighted / s.a3 * (s.auv / s.a3));
    }
    return worst;
}

} // namespace vellumar::atlas::testing
