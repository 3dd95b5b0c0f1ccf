#include "standalone/files/export_materials.h"

#include "host/iparamb2.h"
#include "host/mtl.h"
#include "host/text.h"
#include "standalone/files/exporter.h"
#include "standalone/files/image_files.h"
#include "standalone/files/png_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/multi_material.h"
#include "standalone/materials/texture_images.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string mime_of(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const std::uint8_t jpeg[] = {0xFF, 0xD8, 0xFF};
    auto starts = [&](const std::uint8_t* sig, std::size_t n) {
        return bytes.size() >= n && std::equal(sig, sig + n, bytes.begin());
    };
    if (starts(png, sizeof png)) {
        return "image/png";
    }
    return starts(jpeg, sizeof jpeg) ? "image/jpeg" : "";
}

std::string read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return "no such file";
    }
    // A read that fails in the middle (an I/O error, a file of the kernel's
    // that refuses reading) throws out of the stream buffer.
    try {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return in.bad() ? "cannot read the file" : "";
    } catch (const std::exception& e) {
        bytes.clear();
        return std::string("cannot read the file: ") + e.what();
    }
}

std::string as_png(int width, int height, const std::vector<std::uint16_t>& rgba, GlbImage& out) {
    out.mime_type = "image/png";
    return png_rgba16(width, height, rgba, out.bytes);
}

// Float images (EXR) hold values outside what a PNG can: they are clipped.
std::string as_png(const FloatImage& image, GlbImage& out) {
    std::vector<std::uint16_t> rgba(image.rgba.size());
    std::transform(image.rgba.begin(), image.rgba.end(), rgba.begin(), [](float v) {
        const float c = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
        return static_cast<std::uint16_t>(std::lround(c * 65535.0f));
    });
    return as_png(image.width, image.height, rgba, out);
}

// The image as glTF can carry it: PNG and JPEG as they are, anything else
// read and written again as PNG. `path` is empty for packed bytes.
std::string embed(const std::vector<std::uint8_t>& bytes, const std::string& path, GlbImage& out) {
    FloatImage decoded;
    const std::string mime = mime_of(bytes);
    if (!mime.empty()) {
        // A damaged image would make the whole file invalid, so it is
        // decoded once before it is trusted.
        std::string error = ReadImageMemory(bytes.data(), bytes.size(), decoded);
        if (error.empty()) {
            out = {mime, bytes};
        }
        return error;
    }
    if (path.empty()) {
        const std::string error = ReadImageMemory(bytes.data(), bytes.size(), decoded);
        return error.empty() ? as_png(decoded, out) : error;
    }
    int width = 0, height = 0;
    std::vector<std::uint16_t> rgba;
    if (ReadImageFile16(path, width, height, rgba).empty()) {
        return as_png(width, height, rgba, out);
    }
    // EXR has no 16-bit reading.
    const std::string error = ReadImageFile(path, decoded);
    return error.empty() ? as_png(decoded, out) : error;
}

std::string channel_text(int channel) {
    return "map channel " + std::to_string(channel);
}

} // namespace

void GlbMaterialTable::warn(const std::string& text) {
    if (std::find(warnings_.begin(), warnings_.end(), text) == warnings_.end()) {
        warnings_.push_back(text);
    }
}

int GlbMaterialTable::use(int loaded) {
    int& image = image_of_loaded_[static_cast<std::size_t>(loaded)];
    if (image < 0) {
        images_.push_back(std::move(loaded_[static_cast<std::size_t>(loaded)]));
        image = static_cast<int>(images_.size()) - 1;
    }
    return image;
}

int GlbMaterialTable::load(Texmap* map, const std::string& material) {
    auto* bitmap = dynamic_cast<BitmapTex*>(map);
    if (bitmap == nullptr) {
        return -1;
    }
    const std::string named = WideToUtf8(bitmap->GetMapName());
    auto* ours = dynamic_cast<BitmapTexture*>(map);
    const std::shared_ptr<const PackedImage> packed =
        ours != nullptr ? ours->PackedImageBytes() : nullptr;
    const std::string path = packed ? "" : ResolveTexturePath(named, "");
    int& index = packed ? loaded_bytes_.try_emplace(packed.get(), -2).first->second
                        : loaded_file_.try_emplace(path, -2).first->second;
    if (index != -2) {
        return index;
    }
    std::vector<std::uint8_t> file;
    std::string error;
    if (!packed) {
        error = named.empty() ? "the map names no file" : read_file(path, file);
    }
    GlbImage out;
    if (error.empty()) {
        error = embed(packed ? *packed : file, path, out);
    }
    if (!error.empty()) {
        warn("texture '" + named + "' of material '" + material + "' cannot be read (" + error +
             "); it is left out of the export");
        index = -1;
        return index;
    }
    loaded_.push_back(std::move(out));
    image_of_loaded_.push_back(-1);
    index = static_cast<int>(loaded_.size()) - 1;
    return index;
}

