// PNG files through libpng: 16 bits per channel RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// pixels: width * height * 4 channels (r, g, b, a), rows top to bottom.
// Returns an empty string on success, else what went wrong.
std::string write_png_rgba16(const std::string& path, int width, int height,
                             const std::vector<std::uint16_t>& pixels);

// Reads any PNG as 16 bits per channel RGBA. Empty error on success.
std::string read_png_rgba16(const std::string& path, int& width, int& height,
                            std::vector<std::uint16_t>& pixels);
