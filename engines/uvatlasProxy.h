// The adapter between the unwrap pipeline and the atlas library: the atlas
// parameters of the current run.
#pragma once

#include "host/max_types.h"

#include <cstdint>

class UvAtlasProxy {
  public:
    // Stores the run's parameters. The atlas library needs no device, so
    // nothing can fail here.
    void init(HWND window, std::uint32_t max_charts, float max_stretch, std::uint32_t width,
              std::uint32_t height, int gutter, bool quality);
    // Forgets the run's window.
    void release();

    HWND window() const { return window_; }
    std::uint32_t max_charts() const { return max_charts_; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    float max_stretch() const { return max_stretch_; }
    float gutter() const { return gutter_; }
    // 2 for the high-quality computation, 1 for the fast one.
    std::uint32_t options() const { return options_; }
    float stretch_out() const { return stretch_out_; }
    std::uint32_t charts_out() const { return charts_out_; }

  private:
    HWND window_ = nullptr;
    std::uint32_t max_charts_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    float max_stretch_ = 0.0f;
    float gutter_ = 0.0f;
    std::uint32_t options_ = 1;
    float stretch_out_ = 0.0f;
    std::uint32_t charts_out_ = 0;
};
