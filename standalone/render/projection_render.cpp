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

// The window texel of `to` that image-wide texel `full` falls on.
std::size_t window_index(const TexelCoverage& to, std::size_t full) {
    const std::size_t x = full % std::size_t(to.width), y = full / std::size_t(to.width);
    return (y - std::size_t(to.y0)) * std::size_t(to.w) + (x - std::size_t(to.x0));
}

} // namespace

ProjectionRender::ProjectionRender(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                                   const StandaloneBakeElement& e, int w, int h, int margin)
    : ctx_(ctx), target_(target), setup_(setup), e_(e), w_(w), h_(h), margin_(margin),
      targetTM_(target->GetObjectTM(ctx.Time())) {
    const TimeValue t = ctx.Time();
    if (!setup.raytrace) {
        // UVW match: every source drawn in the shared channel and shaded as
        // itself, the first source at a texel winning.
        bool any = false;
        for (INode* source : setup.sources) {
            meshes_.push_back(
                ExtractBakeMesh(source, t, setup.channel, ctx.ShadeChannels(source->GetMtl())));
            any = any || meshes_.back().TriangleCount() > 0;
        }
        if (!any) {
            throw RenderFailure("Object " + node_name(target) +
                                " projects no source object with texture coordinates in map "
                                "channel " +
                                std::to_string(setup.channel));
        }
        return;
    }
    low_ = ExtractBakeMesh(target, t, setup.channel);
    if (low_.TriangleCount() == 0) {
        throw RenderFailure("Object " + node_name(target) +
                            " has no texture coordinates in map channel " +
                            std::to_string(setup.channel) + " to bake into");
    }
    if (!(setup.rayOffset > 0) || !std::isfinite(setup.rayOffset)) {
        throw RenderFailure("Object " + node_name(target) +
                            ": the projection's ray offset must be a positive distance");
    }
    std::size_t triangles = 0;
    for (INode* source : setup.sources) {
        meshes_.push_back(ExtractBakeMesh(source, t, -1, ctx.ShadeChannels(source->GetMtl())));
        triangles += meshes_.back().TriangleCount();
    }
    if (triangles == 0) {
        throw RenderFailure("Object " + node_name(target) +
                            " projects no source object with a surface");
    }
}

ProjectedImage ProjectionRender::Band(RowRange rows, RowRange own) {
    return setup_.raytrace ? traced(rows, own) : matched(rows);
}

ProjectedImage ProjectionRender::matched(RowRange rows) {
    ProjectedImage image(w_, h_, rows);
    for (std::size_t s = 0; s < meshes_.size(); ++s) {
        if (meshes_[s].TriangleCount() == 0) {
            continue;
        }
        const TexelCoverage cov = RasterizeUVs(meshes_[s].uv, w_, h_, margin_, rows);
        image.Add(cov, RenderElement(ctx_, setup_.sources[s], meshes_[s], cov, e_, targetTM_));
    }
    return image;
}

// Ray traced: the target's own texels, each shaded as the source point its
// ray found. Normals are the sources' shading normals written in the
// target's frames, which is what makes a low model look like the high one.
ProjectedImage ProjectionRender::traced(RowRange rows, RowRange own) {
    const TexelCoverage cov = RasterizeUVs(low_.uv, w_, h_, margin_, rows);
    const ProjectionHits hits =
        TraceProjection(low_, cov, meshes_, setup_.rayOffset, BakeThreads());
    ProjectedImage image(w_, h_, rows);
    std::vector<Point3> normals;
    if (IsNormalsElement(e_)) {
        normals.assign(cov.triangle.size(), Point3(0, 0, 0));
    }
    for (std::size_t s = 0; s < meshes_.size(); ++s) {
        const TexelCoverage part = SourceCoverage(hits, static_cast<int>(s));
        if (part.w == 0) {
            continue;
        }
        INode* source = setup_.sources[s];
        if (normals.empty()) {
            image.Add(part, RenderElement(ctx_, source, meshes_[s], part, e_, targetTM_));
            continue;
        }
        const std::vector<Point3> n = ShadingNormals(
            meshes_[s], part, ctx_.ShadersFor(source->GetMtl(), meshes_[s]), BakeThreads());
        for (std::size_t j = 0; j < part.triangle.size(); ++j) {
            if (part.triangle[j] >= 0) {
                normals[window_index(cov, part.FullIndex(j))] = n[j];
            }
        }
    }
    if (!normals.empty()) {
        image.Add(hits.found, EncodeNormals(e_, low_, hits.found, targetTM_, normals));
    }
    // Bands share their context rows: only texels of a band's own rows
    // count.
    for (std::size_t texel : hits.missed) {
        const int y = int(texel / std::size_t(w_));
        missed_ += y >= own.from && y < own.to ? 1 : 0;
    }
    if (setup_.warnRayMiss && own.to >= h_ && missed_ > 0) {
        char offset[32];
        std::snprintf(offset, sizeof offset, "%g", double(setup_.rayOffset));
        ctx_.Warn("Object " + node_name(target_) + ": " + std::to_string(missed_) +
                  " texels found no projection source within the ray offset of " + offset);
    }
    image.SetMissed(hits.missed);
    return image;
}
