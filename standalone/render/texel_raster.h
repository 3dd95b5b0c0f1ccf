// Which surface point each texel of a bake image shows: the triangles of a
// bake mesh drawn in UV space, texel centres tested against them, and the
// spread of finished texels past chart borders (dilation).
//
// Image rows run from the top: row 0 is v = 1, as image files store them.
#pragma once

#include "host/max_types.h"

#include <vector>

// The texels are those of a window of the image (x0, y0, w, h), row by
// row: an object that covers a corner of a large atlas is worked on in
// that corner only.
struct TexelCoverage {
    int width = 0, height = 0; // the whole image
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<int> triangle; // per window texel: the triangle it shows, -1 for none
    std::vector<float> b1, b2; // barycentric weights of corners 1 and 2

    int Covered() const;
    // The image-wide index of window texel i.
    std::size_t FullIndex(std::size_t i) const {
        return (std::size_t(y0) + i / std::size_t(w)) * std::size_t(width) + std::size_t(x0) +
               i % std::size_t(w);
    }
};

// Image rows [from, to): a band of a large image, rendered on its own.
struct RowRange {
    int from = 0;
    int to = 1 << 30;
};

struct TexelWindow {
    int x0 = 0, y0 = 0, w = 0, h = 0;
};

// The window RasterizeUVs works in, found without rasterizing.
TexelWindow WindowOf(const std::vector<Point2>& uv, int width, int height, int margin,
                     RowRange rows = {});

// uv: three corners per triangle. Where triangles overlap, the first wins.
// margin < 0: the window is the whole image; else it is the triangles'
// bounds grown by `margin` texels (room for dilation), within the image.
// Either way the window keeps to the rows of `rows`; with a margin, its
// columns are the bounds of the triangles that reach those rows, so a
// texel gets the same triangle and weights in any band that holds it.
TexelCoverage RasterizeUVs(const std::vector<Point2>& uv, int width, int height, int margin = -1,
                           RowRange rows = {});

// Spreads the colours of covered texels (4 floats each) into `passes` rings
// of empty texels around them, each ring the average of its covered
// neighbours, so that filtering at chart borders never reads background.
// `covered` grows with the rings.
void Dilate(std::vector<float>& rgba, std::vector<char>& covered, int width, int height,
            int passes);
