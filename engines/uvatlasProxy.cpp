#include "engines/uvatlasProxy.h"

void UvAtlasProxy::init(HWND window, std::uint32_t max_charts, float max_stretch,
                        std::uint32_t width, std::uint32_t height, int gutter, bool quality) {
    window_ = window;
    max_charts_ = max_charts;
    max_stretch_ = max_stretch;
    width_ = width;
    height_ = height;
    gutter_ = static_cast<float>(gutter);
    options_ = quality ? 2u : 1u;
}

void UvAtlasProxy::release() {
    window_ = nullptr;
}
