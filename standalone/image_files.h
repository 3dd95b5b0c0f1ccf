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

// Whatever the file holds (grey, grey with alpha, RGB, RGBA, 8 or 16 bits,
// or float) becomes RGBA; a missing alpha is 1. Returns "" or what failed.
std::string ReadImageFile(const std::string& path, FloatImage& out);

// Any image but EXR as 16-bit RGBA (8-bit values v become v * 257).
std::string ReadImageFile16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& rgba);

// The same for an image file's bytes held in memory (a texture packed into a
// scene file); every kind but EXR.
std::string ReadImageMemory(const std::uint8_t* data, std::size_t size, FloatImage& out);

// 32-bit float RGBA EXR. Returns "" or what failed.
std::string WriteExrFile(const std::string& path, const FloatImage& image);
