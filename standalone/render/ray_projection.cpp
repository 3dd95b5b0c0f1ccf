#include "standalone/render/ray_projection.h"

#include "standalone/render/parallel_texels.h"

#include <algorithm>

namespace {

// All sources' triangles in one list, with where each source's begin.
struct SourceTriangles {
    std::vector<Point3> corners;
    std::vector<int> first; // per source, then the total

    int SourceOf(int triangle) const {
        return int(std::upper_bound(first.begin(), first.end(), triangle) - first.begin()) - 1;
    }
};

SourceTriangles gather(const std::vector<BakeMesh>& sources) {
    SourceTriangles out;
    for (const BakeMesh& m : sources) {
        out.first.push_back(static_cast<int>(out.corners.size() / 3));
        out.corners.insert(out.corners.end(), m.position.begin(), m.position.end());
    }
    out.first.push_back(static_cast<int>(out.corners.size() / 3));
    return out;
}

} // namespace

ProjectionHits TraceProjection(const BakeMesh& target, const TexelCoverage& coverage,
                               const std::vector<BakeMesh>& sources, float rayOffset, int threads) {
    const SourceTriangles all = gather(sources);
    const RayScene rays(all.corners);
    const std::size_t n = coverage.triangle.size();
    ProjectionHits out;
    out.found = coverage;
    out.source.assign(n, -1);
    out.hit.assign(n, RayHit{});
    auto work = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const int tri = coverage.triangle[i];
            if (tri < 0) {
                continue;
            }
            const Point3 p = target.PointAt(tri, coverage.b1[i], coverage.b2[i]);
            const Point3 normal = target.ShadingNormalAt(tri, coverage.b1[i], coverage.b2[i]);
            // The ray runs from the cage (the surface pushed out by the
            // offset) inwards to the same depth below the surface, in one
            // pass: the first source met from outside is the outermost one,
            // which is what the cage stands for, and a source behind the
            // surface is still found (where the high model dips below the
            // low one) without reaching through to the far side of the model.
            RayHit hit;
            if (normal.Length() != 0 && rays.Intersect(p + normal * rayOffset, normal * -1.0f, 0.0f,
                                                       2.0f * rayOffset, hit)) {
                const int s = all.SourceOf(hit.triangle);
                hit.triangle -= all.first[std::size_t(s)];
                out.source[i] = s;
                out.hit[i] = hit;
            } else {
                out.found.triangle[i] = -1;
            }
        }
    };
    ForTexelRanges(n, threads, work);
    out.bounds.assign(sources.size(), {coverage.w, coverage.h, -1, -1});
    for (std::size_t i = 0; i < n; ++i) {
        if (out.source[i] >= 0) {
            std::array<int, 4>& b = out.bounds[std::size_t(out.source[i])];
            const int x = int(i % std::size_t(coverage.w)), y = int(i / std::size_t(coverage.w));
            b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
        } else if (coverage.triangle[i] >= 0) {
            out.missed.push_back(coverage.FullIndex(i));
        }
    }
    return out;
}

TexelCoverage SourceCoverage(const ProjectionHits& hits, int source) {
    const TexelCoverage& all = hits.found;
    TexelCoverage out;
    out.width = all.width;
    out.height = all.height;
    const auto [lx, ly, hx, hy] = hits.bounds[std::size_t(source)];
    if (hx < lx) {
        return out;
    }
    out.x0 = all.x0 + lx;
    out.y0 = all.y0 + ly;
    out.w = hx - lx + 1;
    out.h = hy - ly + 1;
    const std::size_t n = std::size_t(out.w) * std::size_t(out.h);
    out.triangle.assign(n, -1);
    out.b1.assign(n, 0.0f);
    out.b2.assign(n, 0.0f);
    for (int y = 0; y < out.h; ++y) {
        for (int x = 0; x < out.w; ++x) {
            const std::size_t from = std::size_t(ly + y) * std::size_t(all.w) + std::size_t(lx + x);
            if (hits.source[from] != source) {
                continue;
            }
            const std::size_t to = std::size_t(y) * std::size_t(out.w) + std::size_t(x);
            out.triangle[to] = hits.hit[from].triangle;
            out.b1[to] = hits.hit[from].b1;
            out.b2[to] = hits.hit[from].b2;
        }
    }
    return out;
}
