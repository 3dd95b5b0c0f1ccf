#include "standalone/render/element_render.h"

#include "host/text.h"
#include "standalone/render/ambient_occlusion.h"
#include "standalone/render/normals_bake.h"
#include "standalone/render/parallel_texels.h"

#include <algorithm>

namespace {

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

} // namespace

bool IsNormalsElement(const StandaloneBakeElement& e) {
    return std::wstring(e.definition().className) == L"NormalsMap";
}

std::vector<float> EncodeNormals(const StandaloneBakeElement& e, const BakeMesh& mesh,
                                 const TexelCoverage& cov, const Matrix3& objectTM,
                                 const std::vector<Point3>& normals) {
    const int space = std::clamp(value_int(e, L"Normal Space", 0), 0, 2);
    return BakeNormals(mesh, cov, static_cast<NormalSpace>(space),
                       value_int(e, L"Flip Green", 0) != 0, objectTM, &normals);
}

std::vector<float> RenderElement(RenderContext& ctx, INode* node, const BakeMesh& mesh,
                                 const TexelCoverage& cov, const StandaloneBakeElement& e,
                                 const Matrix3& objectTM) {
    const std::wstring cls = e.definition().className;
    const int threads = BakeThreads();
    const TriangleShaders shaders = ctx.ShadersFor(node->GetMtl(), mesh);
    if (IsNormalsElement(e)) {
        return EncodeNormals(e, mesh, cov, objectTM, ShadingNormals(mesh, cov, shaders, threads));
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
    in.shaders = &shaders;
    in.lights = ctx.Lights();
    in.threads = threads;
    if (s.shadows) {
        in.rays = &ctx.Rays();
        in.offset = ctx.Offset();
    }
    return BakeSurface(in, s);
}
