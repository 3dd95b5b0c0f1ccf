#include "bake/pixel_merge.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kHdrEpsilon = 1e-6f;

bool same(const BMM_Color_64& p, const BMM_Color_64& q) {
    return p == q;
}

bool same(const BMM_Color_fl& p, const BMM_Color_fl& q) {
    return std::fabs(p.r - q.r) < kHdrEpsilon && std::fabs(p.g - q.g) < kHdrEpsilon &&
           std::fabs(p.b - q.b) < kHdrEpsilon && std::fabs(p.a - q.a) < kHdrEpsilon;
}

bool transparent(const BMM_Color_64& p) {
    return p.a == 0;
}

bool transparent(const BMM_Color_fl& p) {
    return p.a <= kHdrEpsilon;
}

WORD saturated_sum(WORD a, WORD b) {
    return static_cast<WORD>(std::min(65535, int(a) + int(b)));
}

BMM_Color_64 sum(const BMM_Color_64& p, const BMM_Color_64& q) {
    return {saturated_sum(p.r, q.r), saturated_sum(p.g, q.g), saturated_sum(p.b, q.b),
            saturated_sum(p.a, q.a)};
}

BMM_Color_fl sum(const BMM_Color_fl& p, const BMM_Color_fl& q) {
    return {p.r + q.r, p.g + q.g, p.b + q.b, p.a + q.a};
}

template <class Pixel> Pixel background_of(const Pixel c[4]) {
    static const int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (const auto& pair : kPairs) {
        if (same(c[pair[0]], c[pair[1]])) {
            return c[pair[0]];
        }
    }
    return Pixel{};
}

template <class Pixel>
void merge_row(Pixel* base, const Pixel* loaded, int count, const Pixel& background) {
    for (int i = 0; i < count; ++i) {
        Pixel& b = base[i];
        const Pixel& l = loaded[i];
        if (transparent(b) || same(b, background)) {
            b = l;
        } else if (!transparent(l) && !same(l, background)) {
            b = sum(b, l);
        }
    }
}

} // namespace

BMM_Color_64 BackgroundFromCorners(const BMM_Color_64 corners[4]) {
    return background_of(corners);
}

BMM_Color_fl BackgroundFromCorners(const BMM_Color_fl corners[4]) {
    return background_of(corners);
}

void MergePixelRow(BMM_Color_64* base, const BMM_Color_64* loaded, int count,
                   const BMM_Color_64& background) {
    merge_row(base, loaded, count, background);
}

void MergePixelRow(BMM_Color_fl* base, const BMM_Color_fl* loaded, int count,
                   const BMM_Color_fl& background) {
    merge_row(base, loaded, count, background);
}
