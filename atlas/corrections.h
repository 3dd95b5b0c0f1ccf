// The three UV corrections every computed atlas receives before it is used,
// in this order: aspect_fit, gutter_border, aspect_stretch. The packer plans
// its layout through them (see pack.h), so callers must apply exactly these.
//
// width and height are the atlas size in pixels, gutter the empty border in
// pixels; all are taken as floats. The vertices are borrowed for the call and
// changed in place; only u and v are touched.
#pragma once

#include "atlas/mesh.h"

#include <span>

namespace vellumar::atlas {

// If any vertex has u > min(W/H, 1) or v > min(H/W, 1), scales u and v of all
// vertices by min(W, H) / max(W, H); otherwise changes nothing.
void aspect_fit(std::span<AtlasVertex> vertices, float width, float height);

// Maps every coordinate c to (1 - g/N) c + g/(2M), with M = max(W, H) and
// N = min(W, H), which leaves a border of g/2 pixels around the atlas.
void gutter_border(std::span<AtlasVertex> vertices, float width, float height, float gutter);

// Scales u by max(H/W, 1) and v by max(W/H, 1), so that a non-square atlas
// is filled along its long side.
void aspect_stretch(std::span<AtlasVertex> vertices, float width, float height);

// aspect_fit, gutter_border and aspect_stretch in that order.
void apply_corrections(std::span<AtlasVertex> vertices, float width, float height, float gutter);

} // namespace vellumar::atlas