GlbMaterialTable::Texture GlbMaterialTable::texture(Texmap* map, const std::string& material) {
    Texture t;
    if (map == nullptr || dynamic_cast<BitmapTex*>(map) == nullptr) {
        return t;
    }
    t.map = map;
    t.channel = map->GetMapChannel();
    t.loaded = load(map, material);
    return t;
}

int GlbMaterialTable::MaterialFor(Mtl* mtl, MtlID id, const std::vector<bool>& sets,
                                  const std::string& object) {
    // A shell shows renderers the material its render index picks; viewers
    // are renderers. Shells and multi/sub-object materials may hold each
    // other.
    for (int depth = 0; mtl != nullptr && depth < 64; ++depth) {
        if (mtl->ClassID() == bakeShellClassID) {
            IParamBlock2* block = mtl->NumParamBlocks() > 0 ? mtl->GetParamBlock(0) : nullptr;
            const int index = block != nullptr ? block->GetInt(1) : 0;
            mtl = mtl->GetSubMtl(index == 1 ? 1 : 0);
        } else if (Mtl* sub = SubMaterialForId(mtl, id); sub != mtl) {
            mtl = sub;
        } else {
            break;
        }
    }
    if (mtl == nullptr) {
        return -1;
    }
    const std::string name = WideToUtf8(mtl->GetName());
    auto* standard = dynamic_cast<StdMat*>(mtl);
    if (standard == nullptr) {
        warn("material '" + name + "' of object '" + object +
             "' is not a standard material; the object is exported without a material");
        return -1;
    }
    const Texture base = texture(mtl->GetSubTexmap(ID_DI), name);
    Texture normal;
    Texmap* bump = mtl->GetSubTexmap(ID_BU);
    if (bump != nullptr && bump->ClassID() == normalBumpClassID) {
        normal = texture(bump->GetSubTexmap(0), name);
    }
    // A texture naming a set the mesh does not have would make the file
    // invalid.
    auto shown = [&](const Texture& t) {
        if (t.loaded < 0) {
            return false;
        }
        const int set = t.channel - 1;
        if (set >= 0 && set < static_cast<int>(sets.size()) &&
            sets[static_cast<std::size_t>(set)]) {
            return true;
        }
        const std::string file = WideToUtf8(dynamic_cast<BitmapTex*>(t.map)->GetMapName());
        const std::string why = t.channel >= 1 && t.channel <= kGlbMaxChannel
                                    ? "which object '" + object + "' does not have"
                                    : "which glTF cannot hold (it holds map channels 1 to " +
                                          std::to_string(kGlbMaxChannel) + ")";
        warn("texture '" + file + "' of material '" + name + "' uses " + channel_text(t.channel) +
             ", " + why + "; it is left out of the export");
        return false;
    };
    const bool with_base = shown(base), with_normal = shown(normal);
    const auto [it, fresh] = material_of_.try_emplace({mtl, with_base, with_normal}, 0);
    if (!fresh) {
        return it->second;
    }
    GlbMaterial out;
    out.name = name;
    const Color c = mtl->GetDiffuse();
    const float rgba[4] = {c.r, c.g, c.b, standard->GetOpacity(0)};
    for (std::size_t k = 0; k < 4; ++k) {
        out.base_color[k] = std::isfinite(rgba[k]) ? std::clamp(rgba[k], 0.0f, 1.0f) : 1.0f;
    }
    if (with_base) {
        // The host shows a diffuse map instead of the colour; glTF multiplies
        // the two.
        std::fill(out.base_color.begin(), out.base_color.begin() + 3, 1.0f);
        out.base_color_texture = {use(base.loaded), base.channel - 1};
    }
    if (with_normal) {
        out.normal_texture = {use(normal.loaded), normal.channel - 1};
    }
    materials_.push_back(std::move(out));
    it->second = static_cast<int>(materials_.size()) - 1;
    return it->second;
}
