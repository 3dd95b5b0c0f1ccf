#include "standalone/render/render_to_texture.h"

#include "host/mtl.h"
#include "host/text.h"
#include "standalone/core.h"
#include "standalone/render/bake_canvas.h"
#include "standalone/render/element_render.h"
#include "standalone/render/projection_render.h"
#include "standalone/scene/node_ops.h"

#include <algorithm>
#include <map>
#include <optional>

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

std::wstring output_path(StandaloneBakeElement& e) {
    std::wstring path = e.FileType();
    return path.empty() ? e.FileName() : path;
}

struct ElementJob {
    INode* node;
    StandaloneBakeElement* element;
};

std::size_t& band_texels() {
    // About 4 million texels: some 200 MB of coverage, colours, normals and
    // padding for a band, whatever the size of the atlas.
    static std::size_t texels = std::size_t{1} << 22;
    return texels;
}

// Rows of a band of that width: as many as the texel budget allows, and at
// least twice the context rows on either side, so that context never costs
// more than the band itself.
int band_rows(int width, int margin) {
    const std::size_t fit = band_texels() / std::size_t(std::max(width, 1));
    return std::max(2 * margin, int(std::min<std::size_t>(std::max<std::size_t>(fit, 1), 1 << 20)));
}

// Renders the element into its image band by band: each band is rasterized,
// rendered and padded with enough rows of its neighbours around it that its
// own rows come out as they would from the whole image, and goes into the
// image at the file's own precision. Coverage of a single-band image is
// kept for the object's further elements.
void render_in_bands(RenderContext& ctx, INode* node, const BakeMesh& mesh,
                     StandaloneBakeElement& e, const Matrix3& objectTM, int w, int h, int dilations,
                     std::optional<TexelCoverage>& whole) {
    const AColor bg = e.Background();
    const float background[4] = {bg.r, bg.g, bg.b, bg.a};
    BakeCanvas canvas;
    const std::string target = WideToUtf8(output_path(e));
    std::string error = canvas.Open(target, w, h, background);
    if (!error.empty()) {
        throw RenderFailure(error);
    }
    const int margin = std::max(0, dilations) + 1;
    const TexelWindow window = WindowOf(mesh.uv, w, h, margin);
    const int rows = band_rows(window.w, margin);
    auto put = [&](const TexelCoverage& cov, const std::vector<float>& rgba, int from, int to) {
        for (int y = std::max(from, cov.y0); y < std::min(to, cov.y0 + cov.h); ++y) {
            canvas.PutRow(cov.x0, y, cov.w,
                          &rgba[std::size_t(y - cov.y0) * std::size_t(cov.w) * 4]);
        }
    };
    if (window.h <= rows) {
        if (!whole) {
            whole = RasterizeUVs(mesh.uv, w, h, margin);
        }
        std::vector<float> rgba = RenderElement(ctx, node, mesh, *whole, e, objectTM);
        finish_image(rgba, *whole, dilations, bg);
        put(*whole, rgba, 0, h);
    } else {
        for (int y = window.y0; y < window.y0 + window.h; y += rows) {
            const int end = std::min(y + rows, window.y0 + window.h);
            const TexelCoverage band =
                RasterizeUVs(mesh.uv, w, h, margin, {y - margin, end + margin});
            std::vector<float> rgba = RenderElement(ctx, node, mesh, band, e, objectTM);
            finish_image(rgba, band, dilations, bg);
            put(band, rgba, y, end);
        }
    }
    error = canvas.Write();
    if (!error.empty()) {
        throw RenderFailure(error);
    }
}

// A projection target's element band by band, as render_in_bands does for
// an object's own surface; a band here spans the image's width.
void render_projection_in_bands(RenderContext& ctx, INode* node, const ProjectionSetup& setup,
                                StandaloneBakeElement& e, int w, int h, int dilations) {
    const AColor bg = e.Background();
    const float background[4] = {bg.r, bg.g, bg.b, bg.a};
    BakeCanvas canvas;
    std::string error = canvas.Open(WideToUtf8(output_path(e)), w, h, background);
    if (!error.empty()) {
        throw RenderFailure(error);
    }
    const int margin = std::max(0, dilations) + 1;
    ProjectionRender render(ctx, node, setup, e, w, h, margin);
    const int rows = band_rows(w, margin);
    for (int y = 0; y < h; y += rows) {
        const int end = std::min(y + rows, h);
        ProjectedImage image = render.Band(
            rows >= h ? RowRange{0, h} : RowRange{y - margin, end + margin}, RowRange{y, end});
        finish_image(image.Pixels(), image.Coverage(), dilations, bg);
        image.PaintMissed(setup.warnRayMiss ? kRayMissRGBA : background);
        const TexelCoverage& cov = image.Coverage();
        for (int r = std::max(y, cov.y0); r < std::min(end, cov.y0 + cov.h); ++r) {
            canvas.PutRow(0, r, w, &image.Pixels()[std::size_t(r - cov.y0) * std::size_t(w) * 4]);
        }
    }
    error = canvas.Write();
    if (!error.empty()) {
        throw RenderFailure(error);
    }
}

} // namespace

void SetBakeBandTexels(std::size_t texels) {
    band_texels() = std::max<std::size_t>(texels, 1);
}

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
        std::map<std::pair<int, int>, std::optional<TexelCoverage>> coverages;
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
            if (core.GetCancel() != 0) {
                throw RenderFailure("The render was cancelled");
            }
            if (const auto projection = BakeProjectionOf(core.scene(), node)) {
                render_projection_in_bands(ctx, node, *projection, e, w, h, props->GetNDilations());
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
            render_in_bands(ctx, node, mesh, e, node->GetObjectTM(t), w, h, props->GetNDilations(),
                            coverages[{w, h}]);
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
