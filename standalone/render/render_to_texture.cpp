#include "standalone/render/render_to_texture.h"

#include "host/mtl.h"
#include "host/text.h"
#include "standalone/core.h"
#include "standalone/node_ops.h"
#include "standalone/render/ambient_occlusion.h"
#include "standalone/render/bake_elements.h"
#include "standalone/render/bake_image_file.h"
#include "standalone/render/normals_bake.h"
#include "standalone/render/parallel_texels.h"
#include "standalone/render/projection_bake.h"
#include "standalone/render/surface_bake.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

namespace {

// Larger outputs would only exhaust memory (16384 x 16384 floats RGBA is 4 GiB).
constexpr int kMaxOutputSide = 16384;

class RenderFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string node_name(INode* node) {
    return WideToUtf8(node->GetName());
}

float value_float(const StandaloneBakeElement& e, const wchar_t* name, float fallback) {
    const FPValue v = e.Value(name);
    return v.type == TYPE_FLOAT ? v.f : v.type == TYPE_INT ? float(v.i) : fallback;
}
int value_int(const StandaloneBakeElement& e, const wchar_t* name, int fallback) {
    const FPValue v = e.Value(name);
    return v.type == TYPE_INT || v.type == TYPE_BOOL ? v.i : fallback;
}
Point3 value_colour(const StandaloneBakeElement& e, const wchar_t* name, Point3 fallback) {
    const FPValue v = e.Value(name);
    return v.type == TYPE_RGBA_BV ? v.p : fallback;
}

// What one render shares across its nodes: the scene's surfaces for rays
// (built when the first element needs them), the lights and one shader per
// material.
class RenderContext {
  public:
    RenderContext(StandaloneCore& core, TimeValue t) : core_(core), t_(t) {}

    const RayScene& Rays() {
        if (!rays_) {
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
                        const Point3 p =
                            v < m.verts.size() ? tm.PointTransform(m.verts[v]) : Point3();
                        triangles.push_back(p);
                        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
                            lo = Point3(std::min(lo.x, p.x), std::min(lo.y, p.y),
                                        std::min(lo.z, p.z));
                            hi = Point3(std::max(hi.x, p.x), std::max(hi.y, p.y),
                                        std::max(hi.z, p.z));
                        }
                    }
                }
            }
            rays_ = std::make_unique<RayScene>(triangles);
            // Rays leave the surface by a small share of the scene's size,
            // enough to miss the surface they start from at any scale.
            const float diagonal = hi.x >= lo.x ? (hi - lo).Length() : 1.0f;
            offset_ = std::max(diagonal * 1e-4f, 1e-6f);
        }
        return *rays_;
    }
    float Offset() {
        Rays();
        return offset_;
    }

    const SurfaceShader& ShaderFor(Mtl* mtl) {
        auto& slot = shaders_[mtl];
        if (!slot) {
            std::vector<std::string> warnings;
            slot = std::make_unique<SurfaceShader>(mtl, warnings);
            for (const std::string& w : warnings) {
                if (warned_.insert(w).second) {
                    core_.AddMessage({L"Render To Texture", Utf8ToWide("Warning: " + w)});
                }
            }
        }
        return *slot;
    }

    std::vector<BakeLight> Lights() const { return {DefaultBakeLight()}; }

  private:
    StandaloneCore& core_;
    TimeValue t_;
    std::unique_ptr<RayScene> rays_;
    float offset_ = 1e-4f;
    std::map<Mtl*, std::unique_ptr<SurfaceShader>> shaders_;
    std::set<std::string> warned_;
};

