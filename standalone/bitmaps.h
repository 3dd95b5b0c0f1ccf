// The standalone host's bitmaps: pixels in memory, and display windows that
// write what they show as a PNG into the host's output folder, or hold the
// encoded PNG for their owner to write when it decides to.
#pragma once

#include "host/bitmap.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DisplayedImage {
    std::wstring title;
    std::string path;              // where the window's PNG went (or is to go, when held)
    std::string error;             // empty when it was written (or encoded, when held)
    std::vector<std::uint8_t> png; // the encoded image when held, else empty
};

// Where display windows put their images: `folder` (or `next_path` for the
// next window only); with `hold`, images are encoded but not written.
struct DisplayTarget {
    std::string folder = ".";
    std::string next_path;
    bool hold = false;
};

class MemoryBitmap : public Bitmap {
  public:
    MemoryBitmap(int width, int height, std::vector<DisplayedImage>* windows,
                 DisplayTarget* target);
    int Width() override { return width_; }
    int Height() override { return height_; }
    int Fill(const BMM_Color_64& colour) override;
    int PutPixels(int x, int y, int count, const BMM_Color_64* pixels) override;
    int GetPixels(int x, int y, int count, BMM_Color_64* pixels) override;
    int Display(const MCHAR* title, int position, BOOL autonomous, BOOL savebutton) override;

  private:
    int width_, height_;
    std::vector<std::uint16_t> rgba_;
    std::vector<DisplayedImage>* windows_;
    DisplayTarget* target_;
};

// A file name from a window title: characters that file systems refuse
// become '_'.
std::string file_name_for_title(const std::wstring& title);
