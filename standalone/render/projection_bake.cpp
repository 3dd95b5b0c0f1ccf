#include "standalone/render/projection_bake.h"

#include "host/bake_properties.h"
#include "standalone/scene/projection_modifier.h"
#include "standalone/scene/scene.h"

#include <algorithm>

namespace {

INodeBakeProjProperties* projection_properties(INode* node) {
    return node != nullptr ? static_cast<INodeBakeProjProperties*>(
                                 node->GetInterface(NODE_BAKE_PROJ_PROPERTIES_INTERFACE))
                           : nullptr;
}

} // namespace

std::optional<ProjectionSetup> BakeProjectionOf(Scene& scene, INode* node) {
    INodeBakeProjProperties* p = projection_properties(node);
    if (p == nullptr || p->GetEnabled() == 0) {
        return std::nullopt;
    }
    auto* mod = dynamic_cast<ProjectionModifier*>(p->GetProjMod());
    if (mod == nullptr) {
        return std::nullopt;
    }
    ProjectionSetup setup;
    setup.channel = p->GetBakeChannel();
    setup.raytrace = p->GetProjSpace() != INodeBakeProjProperties::k_ProjSpace_UVW;
    setup.rayOffset = p->GetRayOffset();
    setup.warnRayMiss = p->GetWarnRayMiss() != 0;
    for (ULONG handle : mod->SourceHandles()) {
        INode* source = scene.NodeByHandle(handle);
        // A node projecting onto itself would only show itself.
        if (source != nullptr && source != node) {
            setup.sources.push_back(source);
        }
    }
    return setup;
}

bool IsProjectionTarget(INode* node) {
    INodeBakeProjProperties* p = projection_properties(node);
    return p != nullptr && p->GetEnabled() != 0 && p->GetProjMod() != nullptr;
}

ProjectedImage::ProjectedImage(int width, int height, RowRange rows) {
    coverage_.width = coverage_.w = width;
    coverage_.height = height;
    coverage_.y0 = std::clamp(rows.from, 0, height);
    coverage_.h = std::clamp(rows.to, coverage_.y0, height) - coverage_.y0;
    const std::size_t n = std::size_t(width) * std::size_t(coverage_.h);
    coverage_.triangle.assign(n, -1);
    coverage_.b1.assign(n, 0.0f);
    coverage_.b2.assign(n, 0.0f);
    rgba_.assign(n * 4, 0.0f);
}

void ProjectedImage::Add(const TexelCoverage& cov, const std::vector<float>& rgba) {
    for (std::size_t i = 0; i < cov.triangle.size(); ++i) {
        if (cov.triangle[i] < 0) {
            continue;
        }
        const std::size_t full = cov.FullIndex(i);
        const std::size_t first = std::size_t(coverage_.y0) * std::size_t(coverage_.w);
        if (full < first || full - first >= coverage_.triangle.size()) {
            continue;
        }
        const std::size_t to = full - first;
        if (coverage_.triangle[to] >= 0) {
            continue;
        }
        coverage_.triangle[to] = 0;
        std::copy_n(&rgba[i * 4], 4, &rgba_[to * 4]);
    }
}

void ProjectedImage::PaintMissed(const float rgba[4]) {
    const std::size_t first = std::size_t(coverage_.y0) * std::size_t(coverage_.w);
    for (std::size_t i : missed_) {
        if (i >= first && i - first < coverage_.triangle.size()) {
            std::copy_n(rgba, 4, &rgba_[(i - first) * 4]);
        }
    }
}