// objectTM: the space of object-space normals, the baked node's own.
std::vector<float> render_element(RenderContext& ctx, INode* node, const BakeMesh& mesh,
                                  const TexelCoverage& cov, const StandaloneBakeElement& e,
                                  const Matrix3& objectTM) {
    const std::wstring cls = e.definition().className;
    const int threads = BakeThreads();
    const SurfaceShader& shader = ctx.ShaderFor(node->GetMtl());
    if (cls == L"NormalsMap") {
        const int space = std::clamp(value_int(e, L"Normal Space", 0), 0, 2);
        const std::vector<Point3> normals = ShadingNormals(mesh, cov, shader, threads);
        return BakeNormals(mesh, cov, static_cast<NormalSpace>(space),
                           value_int(e, L"Flip Green", 0) != 0, objectTM, &normals);
    }
    if (cls == L"AmbientOcclusion") {
        OcclusionSettings s;
        s.samples = std::clamp(value_int(e, L"Samples", 16), 1, 1024);
        s.spread = value_float(e, L"Spread", 0.8f);
        s.maxDistance = value_float(e, L"Max Distance", 0.0f);
        s.seed = value_int(e, L"Seed", 0);
        s.bright = value_colour(e, L"Bright", Point3(1, 1, 1));
        s.dark = value_colour(e, L"Dark", Point3(0, 0, 0));
        return BakeAmbientOcclusion(mesh, cov, ctx.Rays(), s, ctx.Offset(), threads);
    }
    SurfaceBakeSettings s;
    if (cls == L"DiffuseMap") {
        s.output = SurfaceOutput::Diffuse;
        s.lighting = value_int(e, L"Lighting", 0) != 0;
        s.shadows = s.lighting && value_int(e, L"Shadows", 0) != 0;
    } else if (cls == L"CompleteMap") {
        s.output = SurfaceOutput::Complete;
        s.shadows = value_int(e, L"Shadows", 1) != 0;
        s.ambient = value_colour(e, L"Ambient", Point3(0, 0, 0));
    } else if (cls == L"AlphaMap") {
        s.output = SurfaceOutput::Alpha;
        s.invert = value_int(e, L"Invert", 0) != 0;
    } else if (cls == L"HeightMap") {
        s.output = SurfaceOutput::Height;
        s.minHeight = value_float(e, L"Min Height", -1.0f);
        s.maxHeight = value_float(e, L"Max Height", 1.0f);
    } else if (cls == L"ShadowsMap") {
        s.output = SurfaceOutput::Shadows;
        s.shadows = true;
    } else {
        throw RenderFailure("Bake element " + WideToUtf8(cls) + " cannot be rendered");
    }
    SurfaceBakeInputs in;
    in.mesh = &mesh;
    in.coverage = &cov;
    in.shader = &shader;
    in.lights = ctx.Lights();
    in.threads = threads;
    if (s.shadows) {
        in.rays = &ctx.Rays();
        in.offset = ctx.Offset();
    }
    return BakeSurface(in, s);
}

// The element's image with its charts padded and the rest in its
// background colour.
void finish_image(std::vector<float>& rgba, const TexelCoverage& cov, int dilations,
                  const AColor& background) {
    std::vector<char> covered(cov.triangle.size());
    std::transform(cov.triangle.begin(), cov.triangle.end(), covered.begin(),
                   [](int tri) { return tri >= 0 ? char(1) : char(0); });
    Dilate(rgba, covered, cov.w, cov.h, std::max(0, dilations));
    const float bg[4] = {background.r, background.g, background.b, background.a};
    for (std::size_t i = 0; i < covered.size(); ++i) {
        if (covered[i] == 0) {
            std::copy_n(bg, 4, &rgba[i * 4]);
        }
    }
}

// The element of a projection target: every source drawn in the shared
// channel and shaded as itself, the first source at a texel winning.
ProjectedImage render_projected(RenderContext& ctx, INode* target, const ProjectionSetup& setup,
                                const StandaloneBakeElement& e, int w, int h, int margin,
                                TimeValue t) {
    if (setup.raytrace) {
        throw RenderFailure("Object " + node_name(target) +
                            ": projection #raytrace is not available");
    }
    ProjectedImage image(w, h);
    const Matrix3 targetTM = target->GetObjectTM(t);
    bool any = false;
    for (INode* source : setup.sources) {
        const SurfaceShader& shader = ctx.ShaderFor(source->GetMtl());
        const BakeMesh mesh = ExtractBakeMesh(source, t, setup.channel, shader.Channels());
        if (mesh.TriangleCount() == 0) {
            continue;
        }
        any = true;
        const TexelCoverage cov = RasterizeUVs(mesh.uv, w, h, margin);
        image.Add(cov, render_element(ctx, source, mesh, cov, e, targetTM));
    }
    if (!any) {
        throw RenderFailure("Object " + node_name(target) +
                            " projects no source object with texture coordinates in map "
                            "channel " +
                            std::to_string(setup.channel));
    }
    return image;
}

void write_image(StandaloneBakeElement& e, const TexelCoverage& cov, std::vector<float>& rgba,
                 int w, int h) {
    std::wstring path = e.FileType();
    if (path.empty()) {
        path = e.FileName();
    }
    WindowedImage image;
    image.width = w;
    image.height = h;
    image.x0 = cov.x0;
    image.y0 = cov.y0;
    image.w = cov.w;
    image.h = cov.h;
    image.window = &rgba;
    const AColor bg = e.Background();
    image.background[0] = bg.r;
    image.background[1] = bg.g;
    image.background[2] = bg.b;
    image.background[3] = bg.a;
    const std::string written = WriteBakeImage(WideToUtf8(path), image);
    if (!written.empty()) {
        throw RenderFailure(written);
    }
}

struct ElementJob {
    INode* node;
    StandaloneBakeElement* element;
};

} // namespace

