#include "standalone/files/bitmaps.h"

#include "host/text.h"
#include "standalone/files/image_files.h"
#include "standalone/files/png_file.h"
#include "standalone/render/bake_image_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

std::string lower_extension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t point = path.rfind('.');
    if (point == std::string::npos || (slash != std::string::npos && point < slash)) {
        return "";
    }
    std::string ext = path.substr(point);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::uint16_t to_16bit(float f) {
    if (!(f > 0.0f)) {
        return 0;
    }
    return f >= 1.0f ? 65535 : static_cast<std::uint16_t>(std::lround(f * 65535.0f));
}

} // namespace

MemoryBitmap* BitmapStore::Add(std::unique_ptr<MemoryBitmap> bitmap) {
    bitmaps_.push_back(std::move(bitmap));
    return bitmaps_.back().get();
}

void BitmapStore::Release(MemoryBitmap* bitmap) {
    if (bitmap->displayed()) {
        return;
    }
    std::erase_if(bitmaps_, [bitmap](const auto& b) { return b.get() == bitmap; });
}

MemoryBitmap::MemoryBitmap(int width, int height, bool hdr, std::vector<DisplayedImage>* windows,
                           DisplayTarget* target, BitmapStore* store)
    : width_(width), height_(height), hdr_(hdr), windows_(windows), target_(target), store_(store) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (hdr_) {
        linear_.assign(n, 0.0f);
    } else {
        rgba_.assign(n, 0);
    }
}

int MemoryBitmap::Fill(const BMM_Color_64& c) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            PutPixels(x, y, 1, &c);
        }
    }
    return 1;
}

int MemoryBitmap::PutPixels(int x, int y, int count, const BMM_Color_64* pixels) {
    if (!in_range(x, y, count)) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const BMM_Color_64& p = pixels[i];
        const std::size_t k = at(x + i, y);
        if (hdr_) {
            linear_[k] = p.r / 65535.0f;
            linear_[k + 1] = p.g / 65535.0f;
            linear_[k + 2] = p.b / 65535.0f;
            linear_[k + 3] = p.a / 65535.0f;
        } else {
            rgba_[k] = p.r;
            rgba_[k + 1] = p.g;
            rgba_[k + 2] = p.b;
            rgba_[k + 3] = p.a;
        }
    }
    return 1;
}

int MemoryBitmap::GetPixels(int x, int y, int count, BMM_Color_64* pixels) {
    if (!in_range(x, y, count)) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const std::size_t k = at(x + i, y);
        if (hdr_) {
            pixels[i] = {to_16bit(linear_[k]), to_16bit(linear_[k + 1]), to_16bit(linear_[k + 2]),
                         to_16bit(linear_[k + 3])};
        } else {
            pixels[i] = {rgba_[k], rgba_[k + 1], rgba_[k + 2], rgba_[k + 3]};
        }
    }
    return 1;
}

int MemoryBitmap::GetLinearPixels(int x, int y, int count, BMM_Color_fl* pixels) {
    if (!in_range(x, y, count)) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const std::size_t k = at(x + i, y);
        if (hdr_) {
            pixels[i] = {linear_[k], linear_[k + 1], linear_[k + 2], linear_[k + 3]};
        } else {
            pixels[i] = {rgba_[k] / 65535.0f, rgba_[k + 1] / 65535.0f, rgba_[k + 2] / 65535.0f,
                         rgba_[k + 3] / 65535.0f};
        }
    }
    return 1;
}

int MemoryBitmap::PutLinearPixels(int x, int y, int count, const BMM_Color_fl* pixels) {
    if (!in_range(x, y, count)) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const BMM_Color_fl& p = pixels[i];
        const std::size_t k = at(x + i, y);
        if (hdr_) {
            linear_[k] = p.r;
            linear_[k + 1] = p.g;
            linear_[k + 2] = p.b;
            linear_[k + 3] = p.a;
        } else {
            rgba_[k] = to_16bit(p.r);
            rgba_[k + 1] = to_16bit(p.g);
            rgba_[k + 2] = to_16bit(p.b);
            rgba_[k + 3] = to_16bit(p.a);
        }
    }
    return 1;
}

std::vector<std::uint16_t> MemoryBitmap::as_16bit() const {
    if (!hdr_) {
        return rgba_;
    }
    std::vector<std::uint16_t> out(linear_.size());
    std::transform(linear_.begin(), linear_.end(), out.begin(), to_16bit);
    return out;
}

