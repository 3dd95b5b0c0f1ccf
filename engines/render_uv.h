// The UV template: every triangle edge of an atlas drawn as a line in UV
// space, outlines white and edges inside polygons dark grey, on transparent
// black, shown in one of the host's display windows.
#pragma once

#include "atlas/mesh.h"
#include "host/bitmap.h"

#include <array>
#include <span>
#include <string>

using TemplatePalette = std::array<BMM_Color_64, 5>;

// Background, outline edges, edges inside polygons, and two the template
// does not use.
TemplatePalette template_palette();

// Draws the line from (x0, y0) to (x1, y1), one point per step along its
// longer axis, each rounded half up per coordinate; points outside the
// bitmap are skipped.
void draw_line(Bitmap& bitmap, int x0, int y0, int x1, int y1, const BMM_Color_64& colour);

// How far outside the unit square a triangle's corners may lie, in sizes
// of the square, and still be drawn.
inline constexpr float kTemplateReach = 16.0f;

// Draws the template of `mesh` on a new bitmap of width x height and shows
// it titled `name`. false_edges: 3 entries per triangle, or empty. A
// triangle with a corner beyond kTemplateReach, or not a number, is left
// out. Returns
// the bitmap (owned by its window) or nullptr when the host could not make
// one (no message: the unwrap itself went through).
Bitmap* render_template(const TemplatePalette& palette, const vellumar::atlas::AtlasMesh& mesh,
                        int width, int height, const std::string& name,
                        std::span<const std::uint32_t> false_edges);
