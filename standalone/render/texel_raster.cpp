#include "standalone/render/texel_raster.h"

#include <algorithm>
#include <cmath>

int TexelCoverage::Covered() const {
    return static_cast<int>(
        std::count_if(triangle.begin(), triangle.end(), [](int t) { return t >= 0; }));
}

TexelCoverage RasterizeUVs(const std::vector<Point2>& uv, int width, int height) {
    TexelCoverage c;
    c.width = width;
    c.height = height;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    c.triangle.assign(n, -1);
    c.b1.assign(n, 0.0f);
    c.b2.assign(n, 0.0f);
    // Texel centres on the edge shared by two triangles belong to both; a
    // tiny tolerance keeps them from falling between the two in rounding.
    constexpr double kEdge = -1e-7;
    const std::size_t tris = uv.size() / 3;
    for (std::size_t t = 0; t < tris; ++t) {
        // Pixel coordinates: x = u * width, y = (1 - v) * height.
        double px[3], py[3];
        for (int k = 0; k < 3; ++k) {
            px[k] = double(uv[t * 3 + k].x) * width;
            py[k] = (1.0 - double(uv[t * 3 + k].y)) * height;
        }
        const double area = (px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]);
        if (!(std::fabs(area) > 1e-12)) { // no area, or NaN
            continue;
        }
        const int x0 = std::max(0, int(std::floor(std::min({px[0], px[1], px[2]}))));
        const int x1 = std::min(width - 1, int(std::ceil(std::max({px[0], px[1], px[2]}))));
        const int y0 = std::max(0, int(std::floor(std::min({py[0], py[1], py[2]}))));
        const int y1 = std::min(height - 1, int(std::ceil(std::max({py[0], py[1], py[2]}))));
        for (int y = y0; y <= y1; ++y) {
            const double cy = y + 0.5;
            for (int x = x0; x <= x1; ++x) {
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
                const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
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
    std::vector<std::size_t> ring;
    for (int pass = 0; pass < passes; ++pass) {
        ring.clear();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
                if (covered[i] != 0) {
                    continue;
                }
                float sum[4] = {0, 0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= width ||
                            ny >= height) {
                            continue;
                        }
                        const std::size_t j =
                            std::size_t(ny) * std::size_t(width) + std::size_t(nx);
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
        }
        if (ring.empty()) {
            return;
        }
        for (std::size_t i : ring) {
            covered[i] = 1;
        }
    }
}
