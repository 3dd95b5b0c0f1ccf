#include "standalone/files/png_file.h"

#include "standalone/files/image_files.h"

#include "standalone/files/output_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void append_to_vector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

} // namespace

std::string png_rgba16(int width, int height, const std::vector<std::uint16_t>& pixels,
                       std::vector<std::uint8_t>& out) {
    out.clear();
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        return "bad image size";
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "out of memory";
    }
    // PNG stores 16-bit samples big-endian.
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 8);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return "cannot encode the image";
    }
    png_set_write_fn(png, &out, append_to_vector, no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Baked images are written once per object and pass and read back for
    // the merge: speed matters more than the last percent of size.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* src =
            &pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4];
        for (std::size_t i = 0; i < static_cast<std::size_t>(width) * 4; ++i) {
            row[2 * i] = static_cast<png_byte>(src[i] >> 8);
            row[2 * i + 1] = static_cast<png_byte>(src[i] & 0xFF);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return "";
}

std::string write_png_rgba16(const std::string& path, int width, int height,
                             const std::vector<std::uint16_t>& pixels) {
    std::vector<std::uint8_t> bytes;
    const std::string error = png_rgba16(width, height, pixels, bytes);
    return error.empty() ? write_output_file(path, bytes) : error;
}

std::string read_png_rgba16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& pixels, long long maxPixels) {
    pixels.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        return "cannot read '" + path + "': " + std::strerror(errno);
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "out of memory";
    }
    std::vector<png_bytep> rows;
    std::vector<png_byte> bytes;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        pixels.clear();
        return "cannot read '" + path + "': not a readable PNG";
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    // A damaged header must not ask for gigabytes.
    if (w == 0 || h == 0 || std::uint64_t(w) * h > (std::uint64_t(1) << 28)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "cannot read '" + path + "': unsupported image size";
    }
    if (static_cast<long long>(std::uint64_t(w) * h) > maxPixels) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "cannot read '" + path + "': " + ImageTooLargeText(w, h, maxPixels);
    }
    // Whatever the file stores becomes RGBA with 16 bits per channel, the
    // values as stored (no gamma or colour conversion, alpha not
    // premultiplied): 8-bit values v become v * 257, a missing alpha 65535.
    const int type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_expand_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        png_set_interlace_handling(png);
    }
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(w) * 8) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "cannot read '" + path + "': unsupported pixel layout";
    }
    bytes.resize(std::size_t(w) * h * 8);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) {
        rows[y] = &bytes[std::size_t(y) * w * 8];
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    // PNG stores 16-bit samples big-endian.
    pixels.resize(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint16_t((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    }
    width = int(w);
    height = int(h);
    return "";
}
