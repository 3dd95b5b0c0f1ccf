#include "standalone/render/texel_raster.h"

#include <algorithm>
#include <cmath>

int TexelCoverage::Covered() const {
    return static_cast<int>(
        std::count_if(triangle.begin(), triangle.end(), [](int t) { return t >= 0; }));
}

namespace {

// A triangle in pixel coordinates (x = u * width, y = (1 - v) * height)
// with its signed double area and pixel bounds; false for one without
// area (or with a NaN corner).
struct PixelTriangle {
    double px[3], py[3], area;
    int x0, x1, y0, y1;
};

bool pixel_triangle(const std::vector<Point2>& uv, std::size_t t, int width, int height,
                    PixelTriangle& out) {
    for (int k = 0; k < 3; ++k) {
        out.px[k] = double(uv[t * 3 + k].x) * width;
        out.py[k] = (1.0 - double(uv[t * 3 + k].y)) * height;
    }
    const double* px = out.px;
    const double* py = out.py;
    out.area = (px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]);
    if (!(std::fabs(out.area) > 1e-12)) {
        return false;
    }
    out.x0 = std::max(0, int(std::floor(std::min({px[0], px[1], px[2]}))));
    out.x1 = std::min(width - 1, int(std::ceil(std::max({px[0], px[1], px[2]}))));
    out.y0 = std::max(0, int(std::floor(std::min({py[0], py[1], py[2]}))));
    out.y1 = std::min(height - 1, int(std::ceil(std::max({py[0], py[1], py[2]}))));
    return out.x0 <= out.x1 && out.y0 <= out.y1;
}

} // namespace

TexelWindow WindowOf(const std::vector<Point2>& uv, int width, int height, int margin,
                     RowRange rows) {
    TexelWindow c;
    const int first = std::max(0, rows.from), last = std::min(height, rows.to) - 1;
    const std::size_t tris = uv.size() / 3;
    PixelTriangle pt;
    if (first > last) {
        return c; // no rows: an empty window
    }
    if (margin < 0) {
        c.y0 = first;
        c.w = width;
        c.h = last - first + 1;
        return c;
    }
    int lx = width, ly = height, hx = -1, hy = -1;
    for (std::size_t t = 0; t < tris; ++t) {
        if (pixel_triangle(uv, t, width, height, pt) && pt.y1 + margin >= first &&
            pt.y0 - margin <= last) {
            lx = std::min(lx, pt.x0);
            ly = std::min(ly, pt.y0);
            hx = std::max(hx, pt.x1);
            hy = std::max(hy, pt.y1);
        }
    }
    if (hx >= 0) {
        c.x0 = std::max(0, lx - margin);
        c.y0 = std::max(first, ly - margin);
        c.w = std::min(width - 1, hx + margin) - c.x0 + 1;
        c.h = std::min(last, hy + margin) - c.y0 + 1;
    }
    return c;
}

TexelCoverage RasterizeUVs(const std::vector<Point2>& uv, int width, int height, int margin,
                           RowRange rows) {
    TexelCoverage c;
    c.width = width;
    c.height = height;
    const TexelWindow window = WindowOf(uv, width, height, margin, rows);
    c.x0 = window.x0;
    c.y0 = window.y0;
    c.w = window.w;
    c.h = window.h;
    const std::size_t tris = uv.size() / 3;
    PixelTriangle pt;
    const std::size_t n = std::size_t(c.w) * std::size_t(c.h);
    c.triangle.assign(n, -1);
    c.b1.assign(n, 0.0f);
    c.b2.assign(n, 0.0f);
    // Texel centres on the edge shared by two triangles belong to both; a
    // tiny tolerance keeps them from falling between the two in rounding.
    constexpr double kEdge = -1e-7;
    for (std::size_t t = 0; t < tris && n > 0; ++t) {
        if (!pixel_triangle(uv, t, width, height, pt)) {
            continue;
        }
        const double *px = pt.px, *py = pt.py;
        const double area = pt.area;
        const int top = std::max(pt.y0, c.y0), bottom = std::min(pt.y1, c.y0 + c.h - 1);
        for (int y = top; y <= bottom; ++y) {
            const double cy = y + 0.5;
            for (int x = pt.x0; x <= pt.x1; ++x) {
                const double cx = x + 0.5;
                // Barycentric weights of the centre from signed sub-areas.
                const double w1 =
                    ((cx - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (cy - py[0])) / area;
                const double w2 =
                    ((px[1] - px[0]) * (cy - py[0]) - (cx - px[0]) * (py[1] - py[0])) / area;
                const double w0 = 1.0 - w1 - w2;
                if (w0 < kEdge || w1 < kEdge || w2 < kEdge) {
                    continue;
                }
                const std::size_t i =
                    std::size_t(y - c.y0) * std::size_t(c.w) + std::size_t(x - c.x0);
                if (c.triangle[i] < 0) {
                    c.triangle[i] = static_cast<int>(t);
                    c.b1[i] = static_cast<float>(w1);
                    c.b2[i] = static_cast<float>(w2);
                }
            }
        }
    }
    return c;
}

void Dilate(std::vector<float>& rgba, std::vector<char>& covered, int width, int height,
            int passes) {
    // Only the ring of empty texels around the covered ones changes in a
    // pass, so the work follows the chart borders: an object small in a
    // large atlas costs what its charts cost, not what the atlas does.
    const std::size_t n = covered.size();
    std::vector<char> queued(n, 0);
    std::vector<std::size_t> frontier, ring;
    auto queue_around = [&](std::size_t i) {
        const int x = int(i % std::size_t(width)), y = int(i / std::size_t(width));
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= width || ny >= height) {
                    continue;
                }
                const std::size_t j = std::size_t(ny) * std::size_t(width) + std::size_t(nx);
                if (covered[j] == 0 && queued[j] == 0) {
                    queued[j] = 1;
                    frontier.push_back(j);
                }
            }
        }
    };
    if (passes > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            if (covered[i] != 0) {
                queue_around(i);
            }
        }
    }
    for (int pass = 0; pass < passes && !frontier.empty(); ++pass) {
        ring.clear();
        for (std::size_t i : frontier) {
            const int x = int(i % std::size_t(width)), y = int(i / std::size_t(width));
            float sum[4] = {0, 0, 0, 0};
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= width || ny >= height) {
                        continue;
                    }
                    const std::size_t j = std::size_t(ny) * std::size_t(width) + std::size_t(nx);
                    if (covered[j] == 1) {
                        for (int k = 0; k < 4; ++k) {
                            sum[k] += rgba[j * 4 + k];
                        }
                        ++count;
                    }
                }
            }
            if (count > 0) {
                for (int k = 0; k < 4; ++k) {
                    rgba[i * 4 + k] = sum[k] / float(count);
                }
                covered[i] = 2; // filled in this pass: not a source until the next
                ring.push_back(i);
            }
        }
        for (std::size_t i : ring) {
            covered[i] = 1;
        }
        frontier.clear();
        for (std::size_t i : ring) {
            queue_around(i);
        }
    }
}
