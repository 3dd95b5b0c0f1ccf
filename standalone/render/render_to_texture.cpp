#include "standalone/render/render_to_texture.h"

#include "host/mtl.h"
#include "host/text.h"
#include "standalone/core.h"
#include "standalone/node_ops.h"
#include "standalone/render/bake_image_file.h"
#include "standalone/render/element_render.h"
#include "standalone/render/projection_render.h"

#include <algorithm>
#include <map>

namespace {

// Larger outputs would only exhaust memory (16384 x 16384 floats RGBA is 4 GiB).
constexpr int kMaxOutputSide = 16384;

std::string node_name(INode* node) {
    return WideToUtf8(node->GetName());
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
                ProjectedImage image = RenderProjected(ctx, node, *projection, e, w, h, margin);
                const AColor bg = e.Background();
                finish_image(image.Pixels(), image.Coverage(), props->GetNDilations(), bg);
                const float background[4] = {bg.r, bg.g, bg.b, bg.a};
                image.PaintMissed(projection->warnRayMiss ? kRayMissRGBA : background);
                write_image(e, image.Coverage(), image.Pixels(), w, h);
                continue;
            }
            const int channel = props->GetBakeMapChannel();
            if (node != meshNode) {
                meshNode = node;
                coverages.clear();
                mesh = ExtractBakeMesh(node, t, channel, ctx.ShadeChannels(node->GetMtl()));
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
            std::vector<float> rgba = RenderElement(ctx, node, mesh, cov, e, node->GetObjectTM(t));
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
