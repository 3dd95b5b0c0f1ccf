// Reproducible random numbers per texel: a texel's samples depend only on
// its index, the sample number and the seed, so that the number of threads
// never changes an image.
#pragma once

#include <cstdint>

inline std::uint32_t HashTexel(std::uint32_t texel, std::uint32_t sample, std::uint32_t seed) {
    // A few rounds of a 32-bit integer hash (lowbias32) over the mixed inputs.
    std::uint32_t x =
        texel * 0x9E3779B1u ^ (sample + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// A uniform number in [0, 1).
inline float UnitFloat(std::uint32_t bits) {
    return static_cast<float>(bits >> 8) * (1.0f / 16777216.0f);
}
