#include "standalone/files/image_files.h"

#include "standalone/files/output_file.h"
#include "standalone/files/png_file.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <ImfStdIO.h>
#include <stb_image.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>
#include <memory>

namespace {

bool has_extension(const std::string& path, const char* ext) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ext;
}

std::string read_exr(const std::string& path, FloatImage& out, long long maxPixels) {
    try {
        Imf::InputFile file(path.c_str());
        const Imath::Box2i dw = file.header().dataWindow();
        const long long w = (long long)dw.max.x - dw.min.x + 1;
        const long long h = (long long)dw.max.y - dw.min.y + 1;
        if (w <= 0 || h <= 0) {
            return "unsupported image size";
        }
        if (w * h > maxPixels) {
            return ImageTooLargeText(w, h, maxPixels);
        }
        out.width = int(w);
        out.height = int(h);
        out.rgba.assign(std::size_t(w * h * 4), 0.0f);
        Imf::FrameBuffer fb;
        const char* names[4] = {"R", "G", "B", "A"};
        const std::size_t xs = 4 * sizeof(float), ys = xs * std::size_t(w);
        char* base = reinterpret_cast<char*>(out.rgba.data()) -
                     (std::ptrdiff_t(dw.min.x) * std::ptrdiff_t(xs)) -
                     (std::ptrdiff_t(dw.min.y) * std::ptrdiff_t(ys));
        for (int k = 0; k < 4; ++k) {
            // A missing channel reads as the fill value: colour 0, alpha 1.
            fb.insert(names[k], Imf::Slice(Imf::FLOAT, base + k * sizeof(float), xs, ys, 1, 1,
                                           k == 3 ? 1.0 : 0.0));
        }
        file.setFrameBuffer(fb);
        file.readPixels(dw.min.y, dw.max.y);
    } catch (const std::exception& e) {
        out = FloatImage{};
        return e.what();
    }
    return "";
}

// Takes stb's pixels (or its failure) into `out`.
std::string from_stb(stbi_us* loaded, int w, int h, FloatImage& out) {
    std::unique_ptr<stbi_us, void (*)(void*)> pixels(loaded, stbi_image_free);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        return why != nullptr ? why : "unreadable image";
    }
    out.width = w;
    out.height = h;
    const std::size_t n = std::size_t(w) * std::size_t(h) * 4;
    out.rgba.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.rgba[i] = float(pixels.get()[i]) / 65535.0f;
    }
    return "";
}

} // namespace

std::string ImageTooLargeText(long long width, long long height, long long maxPixels) {
    return "an image of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is more than the " + std::to_string(maxPixels) + " pixels read here";
}

std::string ReadImageFile16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& rgba, long long maxPixels) {
    rgba.clear();
    if (has_extension(path, ".png")) {
        return read_png_rgba16(path, width, height, rgba, maxPixels);
    }
    int w = 0, h = 0, channels = 0;
    if (stbi_info(path.c_str(), &w, &h, &channels) == 0) {
        const char* why = stbi_failure_reason();
        return why != nullptr ? why : "unreadable image";
    }
    if (w <= 0 || h <= 0) {
        return "unsupported image size";
    }
    if ((long long)w * h > maxPixels) {
        return ImageTooLargeText(w, h, maxPixels);
    }
    // 16 bits per channel keeps 16-bit files exact and costs 8-bit ones nothing.
    std::unique_ptr<stbi_us, void (*)(void*)> pixels(
        stbi_load_16(path.c_str(), &w, &h, &channels, 4), stbi_image_free);
    if (!pixels) {
        const char* why = stbi_failure_reason();
        return why != nullptr ? why : "unreadable image";
    }
    width = w;
    height = h;
    rgba.assign(pixels.get(), pixels.get() + std::size_t(w) * std::size_t(h) * 4);
    return "";
}

std::string ReadImageFile(const std::string& path, FloatImage& out, long long maxPixels) {
    out = FloatImage{};
    if (has_extension(path, ".exr")) {
        return read_exr(path, out, maxPixels);
    }
    std::vector<std::uint16_t> pixels;
    int w = 0, h = 0;
    const std::string error = ReadImageFile16(path, w, h, pixels, maxPixels);
    if (!error.empty()) {
        return error;
    }
    out.width = w;
    out.height = h;
    out.rgba.resize(pixels.size());
    std::transform(pixels.begin(), pixels.end(), out.rgba.begin(),
                   [](std::uint16_t v) { return float(v) / 65535.0f; });
    return "";
}

std::string ReadImageMemory(const std::uint8_t* data, std::size_t size, FloatImage& out,
                            long long maxPixels) {
    out = FloatImage{};
    // stb takes an int length; no texture packed into a scene comes near it.
    if (data == nullptr || size == 0 || size > std::size_t(std::numeric_limits<int>::max())) {
        return "no image data";
    }
    const int length = int(size);
    int w = 0, h = 0, channels = 0;
    if (stbi_info_from_memory(data, length, &w, &h, &channels) == 0) {
        const char* why = stbi_failure_reason();
        return why != nullptr ? why : "unreadable image";
    }
    if (w <= 0 || h <= 0) {
        return "unsupported image size";
    }
    if ((long long)w * h > maxPixels) {
        return ImageTooLargeText(w, h, maxPixels);
    }
    return from_stb(stbi_load_16_from_memory(data, length, &w, &h, &channels, 4), w, h, out);
}

std::string WriteExrFile(const std::string& path, const FloatImage& image) {
    if (image.Empty() || image.rgba.size() != std::size_t(image.width) * image.height * 4) {
        return "no image to write";
    }
    try {
        Imf::Header header(image.width, image.height);
        const char* names[4] = {"R", "G", "B", "A"};
        Imf::FrameBuffer fb;
        const std::size_t xs = 4 * sizeof(float), ys = xs * std::size_t(image.width);
        char* base = reinterpret_cast<char*>(const_cast<float*>(image.rgba.data()));
        for (int k = 0; k < 4; ++k) {
            header.channels().insert(names[k], Imf::Channel(Imf::FLOAT));
            fb.insert(names[k], Imf::Slice(Imf::FLOAT, base + k * sizeof(float), xs, ys));
        }
        // Encoded in memory first, so that a failed write never leaves half
        // an image over the file that was there.
        Imf::StdOSStream stream;
        {
            Imf::OutputFile file(stream, header);
            file.setFrameBuffer(fb);
            file.writePixels(image.height);
        }
        const std::string bytes = stream.str();
        return write_output_file(
            path, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    } catch (const std::exception& e) {
        return e.what();
    }
}
