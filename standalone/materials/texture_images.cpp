#include "standalone/materials/texture_images.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace {

struct Cache {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<const FloatImage>> files;
    // Keyed by the packed bytes' address; the weak owner tells a live entry
    // from one whose bytes are gone and whose address was reused.
    struct Packed {
        std::weak_ptr<const PackedImage> owner;
        std::weak_ptr<const FloatImage> image;
    };
    std::map<const PackedImage*, Packed> packed;
};

Cache& cache() {
    static Cache c;
    return c;
}

bool is_file(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

int wrap(long long i, int n) {
    const long long r = i % n;
    return static_cast<int>(r < 0 ? r + n : r);
}

} // namespace

std::shared_ptr<const FloatImage> LoadTextureFile(const std::string& path, std::string& error) {
    Cache& c = cache();
    // One reader at a time: two bakes asking for one file read it once.
    std::lock_guard<std::mutex> hold(c.lock);
    if (auto image = c.files[path].lock()) {
        return image;
    }
    // A pipe or a device would block the bake on its first read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = std::filesystem::exists(path, ec) ? "it is not a regular file" : "no such file";
        return nullptr;
    }
    auto image = std::make_shared<FloatImage>();
    error = ReadImageFile(path, *image, kMaxTexturePixels);
    if (!error.empty()) {
        return nullptr;
    }
    c.files[path] = image;
    return image;
}

std::shared_ptr<const FloatImage> LoadPackedImage(const std::shared_ptr<const PackedImage>& packed,
                                                  std::string& error) {
    if (!packed) {
        error = "no image data";
        return nullptr;
    }
    Cache& c = cache();
    std::lock_guard<std::mutex> hold(c.lock);
    Cache::Packed& entry = c.packed[packed.get()];
    if (entry.owner.lock() == packed) {
        if (auto image = entry.image.lock()) {
            return image;
        }
    }
    auto image = std::make_shared<FloatImage>();
    error = ReadImageMemory(packed->data(), packed->size(), *image, kMaxTexturePixels);
    if (!error.empty()) {
        return nullptr;
    }
    entry = {packed, image};
    return image;
}

std::string ResolveTexturePath(const std::string& name, const std::string& scene_dir) {
    if (name.empty() || is_file(name)) {
        return name;
    }
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    // "C:/maps/x.png" is relative on this machine, but no folder of the
    // scene holds a "C:" folder: only its file name can be found here.
    const bool drive = slashed.size() >= 2 && slashed[1] == ':';
    const fs::path given(slashed);
    const fs::path dir(scene_dir);
    if (!drive) {
        const fs::path full = given.is_absolute() || dir.empty() ? given : dir / given;
        if (is_file(full)) {
            return full.lexically_normal().string();
        }
    }
    const fs::path here = dir / given.filename();
    if (given.has_filename() && is_file(here)) {
        return here.lexically_normal().string();
    }
    // Left as the scene names it, so that the warning names what the
    // user wrote.
    return name;
}

void SampleBilinear(const FloatImage& image, Point2 uv, float rgba[4]) {
    const int w = image.width, h = image.height;
    if (image.Empty() || !std::isfinite(uv.x) || !std::isfinite(uv.y)) {
        std::fill(rgba, rgba + 4, 0.0f);
        return;
    }
    // Only the fraction matters on a repeating image; taking it first keeps
    // large coordinates from losing the texel to float precision.
    const double u = uv.x - std::floor(uv.x);
    const double v = uv.y - std::floor(uv.y);
    const double x = u * w - 0.5;
    const double y = (1.0 - v) * h - 0.5;
    const double x0 = std::floor(x), y0 = std::floor(y);
    const float fx = static_cast<float>(x - x0), fy = static_cast<float>(y - y0);
    const int xa = wrap(static_cast<long long>(x0), w),
              xb = wrap(static_cast<long long>(x0) + 1, w);
    const int ya = wrap(static_cast<long long>(y0), h),
              yb = wrap(static_cast<long long>(y0) + 1, h);
    auto at = [&](int px, int py, int k) {
        return image.rgba[(static_cast<std::size_t>(py) * static_cast<std::size_t>(w) +
                           static_cast<std::size_t>(px)) *
                              4 +
                          static_cast<std::size_t>(k)];
    };
    for (int k = 0; k < 4; ++k) {
        const float top = at(xa, ya, k) + (at(xb, ya, k) - at(xa, ya, k)) * fx;
        const float bottom = at(xa, yb, k) + (at(xb, yb, k) - at(xa, yb, k)) * fx;
        rgba[k] = top + (bottom - top) * fy;
    }
}
