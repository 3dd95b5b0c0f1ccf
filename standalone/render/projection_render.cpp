#include "standalone/render/projection_render.h"

#include "host/text.h"
#include "standalone/render/element_render.h"
#include "standalone/render/parallel_texels.h"
#include "standalone/render/ray_projection.h"

#include <cmath>
#include <cstdio>

namespace {

std::string node_name(INode* node) {
    return WideToUtf8(node->GetName());
}

// UVW match: every source drawn in the shared channel and shaded as
// itself, the first source at a texel winning.
ProjectedImage render_matched(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                              const StandaloneBakeElement& e, int w, int h, int margin) {
    ProjectedImage image(w, h);
    const Matrix3 targetTM = target->GetObjectTM(ctx.Time());
    bool any = false;
    for (INode* source : setup.sources) {
        const BakeMesh mesh =
            ExtractBakeMesh(source, ctx.Time(), setup.channel, ctx.ShadeChannels(source->GetMtl()));
        if (mesh.TriangleCount() == 0) {
            continue;
        }
        any = true;
        const TexelCoverage cov = RasterizeUVs(mesh.uv, w, h, margin);
        image.Add(cov, RenderElement(ctx, source, mesh, cov, e, targetTM));
    }
    if (!any) {
        throw RenderFailure("Object " + node_name(target) +
                            " projects no source object with texture coordinates in map "
                            "channel " +
                            std::to_string(setup.channel));
    }
    return image;
}

// The window texel of `to` that image-wide texel `full` falls on.
std::size_t window_index(const TexelCoverage& to, std::size_t full) {
    const std::size_t x = full % std::size_t(to.width), y = full / std::size_t(to.width);
    return (y - std::size_t(to.y0)) * std::size_t(to.w) + (x - std::size_t(to.x0));
}

// Ray traced: the target's own texels, each shaded as the source point its
// ray found. Normals are the sources' shading normals written in the
// target's frames, which is what makes a low model look like the high one.
ProjectedImage render_traced(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                             const StandaloneBakeElement& e, int w, int h, int margin) {
    const TimeValue t = ctx.Time();
    const BakeMesh low = ExtractBakeMesh(target, t, setup.channel);
    if (low.TriangleCount() == 0) {
        throw RenderFailure("Object " + node_name(target) +
                            " has no texture coordinates in map channel " +
                            std::to_string(setup.channel) + " to bake into");
    }
    if (!(setup.rayOffset > 0) || !std::isfinite(setup.rayOffset)) {
        throw RenderFailure("Object " + node_name(target) +
                            ": the projection's ray offset must be a positive distance");
    }
    std::vector<BakeMesh> high;
    std::size_t triangles = 0;
    for (INode* source : setup.sources) {
        high.push_back(ExtractBakeMesh(source, t, -1, ctx.ShadeChannels(source->GetMtl())));
        triangles += high.back().TriangleCount();
    }
    if (triangles == 0) {
        throw RenderFailure("Object " + node_name(target) +
                            " projects no source object with a surface");
    }
    const TexelCoverage cov = RasterizeUVs(low.uv, w, h, margin);
    const ProjectionHits hits = TraceProjection(low, cov, high, setup.rayOffset, BakeThreads());
    if (setup.warnRayMiss && !hits.missed.empty()) {
        char offset[32];
        std::snprintf(offset, sizeof offset, "%g", double(setup.rayOffset));
        ctx.Warn("Object " + node_name(target) + ": " + std::to_string(hits.missed.size()) +
                 " texels found no projection source within the ray offset of " + offset);
    }
    const Matrix3 targetTM = target->GetObjectTM(t);
    ProjectedImage image(w, h);
    std::vector<Point3> normals;
    if (IsNormalsElement(e)) {
        normals.assign(cov.triangle.size(), Point3(0, 0, 0));
    }
    for (std::size_t s = 0; s < high.size(); ++s) {
        const TexelCoverage part = SourceCoverage(hits, static_cast<int>(s));
        if (part.w == 0) {
            continue;
        }
        INode* source = setup.sources[s];
        if (normals.empty()) {
            image.Add(part, RenderElement(ctx, source, high[s], part, e, targetTM));
            continue;
        }
        const std::vector<Point3> n =
            ShadingNormals(high[s], part, ctx.ShadersFor(source->GetMtl(), high[s]), BakeThreads());
        for (std::size_t j = 0; j < part.triangle.size(); ++j) {
            if (part.triangle[j] >= 0) {
                normals[window_index(cov, part.FullIndex(j))] = n[j];
            }
        }
    }
    if (!normals.empty()) {
        image.Add(hits.found, EncodeNormals(e, low, hits.found, targetTM, normals));
    }
    image.SetMissed(hits.missed);
    return image;
}

} // namespace

ProjectedImage RenderProjected(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                               const StandaloneBakeElement& e, int w, int h, int margin) {
    return setup.raytrace ? render_traced(ctx, target, setup, e, w, h, margin)
                          : render_matched(ctx, target, setup, e, w, h, margin);
}
