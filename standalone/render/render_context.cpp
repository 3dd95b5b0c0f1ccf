#include "standalone/render/render_context.h"

#include "host/text.h"
#include "standalone/core.h"
#include "standalone/render/projection_bake.h"
#include "standalone/scene/node_ops.h"

#include <algorithm>
#include <cmath>

const RayScene& RenderContext::Rays() {
    if (rays_) {
        return *rays_;
    }
    std::vector<Point3> triangles;
    Point3 lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    for (const auto& node : core_.scene().Nodes()) {
        Mesh m;
        if (node->IsHidden() || IsProjectionTarget(node.get()) ||
            !EvaluatedMesh(node.get(), t_, m)) {
            continue;
        }
        const Matrix3 tm = node->GetObjectTM(t_);
        for (const Face& f : m.faces) {
            for (DWORD v : f.v) {
                const Point3 p = v < m.verts.size() ? tm.PointTransform(m.verts[v]) : Point3();
                triangles.push_back(p);
                if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
                    lo = Point3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                    hi = Point3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
                }
            }
        }
    }
    rays_ = std::make_unique<RayScene>(triangles);
    const float diagonal = hi.x >= lo.x ? (hi - lo).Length() : 1.0f;
    offset_ = std::max(diagonal * 1e-4f, 1e-6f);
    return *rays_;
}

float RenderContext::Offset() {
    Rays();
    return offset_;
}

const SurfaceShader& RenderContext::ShaderFor(Mtl* mtl) {
    auto& slot = shaders_[mtl];
    if (!slot) {
        std::vector<std::string> warnings;
        slot = std::make_unique<SurfaceShader>(mtl, warnings);
        for (const std::string& w : warnings) {
            Warn(w);
        }
    }
    return *slot;
}

std::vector<int> RenderContext::ShadeChannels(Mtl* mtl) {
    std::vector<int> out;
    for (Mtl* m : FaceMaterials(mtl)) {
        for (int ch : ShaderFor(m).Channels()) {
            // A point carries so many channels; further ones go unread.
            if (std::find(out.begin(), out.end(), ch) == out.end() &&
                out.size() < std::size_t(ShadePoint::kMaxChannels)) {
                out.push_back(ch);
            }
        }
    }
    return out;
}

TriangleShaders RenderContext::ShadersFor(Mtl* mtl, const BakeMesh& mesh) {
    TriangleShaders out(mesh.TriangleCount());
    std::map<MtlID, const SurfaceShader*> by_id;
    for (std::size_t t = 0; t < out.size(); ++t) {
        const SurfaceShader*& shader = by_id[mesh.matID[t]];
        if (shader == nullptr) {
            shader = &ShaderFor(FaceMaterial(mtl, mesh.matID[t]));
        }
        out[t] = shader;
    }
    return out;
}

void RenderContext::Warn(const std::string& text) {
    if (warned_.insert(text).second) {
        core_.AddMessage({L"Render To Texture", Utf8ToWide("Warning: " + text)});
    }
}
