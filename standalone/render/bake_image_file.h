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

// A width x height image of which only a window (x0, y0, w, h) was
// rendered; the rest is the background colour.
struct WindowedImage {
    int width = 0, height = 0;
    int x0 = 0, y0 = 0, w = 0, h = 0;
    const std::vector<float>* window = nullptr; // w * h * 4 floats
    float background[4] = {0, 0, 0, 0};
};
std::string WriteBakeImage(const std::string& path, const WindowedImage& image);
