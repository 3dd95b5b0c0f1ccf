// Writes a baked image where its element names it. The extension chooses
// the codec: PNG with 16 bits per channel, EXR with float channels, TGA,
// BMP and JPEG with 8 bits. Paths may use either separator; missing
// folders are created.
#pragma once

#include <string>
#include <vector>

// rgba: width * height * 4 floats, rows from the top. Returns "" or what failed.
std::string WriteBakeImage(const std::string& path, int width, int height,
                           const std::vector<float>& rgba);
