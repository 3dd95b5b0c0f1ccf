#include "standalone/render/tangent_frames.h"

#include <cmath>
#include <map>
#include <tuple>

namespace {

// Any unit vector orthogonal to n.
Point3 orthogonal_to(const Point3& n) {
    const Point3 helper = std::fabs(n.x) > 0.9f ? Point3(0, 1, 0) : Point3(1, 0, 0);
    return Normalize(CrossProd(helper, n));
}

using CornerKey = std::tuple<float, float, float, float, float, float, float, float>;

CornerKey key_of(const BakeMesh& m, std::size_t c) {
    const Point3& p = m.position[c];
    const Point3& n = m.normal[c];
    return {p.x, p.y, p.z, n.x, n.y, n.z, m.uv[c].x, m.uv[c].y};
}

} // namespace

TangentFrames ComputeTangentFrames(const BakeMesh& m) {
    const std::size_t corners = m.TriangleCount() * 3;
    // Per triangle, the surface directions of increasing u (t) and v (b):
    // dp1 = du1 t + dv1 b, dp2 = du2 t + dv2 b, solved for t and b. Their
    // length grows with the triangle's area, which is the weighting wanted.
    std::vector<Point3> tri_t(corners / 3), tri_b(corners / 3);
    for (std::size_t t = 0; t < corners / 3; ++t) {
        const std::size_t c = t * 3;
        const Point3 dp1 = m.position[c + 1] - m.position[c];
        const Point3 dp2 = m.position[c + 2] - m.position[c];
        const float du1 = m.uv[c + 1].x - m.uv[c].x, dv1 = m.uv[c + 1].y - m.uv[c].y;
        const float du2 = m.uv[c + 2].x - m.uv[c].x, dv2 = m.uv[c + 2].y - m.uv[c].y;
        const float det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-20f || !std::isfinite(det)) {
            continue; // no UV area: the triangle says nothing about directions
        }
        const float r = 1.0f / det;
        const float area = CrossProd(dp1, dp2).Length();
        // Normalised gradients times the area: large triangles count more,
        // whatever their UV scale.
        tri_t[t] = Normalize((dp1 * dv2 - dp2 * dv1) * r) * area;
        tri_b[t] = Normalize((dp2 * du1 - dp1 * du2) * r) * area;
    }
    std::map<CornerKey, std::pair<Point3, Point3>> sums;
    for (std::size_t c = 0; c < corners; ++c) {
        auto& s = sums[key_of(m, c)];
        s.first = s.first + tri_t[c / 3];
        s.second = s.second + tri_b[c / 3];
    }
    TangentFrames out;
    out.tangent.resize(corners);
    out.sign.resize(corners);
    for (std::size_t c = 0; c < corners; ++c) {
        const auto& [t, b] = sums[key_of(m, c)];
        const Point3& n = m.normal[c];
        // Gram-Schmidt: the part of the u direction that lies in the surface.
        Point3 tangent = Normalize(t - n * DotProd(n, t));
        if (tangent.Length() == 0) {
            tangent = orthogonal_to(n);
        }
        out.tangent[c] = tangent;
        out.sign[c] = DotProd(CrossProd(n, tangent), b) < 0.0f ? -1.0f : 1.0f;
    }
    return out;
}