std::string RenderBakeSelected(StandaloneCore& core, int frame) {
    const TimeValue t = frame * core.GetTicksPerFrame();
    // Everything to render, known before the first pixel so that progress
    // means something.
    std::vector<ElementJob> jobs;
    for (int i = 0; i < core.GetSelNodeCount(); ++i) {
        INode* node = core.GetSelNode(i);
        auto* props = node != nullptr ? static_cast<INodeBakeProperties*>(
                                            node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE))
                                      : nullptr;
        if (props == nullptr || !props->GetBakeEnabled()) {
            continue;
        }
        for (int k = 0; k < props->GetBakeElementCount(); ++k) {
            auto* e = dynamic_cast<StandaloneBakeElement*>(props->GetBakeElement(k));
            if (e == nullptr) {
                return "Bake element " + std::to_string(k + 1) + " of " + node_name(node) +
                       " is not one this renderer knows";
            }
            if (e->IsEnabled()) {
                jobs.push_back({node, e});
            }
        }
    }
    if (jobs.empty()) {
        return "";
    }
    RenderContext ctx(core, t);
    core.ProgressStart(L"Rendering to texture", 1, nullptr, nullptr);
    std::string error;
    try {
        INode* meshNode = nullptr;
        BakeMesh mesh;
        std::map<std::pair<int, int>, TexelCoverage> coverages;
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            INode* node = jobs[j].node;
            StandaloneBakeElement& e = *jobs[j].element;
            auto* props = static_cast<INodeBakeProperties*>(
                node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE));
            int w = 0, h = 0;
            e.GetOutputSz(w, h);
            if (w < 1 || h < 1 || w > kMaxOutputSide || h > kMaxOutputSide) {
                throw RenderFailure("Bake element " + WideToUtf8(e.definition().className) +
                                    " of " + node_name(node) + " has the output size " +
                                    std::to_string(w) + " x " + std::to_string(h) +
                                    "; sizes run from 1 to " + std::to_string(kMaxOutputSide));
            }
            core.ProgressUpdate(int(100 * j / jobs.size()), 1,
                                Utf8ToWide("Rendering " + node_name(node) + ": " +
                                           WideToUtf8(e.definition().className))
                                    .c_str());
            // The window leaves room for the padding rings.
            const int margin = std::max(0, props->GetNDilations()) + 1;
            if (const auto projection = BakeProjectionOf(core.scene(), node)) {
                ProjectedImage image = render_projected(ctx, node, *projection, e, w, h, margin, t);
                finish_image(image.Pixels(), image.Coverage(), props->GetNDilations(),
                             e.Background());
                write_image(e, image.Coverage(), image.Pixels(), w, h);
                continue;
            }
            const int channel = props->GetBakeMapChannel();
            if (node != meshNode) {
                meshNode = node;
                coverages.clear();
                const SurfaceShader& shader = ctx.ShaderFor(node->GetMtl());
                mesh = ExtractBakeMesh(node, t, channel, shader.Channels());
                if (mesh.TriangleCount() == 0) {
                    throw RenderFailure("Object " + node_name(node) +
                                        " has no texture coordinates in map channel " +
                                        std::to_string(channel) + " to bake into");
                }
            }
            auto found = coverages.find({w, h});
            if (found == coverages.end()) {
                found =
                    coverages.emplace(std::pair(w, h), RasterizeUVs(mesh.uv, w, h, margin)).first;
            }
            const TexelCoverage& cov = found->second;
            std::vector<float> rgba = render_element(ctx, node, mesh, cov, e, node->GetObjectTM(t));
            finish_image(rgba, cov, props->GetNDilations(), e.Background());
            write_image(e, cov, rgba, w, h);
        }
        core.ProgressUpdate(100, 1, nullptr);
    } catch (const RenderFailure& f) {
        error = f.what();
    } catch (const std::exception& x) {
        error = std::string("The render failed: ") + x.what();
    }
    core.ProgressEnd();
    return error;
}

ScriptValue RenderScriptFunction(StandaloneCore& core, const ScriptArgs& args) {
    const ScriptValue* type = args.Keyword("rendertype");
    if (type == nullptr || type->AsName().text != "bakeselected") {
        throw ScriptError("Runtime error: this renderer renders to texture only "
                          "(render rendertype:#bakeSelected)");
    }
    int frame = core.GetTime() / core.GetTicksPerFrame();
    if (const ScriptValue* f = args.Keyword("frame")) {
        frame = f->AsInt();
    }
    const std::string error = RenderBakeSelected(core, frame);
    if (!error.empty()) {
        throw ScriptError("Runtime error: " + error);
    }
    return args.Keyword("to") != nullptr ? *args.Keyword("to") : ScriptValue(true);
}
