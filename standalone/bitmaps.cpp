#include "standalone/bitmaps.h"

#include "host/text.h"
#include "standalone/png_file.h"

#include <algorithm>

MemoryBitmap::MemoryBitmap(int width, int height, std::vector<DisplayedImage>* windows,
                           DisplayTarget* target)
    : width_(width), height_(height),
      rgba_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0),
      windows_(windows), target_(target) {}

int MemoryBitmap::Fill(const BMM_Color_64& c) {
    for (std::size_t i = 0; i < rgba_.size(); i += 4) {
        rgba_[i] = c.r;
        rgba_[i + 1] = c.g;
        rgba_[i + 2] = c.b;
        rgba_[i + 3] = c.a;
    }
    return 1;
}

int MemoryBitmap::PutPixels(int x, int y, int count, const BMM_Color_64* pixels) {
    if (y < 0 || y >= height_ || x < 0 || count < 0 || x + count > width_) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const std::size_t at = (static_cast<std::size_t>(y) * width_ + x + i) * 4;
        rgba_[at] = pixels[i].r;
        rgba_[at + 1] = pixels[i].g;
        rgba_[at + 2] = pixels[i].b;
        rgba_[at + 3] = pixels[i].a;
    }
    return 1;
}

int MemoryBitmap::GetPixels(int x, int y, int count, BMM_Color_64* pixels) {
    if (y < 0 || y >= height_ || x < 0 || count < 0 || x + count > width_) {
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const std::size_t at = (static_cast<std::size_t>(y) * width_ + x + i) * 4;
        pixels[i] = {rgba_[at], rgba_[at + 1], rgba_[at + 2], rgba_[at + 3]};
    }
    return 1;
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
        shown.error = png_rgba16(width_, height_, rgba_, shown.png);
    } else {
        shown.error = write_png_rgba16(shown.path, width_, height_, rgba_);
    }
    if (windows_ != nullptr) {
        windows_->push_back(shown);
    }
    return shown.error.empty() ? 1 : 0;
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
