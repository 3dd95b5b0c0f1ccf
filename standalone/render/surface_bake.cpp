#include "standalone/render/surface_bake.h"

#include "standalone/render/parallel_texels.h"
#include "standalone/render/tangent_frames.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Everything a texel's shading needs about its surface point.
struct TexelPoint {
    std::size_t corner = 0; // first corner of its triangle
    float w[3] = {1, 0, 0};
    Point3 position, normal, geometric;
    ShadePoint shade;
};

// The frames in which each shading channel's normal maps are read.
std::vector<TangentFrames> shade_frames(const BakeMesh& mesh) {
    std::vector<TangentFrames> frames(mesh.shadeUV.size());
    for (std::size_t s = 0; s < mesh.shadeUV.size(); ++s) {
        if (mesh.shadeUV[s].size() != mesh.uv.size()) {
            continue;
        }
        BakeMesh copy;
        copy.position = mesh.position;
        copy.normal = mesh.normal;
        copy.uv = mesh.shadeUV[s];
        frames[s] = ComputeTangentFrames(copy);
    }
    return frames;
}

bool texel_point(const BakeMesh& mesh, const TexelCoverage& cov, std::size_t i, TexelPoint& out) {
    const int tri = cov.triangle[i];
    if (tri < 0) {
        return false;
    }
    const std::size_t c = std::size_t(tri) * 3;
    out.corner = c;
    out.w[1] = cov.b1[i];
    out.w[2] = cov.b2[i];
    out.w[0] = 1.0f - out.w[1] - out.w[2];
    const float* w = out.w;
    out.position =
        mesh.position[c] * w[0] + mesh.position[c + 1] * w[1] + mesh.position[c + 2] * w[2];
    out.geometric = Normalize(CrossProd(mesh.position[c + 1] - mesh.position[c],
                                        mesh.position[c + 2] - mesh.position[c]));
    out.normal =
        Normalize(mesh.normal[c] * w[0] + mesh.normal[c + 1] * w[1] + mesh.normal[c + 2] * w[2]);
    if (out.normal.Length() == 0) {
        out.normal = out.geometric;
    }
    out.shade.count = 0;
    for (std::size_t s = 0; s < mesh.shadeUV.size() && s < ShadePoint::kMaxChannels; ++s) {
        const std::vector<Point2>& uv = mesh.shadeUV[s];
        if (uv.size() != mesh.uv.size()) {
            continue;
        }
        const int k = out.shade.count++;
        out.shade.channel[k] = mesh.shadeChannel[s];
        out.shade.uv[k] = Point2(uv[c].x * w[0] + uv[c + 1].x * w[1] + uv[c + 2].x * w[2],
                                 uv[c].y * w[0] + uv[c + 1].y * w[1] + uv[c + 2].y * w[2]);
    }
    return true;
}

// The normal bent by a tangent-space map normal, in the frame of the
// map's channel; the plain normal when that channel has no frames.
Point3 bend(const BakeMesh& mesh, const std::vector<TangentFrames>& frames, const TexelPoint& tp,
            const SurfaceSample& s) {
    for (std::size_t k = 0; k < mesh.shadeChannel.size(); ++k) {
        if (mesh.shadeChannel[k] != s.normalChannel || frames[k].tangent.empty()) {
            continue;
        }
        const TangentFrames& f = frames[k];
        const std::size_t c = tp.corner;
        Point3 t = f.tangent[c] * tp.w[0] + f.tangent[c + 1] * tp.w[1] + f.tangent[c + 2] * tp.w[2];
        const Point3& n = tp.normal;
        t = Normalize(t - n * DotProd(n, t));
        if (t.Length() == 0) {
            return n;
        }
        const Point3 b = CrossProd(n, t) * (f.sign[c] < 0 ? -1.0f : 1.0f);
        const Point3 m = s.mapNormal;
        const Point3 out = Normalize(t * m.x + b * m.y + n * m.z);
        return out.Length() == 0 ? n : out;
    }
    return tp.normal;
}

