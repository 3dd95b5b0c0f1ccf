// The module's bitmaps, drawn once when the module's resources are built:
// the five unwrap-mode buttons (each out and pressed in), the aspect lock
// and the logo, each with its mask (black where the image shows).
#include "plugin/resources.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr std::uint32_t kInk = 0xFF2B2B2B;
constexpr std::uint32_t kAccent = 0xFF3C7DD9;
constexpr std::uint32_t kOutFace = 0xFFD8D8D8;
constexpr std::uint32_t kInFace = 0xFFA9C4EA;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

struct Canvas {
    BitmapResource& b;
    int ox = 0; // left edge of the image being drawn in a strip

    void set(int x, int y, std::uint32_t c) {
        x += ox;
        if (x >= 0 && y >= 0 && x < b.width && y < b.height) {
            b.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                     static_cast<std::size_t>(x)] = c;
        }
    }
    void rect(int x0, int y0, int x1, int y1, std::uint32_t c) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                set(x, y, c);
            }
        }
    }
    void frame(int x0, int y0, int x1, int y1, std::uint32_t c) {
        line(x0, y0, x1, y0, c);
        line(x1, y0, x1, y1, c);
        line(x1, y1, x0, y1, c);
        line(x0, y1, x0, y0, c);
    }
    void line(int x0, int y0, int x1, int y1, std::uint32_t c) {
        const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= n; ++i) {
            const double t = n == 0 ? 0.0 : static_cast<double>(i) / n;
            set(static_cast<int>(std::lround(x0 + (x1 - x0) * t)),
                static_cast<int>(std::lround(y0 + (y1 - y0) * t)), c);
        }
    }
    void disc(int cx, int cy, double rx, double ry, std::uint32_t c) {
        for (int y = cy - static_cast<int>(ry); y <= cy + static_cast<int>(ry); ++y) {
            for (int x = cx - static_cast<int>(rx); x <= cx + static_cast<int>(rx); ++x) {
                const double dx = (x - cx) / rx, dy = (y - cy) / ry;
                if (dx * dx + dy * dy <= 1.0) {
                    set(x, y, c);
                }
            }
        }
    }
};

BitmapResource blank(int id, int width, int height, std::uint32_t fill) {
    BitmapResource b{id, width, height, {}};
    b.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
    return b;
}

// One pictogram per unwrap mode, in a 64 x 32 cell.
void draw_mode(Canvas& c, int mode) {
    switch (mode) {
    case 0: // organic: a soft shape cut into charts
        c.disc(32, 16, 20, 11, kAccent);
        c.line(20, 8, 44, 24, kInk);
        c.line(24, 25, 40, 7, kInk);
        break;
    case 1: // hard surface: a box
        c.frame(20, 11, 38, 26, kInk);
        c.line(20, 11, 27, 5, kInk);
        c.line(38, 11, 45, 5, kInk);
        c.line(38, 26, 45, 20, kInk);
        c.line(27, 5, 45, 5, kInk);
        c.line(45, 5, 45, 20, kInk);
        c.rect(21, 12, 37, 25, kAccent);
        break;
    case 2: // UV pack: charts packed into a square
        c.frame(17, 3, 46, 28, kInk);
        c.rect(19, 5, 30, 15, kAccent);
        c.rect(32, 5, 44, 11, kAccent);
        c.rect(19, 17, 27, 26, kAccent);
        c.rect(29, 17, 44, 26, kAccent);
        c.rect(32, 13, 44, 15, kAccent);
        break;
    case 3: // UV copy: one layout laid over another
        c.frame(14, 4, 36, 22, kInk);
        c.rect(28, 10, 50, 28, kAccent);
        c.frame(28, 10, 50, 28, kInk);
        break;
    default: // projection: a camera and its view
        c.rect(8, 11, 20, 21, kInk);
        c.line(20, 16, 50, 4, kAccent);
        c.line(20, 16, 50, 28, kAccent);
        c.line(50, 4, 50, 28, kAccent);
        break;
    }
}

BitmapResource mode_buttons() {
    // Image 2m + 1 is mode m's button out, image 2m pressed in.
    BitmapResource b = blank(IDB_MODE_BUTTONS, 64 * 10, 32, kOutFace);
    for (int mode = 0; mode < 5; ++mode) {
        for (int in = 0; in < 2; ++in) {
            Canvas c{b, 64 * (2 * mode + (in == 1 ? 0 : 1))};
            c.rect(0, 0, 63, 31, in == 1 ? kInFace : kOutFace);
            c.frame(0, 0, 63, 31, in == 1 ? kAccent : 0xFF9A9A9A);
            draw_mode(c, mode);
        }
    }
    return b;
}

BitmapResource lock_image() {
    BitmapResource b = blank(IDB_ASPECT_LOCK, 16, 15, kOutFace);
    Canvas c{b};
    c.frame(5, 1, 10, 7, kInk);
    c.rect(3, 7, 12, 13, kInk);
    c.rect(7, 9, 8, 11, kOutFace);
    return b;
}

BitmapResource logo() {
    BitmapResource b = blank(IDB_LOGO, 150, 40, kWhite);
    Canvas c{b};
    // A "V" of two strokes over an atlas grid.
    for (int x = 8; x <= 40; x += 8) {
        c.line(x, 4, x, 35, 0xFFCCD9EE);
    }
    for (int y = 4; y <= 36; y += 8) {
        c.line(8, y, 40, y, 0xFFCCD9EE);
    }
    for (int w = 0; w < 3; ++w) {
        c.line(10 + w, 6, 24 + w, 34, kAccent);
        c.line(38 + w, 6, 24 + w, 34, kAccent);
    }
    c.rect(50, 18, 140, 21, kInk);
    return b;
}

// Black where the image shows, white where the button face shows through.
BitmapResource mask_of(const BitmapResource& image, int id, bool whole) {
    BitmapResource m = blank(id, image.width, image.height, whole ? kBlack : kWhite);
    if (!whole) {
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            if (image.pixels[i] != kOutFace) {
                m.pixels[i] = kBlack;
            }
        }
    }
    return m;
}

} // namespace

std::vector<BitmapResource> VellumarBitmaps() {
    std::vector<BitmapResource> out;
    out.push_back(lock_image());
    out.push_back(mask_of(out.back(), IDB_ASPECT_LOCK_MASK, false));
    out.push_back(logo());
    out.push_back(mode_buttons());
    out.push_back(mask_of(out.back(), IDB_MODE_BUTTONS_MASK, true));
    return out;
}
