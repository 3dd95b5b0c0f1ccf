#include "standalone/render/ambient_occlusion.h"

#include "standalone/render/parallel_texels.h"
#include "standalone/render/texel_sampler.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Two unit vectors that make an orthonormal frame with n.
void frame_around(const Point3& n, Point3& t, Point3& b) {
    const Point3 helper = std::fabs(n.x) > 0.9f ? Point3(0, 1, 0) : Point3(1, 0, 0);
    t = Normalize(CrossProd(helper, n));
    b = CrossProd(n, t);
}

} // namespace

std::vector<float> BakeAmbientOcclusion(const BakeMesh& mesh, const TexelCoverage& coverage,
                                        const RayScene& rays, const OcclusionSettings& s,
                                        float offset, int threads) {
    const std::size_t n = coverage.triangle.size();
    std::vector<float> rgba(n * 4, 0.0f);
    const int samples = std::max(1, s.samples);
    const float spread = std::clamp(s.spread, 0.0f, 1.0f);
    // Directions fill a cone of half-angle spread * 90 degrees, weighted by
    // the cosine: cos^2 of the angle is uniform between cos^2(max) and 1.
    const float cos_max = std::cos(spread * 1.5707963f);
    const float cos2_max = cos_max * cos_max;
    const float tfar = s.maxDistance > 0 ? s.maxDistance : std::numeric_limits<float>::infinity();

    auto work = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const int tri = coverage.triangle[i];
            if (tri < 0) {
                continue;
            }
            // The surface point and its shading normal at the texel centre.
            const Point3 p = mesh.PointAt(tri, coverage.b1[i], coverage.b2[i]);
            const Point3 nrm = mesh.ShadingNormalAt(tri, coverage.b1[i], coverage.b2[i]);
            const Point3 ng = mesh.FaceNormal(tri);
            // Rays start off the geometric surface, on the side the normal faces.
            const Point3 lift = DotProd(ng, nrm) >= 0 ? ng : ng * -1.0f;
            const Point3 origin = p + lift * offset;
            Point3 t, b;
            frame_around(nrm, t, b);
            int open = 0;
            // Patterns follow the image texel, wherever the window lies.
            const auto texel = std::uint32_t(coverage.FullIndex(i));
            for (int k = 0; k < samples; ++k) {
                const float u1 =
                    UnitFloat(HashTexel(texel, std::uint32_t(k * 2), std::uint32_t(s.seed)));
                const float u2 =
                    UnitFloat(HashTexel(texel, std::uint32_t(k * 2 + 1), std::uint32_t(s.seed)));
                const float cos2 = 1.0f - u1 * (1.0f - cos2_max);
                const float ct = std::sqrt(cos2), st = std::sqrt(std::max(0.0f, 1.0f - cos2));
                const float phi = 6.2831853f * u2;
                const Point3 dir =
                    Normalize(t * (st * std::cos(phi)) + b * (st * std::sin(phi)) + nrm * ct);
                open += rays.Occluded(origin, dir, 0.0f, tfar) ? 0 : 1;
            }
            const float f = float(open) / float(samples);
            const Point3 colour = s.dark * (1.0f - f) + s.bright * f;
            rgba[i * 4 + 0] = colour.x;
            rgba[i * 4 + 1] = colour.y;
            rgba[i * 4 + 2] = colour.z;
            rgba[i * 4 + 3] = 1.0f;
        }
    };
    ForTexelRanges(n, threads, work);
    return rgba;
}
