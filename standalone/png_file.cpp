#include "standalone/png_file.h"

#include "standalone/output_file.h"

#include <png.h>

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
                            std::vector<std::uint16_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return "cannot read '" + path + "': " + image.message;
    }
    // Linear 16-bit RGBA; the template writes linear values, so they come
    // back unchanged.
    image.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    pixels.assign(PNG_IMAGE_SIZE(image) / 2, 0);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        const std::string error = image.message;
        png_image_free(&image);
        return "cannot read '" + path + "': " + error;
    }
    return "";
}
