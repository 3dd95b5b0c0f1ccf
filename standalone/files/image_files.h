// Image files the renderer reads and writes, as float RGBA with rows from
// the top: the textures scenes bring (PNG, JPEG, TGA, BMP through stb_image,
// EXR through OpenEXR) and float images written as EXR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FloatImage {
    int width = 0, height = 0;
    std::vector<float> rgba; // width * height * 4; 8- and 16-bit files map to 0..1

    bool Empty() const { return width <= 0 || height <= 0; }
};

// The most pixels an image file may hold: 16384 x 16384.
inline constexpr long long kMaxImagePixels = 1ll << 28;

// Whatever the file holds (grey, grey with alpha, RGB, RGBA, 8 or 16 bits,
// or float) becomes RGBA; a missing alpha is 1. Returns "" or what failed.
// An image of more than `maxPixels` is refused from its header, before any
// pixel is decoded.
std::string ReadImageFile(const std::string& path, FloatImage& out,
                          long long maxPixels = kMaxImagePixels);

// Any image but EXR as 16-bit RGBA (8-bit values v become v * 257).
std::string ReadImageFile16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& rgba,
                            long long maxPixels = kMaxImagePixels);

// The same for an image file's bytes held in memory (a texture packed into a
// scene file); every kind but EXR.
std::string ReadImageMemory(const std::uint8_t* data, std::size_t size, FloatImage& out,
                            long long maxPixels = kMaxImagePixels);

// What a reader says of an image above its budget.
std::string ImageTooLargeText(long long width, long long height, long long maxPixels);

// 32-bit float RGBA EXR. Returns "" or what failed.
std::string WriteExrFile(const std::string& path, const FloatImage& image);
