#include "standalone/scene/progress.h"

#include "host/text.h"

#include <algorithm>
#include <cstdio>

ProgressBar::ProgressBar(bool draw) : draw_(draw) {}

void ProgressBar::Start(const std::wstring& title) {
    open_ = true;
    percent_ = 0;
    title_ = title;
    titles_.push_back(title);
    Draw();
}

void ProgressBar::Update(int percent, bool, const std::wstring* title) {
    percent_ = std::clamp(percent, 0, 100);
    if (title != nullptr && *title != title_) {
        title_ = *title;
        titles_.push_back(title_);
    }
    Draw();
}

void ProgressBar::End() {
    if (open_ && draw_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    open_ = false;
}

void ProgressBar::Draw() {
    if (!open_ || !draw_) {
        return;
    }
    constexpr int kWidth = 30;
    const int filled = percent_ * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '-');
    std::fprintf(stderr, "\r\033[K%-32.32s [%s] %3d%%", WideToUtf8(title_).c_str(), bar.c_str(),
                 percent_);
    std::fflush(stderr);
}
