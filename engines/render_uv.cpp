#include "engines/render_uv.h"

#include "host/interface.h"
#include "host/text.h"

#include <cmath>
#include <cstdlib>

TemplatePalette template_palette() {
    return {BMM_Color_64{0, 0, 0, 0}, BMM_Color_64{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
            BMM_Color_64{0x4000, 0x4000, 0x4000, 0xFFFF}, BMM_Color_64{0, 0xFFFF, 0, 0xFFFF},
            BMM_Color_64{0x8000, 0xFFFF, 0, 0xFFFF}};
}

namespace {

int round_half_up(float value) {
    const int p = static_cast<int>(value);
    return p + (value - std::floor(value) >= 0.5f ? 1 : 0);
}

} // namespace

void draw_line(Bitmap& bitmap, int x0, int y0, int x1, int y1, const BMM_Color_64& colour) {
    const int dx = x1 - x0, dy = y1 - y0;
    const int w = bitmap.Width(), h = bitmap.Height();
    auto plot = [&](float fx, float fy) {
        const int x = round_half_up(fx), y = round_half_up(fy);
        if (x >= 0 && x < w && y >= 0 && y < h) {
            bitmap.PutPixels(x, y, 1, &colour);
        }
    };
    if (std::abs(dx) <= std::abs(dy)) {
        const int steps = std::abs(dy);
        const float step_x = steps != 0 ? static_cast<float>(dx) / static_cast<float>(steps) : 0.0f;
        const int step_y = dy >= 0 ? 1 : -1;
        float x = static_cast<float>(x0);
        int y = y0;
        for (int i = 0; i <= steps; ++i, x += step_x, y += step_y) {
            plot(x, static_cast<float>(y));
        }
    } else {
        const int steps = std::abs(dx);
        const float step_y = static_cast<float>(dy) / static_cast<float>(steps);
        const int step_x = dx >= 0 ? 1 : -1;
        float y = static_cast<float>(y0);
        int x = x0;
        for (int i = 0; i <= steps; ++i, x += step_x, y += step_y) {
            plot(static_cast<float>(x), y);
        }
    }
}

Bitmap* render_template(const TemplatePalette& palette, const vellumar::atlas::AtlasMesh& mesh,
                        int width, int height, const std::string& name,
                        std::span<const std::uint32_t> false_edges) {
    const auto vertices = mesh.vertices();
    const auto indices = mesh.indices();
    BitmapInfo info;
    info.SetName(Utf8ToWide(name).c_str());
    info.SetWidth(width);
    info.SetHeight(height);
    info.SetType(BMM_TRUE_64);
    info.SetFlags(MAP_HAS_ALPHA);
    Bitmap* bitmap = GetCOREInterface()->GetBitmapManager().Create(&info);
    if (bitmap == nullptr) {
        return nullptr;
    }
    bitmap->Fill(palette[0]);
    const bool with_false_edges = false_edges.size() == indices.size();
    // UVs copied from a damaged channel can be far outside the square or no
    // numbers at all: such a triangle cannot be drawn (its pixel positions
    // would pass int's range, its lines take minutes), so it is left out.
    const float far_x = kTemplateReach * static_cast<float>(width);
    const float far_y = kTemplateReach * static_cast<float>(height);
    for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
        int x[3], y[3];
        bool drawable = true;
        for (std::size_t k = 0; k < 3 && drawable; ++k) {
            const std::uint32_t v = indices[t + k];
            const float u = v < vertices.size() ? vertices[v].u : 0.0f;
            const float vv = v < vertices.size() ? vertices[v].v : 0.0f;
            const float fx = static_cast<float>(width) * u;
            const float fy = (1.0f - vv) * static_cast<float>(height);
            drawable = std::fabs(fx) <= far_x && std::fabs(fy) <= far_y;
            if (drawable) {
                x[k] = static_cast<int>(fx);
                y[k] = static_cast<int>(fy);
            }
        }
        if (!drawable) {
            continue;
        }
        for (std::size_t k = 0; k < 3; ++k) {
            const bool inner =
                with_false_edges && false_edges[t + k] != vellumar::atlas::kNoNeighbour;
            draw_line(*bitmap, x[k], y[k], x[(k + 1) % 3], y[(k + 1) % 3], palette[inner ? 2 : 1]);
        }
    }
    bitmap->Display(Utf8ToWide(name).c_str(), 1, 1, 1);
    return bitmap;
}