BMMRES MemoryBitmap::OpenOutput(BitmapInfo* bi) {
    if (bi == nullptr) {
        return BMMRES_INTERNALERROR;
    }
    const std::string path = host_file_path(bi->Name());
    const std::string ext = lower_extension(path);
    if (ext != ".png" && ext != ".exr" && ext != ".tga" && ext != ".bmp" && ext != ".jpg" &&
        ext != ".jpeg") {
        output_error_ = "no image format for '" + path + "'";
        return BMMRES_INVALIDFORMAT;
    }
    outputs_.push_back(path);
    return BMMRES_SUCCESS;
}

BMMRES MemoryBitmap::Write(BitmapInfo* bi, DWORD) {
    if (bi == nullptr) {
        return BMMRES_INTERNALERROR;
    }
    const std::string path = host_file_path(bi->Name());
    if (std::find(outputs_.begin(), outputs_.end(), path) == outputs_.end()) {
        output_error_ = "'" + path + "' is not open for output";
        return BMMRES_INTERNALERROR;
    }
    if (lower_extension(path) == ".png") {
        output_error_ = write_png_rgba16(path, width_, height_, as_16bit());
    } else {
        std::vector<float> rgba = linear_;
        if (!hdr_) {
            rgba.resize(rgba_.size());
            std::transform(rgba_.begin(), rgba_.end(), rgba.begin(),
                           [](std::uint16_t v) { return float(v) / 65535.0f; });
        }
        output_error_ = WriteBakeImage(path, width_, height_, rgba);
    }
    return output_error_.empty() ? BMMRES_SUCCESS : BMMRES_IOERROR;
}

BMMRES MemoryBitmap::Close(BitmapInfo* bi, int) {
    if (bi == nullptr) {
        return BMMRES_INTERNALERROR;
    }
    const auto it = std::find(outputs_.begin(), outputs_.end(), host_file_path(bi->Name()));
    if (it == outputs_.end()) {
        return BMMRES_INTERNALERROR;
    }
    outputs_.erase(it);
    return BMMRES_SUCCESS;
}

int MemoryBitmap::Display(const MCHAR* title, int, BOOL, BOOL) {
    DisplayedImage shown;
    shown.title = title != nullptr ? title : L"";
    if (target_ != nullptr && !target_->next_path.empty()) {
        shown.path = target_->next_path;
        target_->next_path.clear();
    } else {
        const std::string folder = target_ != nullptr ? target_->folder : std::string(".");
        shown.path = folder + "/" + file_name_for_title(shown.title) + ".png";
    }
    if (target_ != nullptr && target_->hold) {
        shown.error = png_rgba16(width_, height_, as_16bit(), shown.png);
    } else {
        shown.error = write_png_rgba16(shown.path, width_, height_, as_16bit());
    }
    if (windows_ != nullptr) {
        windows_->push_back(shown);
    }
    displayed_ = true;
    return shown.error.empty() ? 1 : 0;
}

void MemoryBitmap::DeleteThis() {
    if (store_ != nullptr) {
        store_->Release(this);
    } else {
        delete this;
    }
}

std::unique_ptr<MemoryBitmap> MemoryBitmap::FromFile(const std::string& path,
                                                     std::vector<DisplayedImage>* windows,
                                                     DisplayTarget* target, BitmapStore* store,
                                                     std::string& error) {
    if (lower_extension(path) != ".exr") {
        // Straight into 16-bit storage: parts of a bake come back exactly.
        int w = 0, h = 0;
        std::vector<std::uint16_t> pixels;
        error = ReadImageFile16(path, w, h, pixels);
        if (!error.empty()) {
            return nullptr;
        }
        auto bitmap = std::make_unique<MemoryBitmap>(w, h, false, windows, target, store);
        bitmap->rgba_ = std::move(pixels);
        return bitmap;
    }
    FloatImage image;
    error = ReadImageFile(path, image);
    if (!error.empty()) {
        return nullptr;
    }
    auto bitmap =
        std::make_unique<MemoryBitmap>(image.width, image.height, true, windows, target, store);
    bitmap->linear_ = std::move(image.rgba);
    return bitmap;
}

std::string file_name_for_title(const std::wstring& title) {
    std::string name = WideToUtf8(title);
    std::replace_if(
        name.begin(), name.end(),
        [](char c) {
            return c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                   c == '<' || c == '>' || c == '|' || (c >= 0 && c < 32);
        },
        '_');
    return name.empty() ? std::string("image") : name;
}

std::string host_file_path(const std::wstring& name) {
    std::string path = WideToUtf8(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
