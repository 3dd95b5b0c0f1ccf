// PNG files through libpng: 16 bits per channel RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// pixels: width * height * 4 channels (r, g, b, a), rows top to bottom.
// Encodes them into `out` (replaced). Returns an empty string on success,
// else what went wrong.
std::string png_rgba16(int width, int height, const std::vector<std::uint16_t>& pixels,
                       std::vector<std::uint8_t>& out);

// Encodes and writes the image through an OutputFile, so a failed write
// leaves the old file. Empty on success.
std::string write_png_rgba16(const std::string& path, int width, int height,
                             const std::vector<std::uint16_t>& pixels);

// Reads any PNG as 16 bits per channel RGBA. Empty error on success.
std::string read_png_rgba16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& pixels, long long maxPixels = 1ll << 28);
