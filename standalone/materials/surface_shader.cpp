#include "standalone/materials/surface_shader.h"

#include "host/mtl.h"
#include "host/text.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/double_sided.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/shell_material.h"

#include <algorithm>
#include <optional>

namespace {

// One image placed on the surface through one channel.
struct Layer {
    std::shared_ptr<const FloatImage> image;
    int channel = 1;

    // False where the surface has no coordinates in the layer's channel.
    bool Sample(const ShadePoint& p, float rgba[4]) const {
        Point2 uv;
        if (!p.UV(channel, uv)) {
            return false;
        }
        SampleBilinear(*image, uv, rgba);
        return true;
    }
};

float grey(const float rgba[4]) {
    return (rgba[0] + rgba[1] + rgba[2]) / 3.0f;
}

// Bounded: a shell may wear a shell, but never endlessly.
constexpr int kMaxNesting = 64;

// The material itself, or the one of its sub-materials that every face
// shows whatever its id.
Mtl* shown(Mtl* mtl) {
    if (auto* shell = dynamic_cast<ShellMaterial*>(mtl)) {
        return shell->RenderMtl();
    }
    if (auto* sides = dynamic_cast<DoubleSidedMaterial*>(mtl)) {
        return sides->GetSubMtl(0);
    }
    return mtl;
}

void collect(Mtl* mtl, int depth, std::vector<Mtl*>& out) {
    for (Mtl* next = shown(mtl); next != mtl && depth < kMaxNesting; next = shown(mtl)) {
        mtl = next;
        ++depth;
    }
    const bool multi = mtl != nullptr && SubMaterialForId(mtl, 0) != mtl;
    if (!multi || depth >= kMaxNesting) {
        if (std::find(out.begin(), out.end(), mtl) == out.end()) {
            out.push_back(mtl);
        }
        return;
    }
    for (int i = 0; i < mtl->NumSubMtls(); ++i) {
        collect(mtl->GetSubMtl(i), depth + 1, out);
    }
}

} // namespace

Mtl* FaceMaterial(Mtl* mtl, MtlID id) {
    for (int depth = 0; mtl != nullptr && depth < kMaxNesting; ++depth) {
        Mtl* next = SubMaterialForId(shown(mtl), id);
        if (next == mtl) {
            break;
        }
        mtl = next;
    }
    return mtl;
}

std::vector<Mtl*> FaceMaterials(Mtl* mtl) {
    std::vector<Mtl*> out;
    collect(mtl, 0, out);
    return out;
}

struct SurfaceShader::Impl {
    SurfaceSample base;
    std::optional<Layer> diffuse, opacity, self_illum, bump, normal;
    std::vector<int> channels;

    // The image layer of a bitmap map; other kinds of map leave the
    // material's own value in place.
    std::optional<Layer> layer_of(Texmap* map, std::vector<std::string>& warnings) {
        auto* bitmap = dynamic_cast<BitmapTexture*>(map);
        if (bitmap == nullptr) {
            return std::nullopt;
        }
        std::string error;
        std::shared_ptr<const FloatImage> image = bitmap->LoadImage(error);
        if (!image || image->Empty()) {
            const std::string warning =
                "Texture image " + WideToUtf8(bitmap->GetMapName()) +
                " could not be read: " + (error.empty() ? "it holds no pixels" : error);
            if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end()) {
                warnings.push_back(warning);
            }
            return std::nullopt;
        }
        const int channel = bitmap->GetMapChannel();
        if (std::find(channels.begin(), channels.end(), channel) == channels.end()) {
            if (channels.size() >= static_cast<std::size_t>(ShadePoint::kMaxChannels)) {
                return std::nullopt;
            }
            channels.push_back(channel);
        }
        return Layer{std::move(image), channel};
    }
};

SurfaceShader::SurfaceShader(Mtl* mtl, std::vector<std::string>& warnings)
    : impl_(std::make_unique<Impl>()) {
    mtl = FaceMaterial(mtl, 0);
    if (mtl == nullptr || mtl->NumSubMtls() > 0) {
        return;
    }
    Impl& s = *impl_;
    const Color d = mtl->GetDiffuse();
    s.base.diffuse = Point3(d.r, d.g, d.b);
    auto* std_mat = dynamic_cast<StdMat*>(mtl);
    if (std_mat == nullptr) {
        return; // the slots of other materials mean other things
    }
    s.base.opacity = std::clamp(std_mat->GetOpacity(0), 0.0f, 1.0f);
    const Color si = std_mat->GetSelfIllumColor(0);
    s.base.selfIllum = Point3(si.r, si.g, si.b);
    s.base.selfIllumAmount = std::clamp(std_mat->GetSelfIllum(0), 0.0f, 1.0f);
    s.diffuse = s.layer_of(mtl->GetSubTexmap(ID_DI), warnings);
    s.opacity = s.layer_of(mtl->GetSubTexmap(ID_OP), warnings);
    s.self_illum = s.layer_of(mtl->GetSubTexmap(ID_SI), warnings);
    Texmap* bump = mtl->GetSubTexmap(ID_BU);
    if (bump != nullptr && bump->ClassID() == normalBumpClassID) {
        s.normal = s.layer_of(bump->GetSubTexmap(0), warnings);
        if (s.normal) {
            s.base.normalChannel = s.normal->channel;
        }
    } else {
        s.bump = s.layer_of(bump, warnings);
    }
}

SurfaceShader::~SurfaceShader() = default;

const std::vector<int>& SurfaceShader::Channels() const {
    return impl_->channels;
}

SurfaceSample SurfaceShader::Shade(const ShadePoint& p) const {
    const Impl& s = *impl_;
    SurfaceSample out = s.base;
    float c[4];
    if (s.diffuse && s.diffuse->Sample(p, c)) {
        out.diffuse = Point3(c[0], c[1], c[2]);
        out.opacity *= c[3];
    }
    if (s.opacity && s.opacity->Sample(p, c)) {
        out.opacity *= grey(c);
    }
    out.opacity = std::clamp(out.opacity, 0.0f, 1.0f);
    if (s.self_illum && s.self_illum->Sample(p, c)) {
        out.selfIllum = Point3(c[0], c[1], c[2]);
    }
    if (s.normal && s.normal->Sample(p, c)) {
        const Point3 n(c[0] * 2.0f - 1.0f, c[1] * 2.0f - 1.0f, c[2] * 2.0f - 1.0f);
        // A black texel is no direction; the surface keeps its own normal.
        if (n.Length() > 1e-6f) {
            out.hasNormalMap = true;
            out.mapNormal = Normalize(n);
        }
    } else if (s.bump && s.bump->Sample(p, c)) {
        out.bump = grey(c);
    }
    return out;
}