// The light arriving at a point with that normal: each light's colour by
// the cosine, where the light is not blocked.
Point3 irradiance(const SurfaceBakeInputs& in, const TexelPoint& tp, const Point3& n,
                  bool shadows) {
    Point3 sum(0, 0, 0);
    const Point3 lift = DotProd(tp.geometric, n) >= 0 ? tp.geometric : tp.geometric * -1.0f;
    const Point3 origin = tp.position + lift * in.offset;
    for (const BakeLight& l : in.lights) {
        const float cosine = DotProd(n, l.toLight);
        if (cosine <= 0) {
            continue;
        }
        if (shadows && in.rays != nullptr &&
            in.rays->Occluded(origin, l.toLight, 0.0f, std::numeric_limits<float>::infinity())) {
            continue;
        }
        sum = sum + l.colour * cosine;
    }
    return sum;
}

Point3 times(const Point3& a, const Point3& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

} // namespace

BakeLight DefaultBakeLight() {
    BakeLight l;
    l.toLight = Normalize(Point3(-0.4f, -0.6f, 0.7f));
    return l;
}

std::vector<float> BakeSurface(const SurfaceBakeInputs& in, const SurfaceBakeSettings& s) {
    const BakeMesh& mesh = *in.mesh;
    const TexelCoverage& cov = *in.coverage;
    const std::size_t n = cov.triangle.size();
    std::vector<float> rgba(n * 4, 0.0f);
    const std::vector<TangentFrames> frames = shade_frames(mesh);
    const float span = s.maxHeight - s.minHeight;
    auto work = [&](std::size_t begin, std::size_t end) {
        TexelPoint tp;
        for (std::size_t i = begin; i < end; ++i) {
            if (!texel_point(mesh, cov, i, tp)) {
                continue;
            }
            const SurfaceSample sample = (*in.shaders)[tp.corner / 3]->Shade(tp.shade);
            const Point3 normal = sample.hasNormalMap ? bend(mesh, frames, tp, sample) : tp.normal;
            Point3 c;
            float alpha = 1.0f;
            switch (s.output) {
            case SurfaceOutput::Diffuse:
                c = s.lighting ? times(sample.diffuse, irradiance(in, tp, normal, s.shadows))
                               : sample.diffuse;
                break;
            case SurfaceOutput::Complete:
                // A self-lit surface shows its own colour in place of the
                // light it would get.
                c = times(sample.diffuse, (s.ambient + irradiance(in, tp, normal, s.shadows)) *
                                                  (1.0f - sample.selfIllumAmount) +
                                              Point3(1, 1, 1) * sample.selfIllumAmount) +
                    sample.selfIllum;
                break;
            case SurfaceOutput::Alpha: {
                const float a = s.invert ? 1.0f - sample.opacity : sample.opacity;
                c = Point3(a, a, a);
                alpha = sample.opacity;
                break;
            }
            case SurfaceOutput::Height: {
                // The surface is its own reference: its height is what its
                // bump map adds, from the middle grey up or down by half the range.
                const float h = (sample.bump - 0.5f) * span;
                const float v = span != 0 ? std::clamp((h - s.minHeight) / span, 0.0f, 1.0f) : 0.5f;
                c = Point3(v, v, v);
                break;
            }
            case SurfaceOutput::Shadows: {
                // Lit where every light arrives unblocked, dark where none does.
                const Point3 lit = irradiance(in, tp, normal, true);
                const Point3 open = irradiance(in, tp, normal, false);
                const float v = open.x > 0 ? std::clamp(lit.x / open.x, 0.0f, 1.0f) : 1.0f;
                c = Point3(v, v, v);
                break;
            }
            }
            rgba[i * 4 + 0] = c.x;
            rgba[i * 4 + 1] = c.y;
            rgba[i * 4 + 2] = c.z;
            rgba[i * 4 + 3] = alpha;
        }
    };
    ForTexelRanges(n, in.threads, work);
    return rgba;
}

std::vector<Point3> ShadingNormals(const BakeMesh& mesh, const TexelCoverage& cov,
                                   const TriangleShaders& shaders, int threads) {
    const std::size_t n = cov.triangle.size();
    std::vector<Point3> out(n, Point3(0, 0, 0));
    const std::vector<TangentFrames> frames = shade_frames(mesh);
    auto work = [&](std::size_t begin, std::size_t end) {
        TexelPoint tp;
        for (std::size_t i = begin; i < end; ++i) {
            if (!texel_point(mesh, cov, i, tp)) {
                continue;
            }
            const SurfaceSample sample = shaders[tp.corner / 3]->Shade(tp.shade);
            out[i] = sample.hasNormalMap ? bend(mesh, frames, tp, sample) : tp.normal;
        }
    };
    ForTexelRanges(n, threads, work);
    return out;
}
