// The standalone host's bitmaps: pixels in memory, and display windows that
// write what they show as a PNG into the host's output folder.
#pragma once

#include "host/bitmap.h"

#include <memory>
#include <string>
#include <vector>

struct DisplayedImage {
    std::wstring title;
    std::string path;  // where the window's PNG went
    std::string error; // empty when it was written
};

class MemoryBitmap : public Bitmap {
  public:
    MemoryBitmap(int width, int height, std::vector<DisplayedImage>* windows,
                 const std::string* folder, std::string* next_path);
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
    const std::string* folder_;
    std::string* next_path_;
};

// A file name from a window title: characters that file systems refuse
// become '_'.
std::string file_name_for_title(const std::wstring& title);
