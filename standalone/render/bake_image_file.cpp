#include "standalone/render/bake_image_file.h"

#include "host/text.h"
#include "standalone/bitmaps.h"
#include "standalone/image_files.h"
#include "standalone/output_file.h"
#include "standalone/png_file.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <type_traits>

namespace {

std::string extension_of(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

template <class T> T quantize(float v, float scale) {
    if (!(v > 0)) {
        return 0;
    }
    return static_cast<T>(std::lround(std::min(v, 1.0f) * scale));
}

void append_bytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::string write_8bit(const std::string& path, const std::string& ext, int w, int h,
                       const std::vector<float>& rgba) {
    std::vector<std::uint8_t> pixels(rgba.size());
    std::transform(rgba.begin(), rgba.end(), pixels.begin(),
                   [](float v) { return quantize<std::uint8_t>(v, 255.0f); });
    std::vector<std::uint8_t> encoded;
    int ok = 0;
    if (ext == "tga") {
        ok = stbi_write_tga_to_func(append_bytes, &encoded, w, h, 4, pixels.data());
    } else if (ext == "bmp") {
        ok = stbi_write_bmp_to_func(append_bytes, &encoded, w, h, 4, pixels.data());
    } else {
        // JPEG has no alpha.
        std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3);
        for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
            std::copy_n(&pixels[i * 4], 3, &rgb[i * 3]);
        }
        ok = stbi_write_jpg_to_func(append_bytes, &encoded, w, h, 3, rgb.data(), 95);
    }
    if (ok == 0) {
        return "the image could not be encoded";
    }
    return write_output_file(path, encoded);
}

// The target as a local path, its folder created. "" or what failed.
std::string prepare_target(const std::string& target, std::string& path) {
    path = host_file_path(Utf8ToWide(target));
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            return "Cannot create the folder " + folder.string() + ": " + ec.message();
        }
    }
    const std::string ext = extension_of(path);
    if (ext != "png" && ext != "exr" && ext != "tga" && ext != "bmp" && ext != "jpg" &&
        ext != "jpeg") {
        return "Cannot write " + target + ": unknown image type \"" + ext +
               "\" (use png, exr, tga, bmp or jpg)";
    }
    return "";
}

std::string with_target(const std::string& target, const std::string& error) {
    return error.empty() ? "" : "Cannot write " + target + ": " + error;
}

std::string write_prepared(const std::string& target, const std::string& path, int width,
                           int height, const std::vector<float>& rgba) {
    const std::string ext = extension_of(path);
    if (ext == "png") {
        std::vector<std::uint16_t> pixels(rgba.size());
        std::transform(rgba.begin(), rgba.end(), pixels.begin(),
                       [](float v) { return quantize<std::uint16_t>(v, 65535.0f); });
        return with_target(target, write_png_rgba16(path, width, height, pixels));
    }
    if (ext == "exr") {
        FloatImage image;
        image.width = width;
        image.height = height;
        image.rgba = rgba;
        return with_target(target, WriteExrFile(path, image));
    }
    return with_target(target, write_8bit(path, ext, width, height, rgba));
}

} // namespace

std::string WriteBakeImage(const std::string& target, int width, int height,
                           const std::vector<float>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() != std::size_t(width) * height * 4) {
        return "Cannot write " + target + ": the image is empty";
    }
    std::string path;
    const std::string error = prepare_target(target, path);
    return error.empty() ? write_prepared(target, path, width, height, rgba) : error;
}

std::string WriteBakeImage(const std::string& target, const WindowedImage& image) {
    const std::size_t n = std::size_t(image.width) * std::size_t(image.height);
    const bool inside = image.x0 >= 0 && image.y0 >= 0 && image.w >= 0 && image.h >= 0 &&
                        image.x0 + image.w <= image.width && image.y0 + image.h <= image.height &&
                        image.window != nullptr &&
                        image.window->size() == std::size_t(image.w) * std::size_t(image.h) * 4;
    if (image.width <= 0 || image.height <= 0 || !inside) {
        return "Cannot write " + target + ": the image is empty";
    }
    std::string path;
    const std::string error = prepare_target(target, path);
    if (!error.empty()) {
        return error;
    }
    // Each row: background, then the window's texels where it lies.
    auto rows = [&](auto* out, auto convert) {
        using T = std::remove_pointer_t<decltype(out)>;
        T bg[4];
        for (int k = 0; k < 4; ++k) {
            bg[k] = convert(image.background[k]);
        }
        for (std::size_t i = 0; i < n; ++i) {
            std::copy_n(bg, 4, out + i * 4);
        }
        for (int y = 0; y < image.h; ++y) {
            const float* src = &(*image.window)[std::size_t(y) * std::size_t(image.w) * 4];
            std::transform(src, src + std::size_t(image.w) * 4,
                           out + (std::size_t(image.y0 + y) * std::size_t(image.width) +
                                  std::size_t(image.x0)) *
                                     4,
                           convert);
        }
    };
    if (extension_of(path) == "png") {
        // The common case goes straight to 16 bits, without a float copy of
        // the whole atlas.
        std::vector<std::uint16_t> pixels(n * 4);
        rows(pixels.data(), [](float v) { return quantize<std::uint16_t>(v, 65535.0f); });
        return with_target(target, write_png_rgba16(path, image.width, image.height, pixels));
    }
    std::vector<float> rgba(n * 4);
    rows(rgba.data(), [](float v) { return v; });
    return write_prepared(target, path, image.width, image.height, rgba);
}
