// How the per-object images of a bake become one atlas image: each object's
// image holds its own charts on a background, and the parts are laid over
// each other pixel by pixel.
//
// Pixel rule, base pixel B and loaded pixel L:
//   1. B transparent            -> L
//   2. B is the background      -> L
//   3. L transparent            -> B
//   4. L is the background      -> B
//   5. otherwise                -> B + L, channel by channel
// 16-bit pixels compare exactly and saturate at 65535; float pixels count
// as transparent at alpha <= 1e-6, as equal within 1e-6 per channel, and
// add without a limit.
#pragma once

#include "host/bitmap.h"

// The background colour of a part from its four corners, in the order
// (0,0), (w-1,0), (0,h-1), (w-1,h-1): the first equal pair of the pairs
// (0,1), (0,2), (0,3), (1,2), (1,3), (2,3); all zero when no pair is equal.
BMM_Color_64 BackgroundFromCorners(const BMM_Color_64 corners[4]);
BMM_Color_fl BackgroundFromCorners(const BMM_Color_fl corners[4]);

// Combines `count` loaded pixels into the base row in place.
void MergePixelRow(BMM_Color_64* base, const BMM_Color_64* loaded, int count,
                   const BMM_Color_64& background);
void MergePixelRow(BMM_Color_fl* base, const BMM_Color_fl* loaded, int count,
                   const BMM_Color_fl& background);
