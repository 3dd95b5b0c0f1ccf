#include "atlas/corrections.h"

#include <algorithm>

namespace vellumar::atlas {

void aspect_fit(std::span<AtlasVertex> vertices, float width, float height) {
    const float lu = std::min(width / height, 1.0f);
    const float lv = std::min(height / width, 1.0f);
    const bool exceeds = std::any_of(vertices.begin(), vertices.end(),
                                     [&](const AtlasVertex& v) { return v.u > lu || v.v > lv; });
    if (!exceeds) {
        return;
    }
    const float scale = std::min(width, height) / std::max(width, height);
    for (AtlasVertex& v : vertices) {
        v.u *= scale;
        v.v *= scale;
    }
}

void gutter_border(std::span<AtlasVertex> vertices, float width, float height, float gutter) {
    const float m = std::max(width, height);
    const float n = std::min(width, height);
    const float scale = 1.0f - gutter / n;
    const float offset = gutter / (2.0f * m);
    for (AtlasVertex& v : vertices) {
        v.u = scale * v.u + offset;
        v.v = scale * v.v + offset;
    }
}

void aspect_stretch(std::span<AtlasVertex> vertices, float width, float height) {
    const float su = std::max(height / width, 1.0f);
    const float sv = std::max(width / height, 1.0f);
    for (AtlasVertex& v : vertices) {
        v.u *= su;
        v.v *= sv;
    }
}

void apply_corrections(std::span<AtlasVertex> vertices, float width, float height, float gutter) {
    aspect_fit(vertices, width, height);
    gutter_border(vertices, width, height, gutter);
    aspect_stretch(vertices, width, height);
}

} // namespace vellumar::atlas
