#include "atlas/chart_check.h"

#include <algorithm>
#include <cmath>

namespace vellumar::atlas {

namespace {

// A triangle with area must keep at least this share of its 3D area in UV
// (after normalisation) to count as not flat; texel metrics call a
// triangle flat below 1e-8, so this leaves room for float output.
constexpr double kFlatRatio = 1e-6;

double orient(const double* a, const double* b, const double* c) {
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

} // namespace

ChartCheck ChartChecker::check(const ChartMesh& chart, const AtlasMesh& mesh,
                               const FaceGeometry& geometry, const std::vector<double>& uv) {
    ChartCheck result;
    const auto verts = mesh.vertices();
    const auto indices = mesh.indices();
    double area3 = 0, weighted = 0, uv_scale = 0;
    for (std::size_t i = 0; i < chart.faces.size(); ++i) {
        const std::uint32_t f = chart.faces[i];
        const double* t[3];
        for (int k = 0; k < 3; ++k) {
            t[k] = &uv[2 * chart.corner_vertex[3 * i + k]];
        }
        const double a = 0.5 * orient(t[0], t[1], t[2]);
        if (geometry.area[f] <= geometry.area_floor) {
            uv_scale = std::max(uv_scale, std::abs(a));
            continue;
        }
        result.uv_area += a;
        area3 += geometry.area[f];
        if (a <= 0) {
            result.folded = true;
            continue;
        }
        // Sander et al.: partial derivatives of the 3D position over (s, t).
        const AtlasVertex* q[3];
        for (int k = 0; k < 3; ++k) {
            q[k] = &verts[indices[3 * f + k]];
        }
        const double s1 = t[0][0], s2 = t[1][0], s3 = t[2][0];
        const double t1 = t[0][1], t2 = t[1][1], t3 = t[2][1];
        double ss = 0, st = 0;
        const double qx[3][3] = {
            {q[0]->x, q[0]->y, q[0]->z}, {q[1]->x, q[1]->y, q[1]->z}, {q[2]->x, q[2]->y, q[2]->z}};
        for (int x = 0; x < 3; ++x) {
            const double ds =
                (qx[0][x] * (t2 - t3) + qx[1][x] * (t3 - t1) + qx[2][x] * (t1 - t2)) / (2 * a);
            const double dt =
                (qx[0][x] * (s3 - s2) + qx[1][x] * (s1 - s3) + qx[2][x] * (s2 - s1)) / (2 * a);
            ss += ds * ds;
            st += dt * dt;
        }
        weighted += geometry.area[f] * 0.5 * (ss + st);
    }
    if (area3 <= 0) {
        return result; // nothing with area: nothing can flip or stretch
    }
    if (result.uv_area <= 0) {
        result.folded = true;
        return result;
    }
    const double norm = area3 / result.uv_area; // UV area scale to reach 3D area
    result.stretch_squared = weighted / area3 / norm;
    for (std::size_t i = 0; i < chart.faces.size() && !result.folded; ++i) {
        const std::uint32_t f = chart.faces[i];
        const double a = 0.5 * orient(&uv[2 * chart.corner_vertex[3 * i]],
                                      &uv[2 * chart.corner_vertex[3 * i + 1]],
                                      &uv[2 * chart.corner_vertex[3 * i + 2]]);
        if (geometry.area[f] > geometry.area_floor) {
            result.folded = a * norm <= kFlatRatio * geometry.area[f];
        } else {
            // Triangles without area may collapse but must not turn over.
            result.folded = a < 0;
        }
    }
    if (!result.folded) {
        result.folded = border_crosses(chart, uv);
    }
    return result;
}

// Border edges hashed into a uniform grid; pairs sharing a cell and no
// vertex are tested for a proper crossing. Expected cost O(border edges).
bool ChartChecker::border_crosses(const ChartMesh& chart, const std::vector<double>& uv) {
    segments_.clear();
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    for (std::size_t e = 0; e < chart.border.size(); ++e) {
        if (!chart.border[e]) {
            continue;
        }
        const std::size_t i = e / 3;
        const std::uint32_t a = chart.corner_vertex[e],
                            b = chart.corner_vertex[3 * i + (e + 1) % 3];
        if (a == b) {
            continue;
        }
        segments_.push_back(a);
        segments_.push_back(b);
        for (int x = 0; x < 2; ++x) {
            lo[x] = std::min({lo[x], uv[2 * a + x], uv[2 * b + x]});
            hi[x] = std::max({hi[x], uv[2 * a + x], uv[2 * b + x]});
        }
    }
    const std::size_t n = segments_.size() / 2;
    if (n < 3) {
        return false;
    }
    const int side = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(n))), 1, 1024);
    const double cw = std::max(hi[0] - lo[0], 1e-300) / side;
    const double ch = std::max(hi[1] - lo[1], 1e-300) / side;
    auto cell_range = [&](std::size_t s, int& x0, int& x1, int& y0, int& y1) {
        const double* a = &uv[2 * segments_[2 * s]];
        const double* b = &uv[2 * segments_[2 * s + 1]];
        x0 = std::clamp(static_cast<int>((std::min(a[0], b[0]) - lo[0]) / cw), 0, side - 1);
        x1 = std::clamp(static_cast<int>((std::max(a[0], b[0]) - lo[0]) / cw), 0, side - 1);
        y0 = std::clamp(static_cast<int>((std::min(a[1], b[1]) - lo[1]) / ch), 0, side - 1);
        y1 = std::clamp(static_cast<int>((std::max(a[1], b[1]) - lo[1]) / ch), 0, side - 1);
    };
    cell_begin_.assign(static_cast<std::size_t>(side) * side + 1, 0);
    for (std::size_t s = 0; s < n; ++s) {
        int x0, x1, y0, y1;
        cell_range(s, x0, x1, y0, y1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                ++cell_begin_[static_cast<std::size_t>(y) * side + x + 1];
            }
        }
    }
    for (std::size_t c = 1; c < cell_begin_.size(); ++c) {
        cell_begin_[c] += cell_begin_[c - 1];
    }
    cell_items_.assign(cell_begin_.back(), 0);
    std::vector<std::uint32_t> fill(cell_begin_.begin(), cell_begin_.end() - 1);
    for (std::size_t s = 0; s < n; ++s) {
        int x0, x1, y0, y1;
        cell_range(s, x0, x1, y0, y1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                cell_items_[fill[static_cast<std::size_t>(y) * side + x]++] =
                    static_cast<std::uint32_t>(s);
            }
        }
    }
    for (std::size_t c = 0; c + 1 < cell_begin_.size(); ++c) {
        for (std::uint32_t i = cell_begin_[c]; i < cell_begin_[c + 1]; ++i) {
            const std::uint32_t s = cell_items_[i];
            const std::uint32_t a = segments_[2 * s], b = segments_[2 * s + 1];
            for (std::uint32_t j = i + 1; j < cell_begin_[c + 1]; ++j) {
                const std::uint32_t r = cell_items_[j];
                const std::uint32_t c0 = segments_[2 * r], d0 = segments_[2 * r + 1];
                if (a == c0 || a == d0 || b == c0 || b == d0) {
                    continue;
                }
                const double* pa = &uv[2 * a];
                const double* pb = &uv[2 * b];
                const double* pc = &uv[2 * c0];
                const double* pd = &uv[2 * d0];
                const double o1 = orient(pa, pb, pc), o2 = orient(pa, pb, pd);
                const double o3 = orient(pc, pd, pa), o4 = orient(pc, pd, pb);
                if (((o1 < 0 && o2 > 0) || (o1 > 0 && o2 < 0)) &&
                    ((o3 < 0 && o4 > 0) || (o3 > 0 && o4 < 0))) {
                    return true;
                }
            }
        }
    }
    return false;
}

} // namespace vellumar::atlas
