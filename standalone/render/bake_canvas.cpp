#include "standalone/render/bake_canvas.h"

#include "host/text.h"
#include "standalone/files/bitmaps.h"
#include "standalone/files/image_files.h"
#include "standalone/files/output_file.h"
#include "standalone/files/png_file.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

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
                       std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> encoded;
    int ok = 0;
    if (ext == "tga") {
        ok = stbi_write_tga_to_func(append_bytes, &encoded, w, h, 4, pixels.data());
    } else if (ext == "bmp") {
        ok = stbi_write_bmp_to_func(append_bytes, &encoded, w, h, 4, pixels.data());
    } else {
        // JPEG has no alpha: the pixels close up to three channels in place.
        const std::size_t n = std::size_t(w) * std::size_t(h);
        for (std::size_t i = 0; i < n; ++i) {
            std::copy_n(&pixels[i * 4], 3, &pixels[i * 3]);
        }
        ok = stbi_write_jpg_to_func(append_bytes, &encoded, w, h, 3, pixels.data(), 95);
    }
    if (ok == 0) {
        return "the image could not be encoded";
    }
    return write_output_file(path, encoded);
}

} // namespace

std::string BakeCanvas::Open(const std::string& target, int width, int height,
                             const float background[4]) {
    target_ = target;
    width_ = width;
    height_ = height;
    if (width <= 0 || height <= 0) {
        return "Cannot write " + target + ": the image is empty";
    }
    path_ = host_file_path(Utf8ToWide(target));
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            return "Cannot create the folder " + folder.string() + ": " + ec.message();
        }
    }
    ext_ = extension_of(path_);
    const std::size_t n = std::size_t(width) * std::size_t(height);
    if (ext_ == "png") {
        const std::uint16_t bg[4] = {quantize<std::uint16_t>(background[0], 65535.0f),
                                     quantize<std::uint16_t>(background[1], 65535.0f),
                                     quantize<std::uint16_t>(background[2], 65535.0f),
                                     quantize<std::uint16_t>(background[3], 65535.0f)};
        png_.resize(n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            std::copy_n(bg, 4, &png_[i * 4]);
        }
    } else if (ext_ == "exr") {
        exr_.resize(n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            std::copy_n(background, 4, &exr_[i * 4]);
        }
    } else if (ext_ == "tga" || ext_ == "bmp" || ext_ == "jpg" || ext_ == "jpeg") {
        const std::uint8_t bg[4] = {quantize<std::uint8_t>(background[0], 255.0f),
                                    quantize<std::uint8_t>(background[1], 255.0f),
                                    quantize<std::uint8_t>(background[2], 255.0f),
                                    quantize<std::uint8_t>(background[3], 255.0f)};
        bytes_.resize(n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            std::copy_n(bg, 4, &bytes_[i * 4]);
        }
    } else {
        return "Cannot write " + target + ": unknown image type \"" + ext_ +
               "\" (use png, exr, tga, bmp or jpg)";
    }
    return "";
}

void BakeCanvas::PutRow(int x0, int y, int count, const float* rgba) {
    if (y < 0 || y >= height_ || x0 < 0 || count <= 0 || x0 + count > width_) {
        return;
    }
    const std::size_t at = (std::size_t(y) * std::size_t(width_) + std::size_t(x0)) * 4;
    const std::size_t values = std::size_t(count) * 4;
    if (!png_.empty()) {
        std::transform(rgba, rgba + values, &png_[at],
                       [](float v) { return quantize<std::uint16_t>(v, 65535.0f); });
    } else if (!exr_.empty()) {
        std::copy_n(rgba, values, &exr_[at]);
    } else if (!bytes_.empty()) {
        std::transform(rgba, rgba + values, &bytes_[at],
                       [](float v) { return quantize<std::uint8_t>(v, 255.0f); });
    }
}

std::string BakeCanvas::Write() {
    std::string error;
    if (!png_.empty()) {
        error = write_png_rgba16(path_, width_, height_, png_);
    } else if (!exr_.empty()) {
        FloatImage image;
        image.width = width_;
        image.height = height_;
        image.rgba = std::move(exr_);
        error = WriteExrFile(path_, image);
    } else if (!bytes_.empty()) {
        error = write_8bit(path_, ext_, width_, height_, bytes_);
    } else {
        error = "the image is empty";
    }
    return error.empty() ? "" : "Cannot write " + target_ + ": " + error;
}
