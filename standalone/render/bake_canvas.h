// A baked image being filled row by row and then written, held in the
// precision its file stores (16-bit PNG, float EXR, 8-bit TGA, BMP or JPEG)
// rather than as floats: a large atlas costs what its file's pixels cost,
// and the parts of it being rendered come and go in bands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class BakeCanvas {
  public:
    // Checks the target's type and makes its folder; "" or what failed.
    // Every texel starts as the background colour.
    std::string Open(const std::string& target, int width, int height, const float background[4]);
    // `count` texels of row y from column x0 on, 4 floats each.
    void PutRow(int x0, int y, int count, const float* rgba);
    // Encodes and writes the file; "" or what failed.
    std::string Write();

  private:
    std::string target_, path_, ext_;
    int width_ = 0, height_ = 0;
    std::vector<std::uint16_t> png_;
    std::vector<float> exr_;
    std::vector<std::uint8_t> bytes_;
};
