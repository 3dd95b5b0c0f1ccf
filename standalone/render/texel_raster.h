// Which surface point each texel of a bake image shows: the triangles of a
// bake mesh drawn in UV space, texel centres tested against them, and the
// spread of finished texels past chart borders (dilation).
//
// Image rows run from the top: row 0 is v = 1, as image files store them.
#pragma once

#include "host/max_types.h"

#include <vector>

struct TexelCoverage {
    int width = 0, height = 0;
    std::vector<int> triangle; // per texel: the triangle it shows, -1 for none
    std::vector<float> b1, b2; // barycentric weights of corners 1 and 2

    int Covered() const;
};

// uv: three corners per triangle. Where triangles overlap, the first wins.
TexelCoverage RasterizeUVs(const std::vector<Point2>& uv, int width, int height);

// Spreads the colours of covered texels (4 floats each) into `passes` rings
// of empty texels around them, each ring the average of its covered
// neighbours, so that filtering at chart borders never reads background.
// `covered` grows with the rings.
void Dilate(std::vector<float>& rgba, std::vector<char>& covered, int width, int height,
            int passes);
