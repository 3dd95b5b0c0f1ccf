// The standalone host's bitmaps: pixels in memory (16 bits per channel, or
// floats for high-dynamic-range images), loaded from and written to real
// image files, and display windows that write what they show as a PNG into
// the host's output folder, or hold the encoded PNG for their owner to write
// when it decides to.
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

class MemoryBitmap;

// Keeps every bitmap the manager handed out until its user deletes it; a
// bitmap shown in a window stays with the window until the host ends.
class BitmapStore {
  public:
    MemoryBitmap* Add(std::unique_ptr<MemoryBitmap> bitmap);
    void Release(MemoryBitmap* bitmap);
    std::size_t size() const { return bitmaps_.size(); }

  private:
    std::vector<std::unique_ptr<MemoryBitmap>> bitmaps_;
};

class MemoryBitmap : public Bitmap {
  public:
    // With `hdr` the pixels are floats, else 16-bit channels; all zero.
    MemoryBitmap(int width, int height, bool hdr, std::vector<DisplayedImage>* windows,
                 DisplayTarget* target, BitmapStore* store = nullptr);
    int Width() override { return width_; }
    int Height() override { return height_; }
    int Fill(const BMM_Color_64& colour) override;
    int PutPixels(int x, int y, int count, const BMM_Color_64* pixels) override;
    int GetPixels(int x, int y, int count, BMM_Color_64* pixels) override;
    int IsHighDynamicRange() override { return hdr_ ? 1 : 0; }
    int GetLinearPixels(int x, int y, int count, BMM_Color_fl* pixels) override;
    int PutLinearPixels(int x, int y, int count, const BMM_Color_fl* pixels) override;
    BMMRES OpenOutput(BitmapInfo* bi) override;
    BMMRES Write(BitmapInfo* bi, DWORD frame = BMM_SINGLEFRAME) override;
    BMMRES Close(BitmapInfo* bi, int flag = BMM_CLOSE_COMPLETE) override;
    int Display(const MCHAR* title, int position, BOOL autonomous, BOOL savebutton) override;
    void DeleteThis() override;

    bool displayed() const { return displayed_; }
    // What the last failed write said, for the host's own messages.
    const std::string& output_error() const { return output_error_; }

    // Reads the image file at `path` (a host path); nullptr with `error` set
    // when it cannot. EXR files load as floats, the others as 16 bits.
    static std::unique_ptr<MemoryBitmap> FromFile(const std::string& path,
                                                  std::vector<DisplayedImage>* windows,
                                                  DisplayTarget* target, BitmapStore* store,
                                                  std::string& error);

  private:
    bool in_range(int x, int y, int count) const {
        return y >= 0 && y < height_ && x >= 0 && count >= 0 && x + count <= width_;
    }
    std::size_t at(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)) *
               4;
    }
    std::vector<std::uint16_t> as_16bit() const;

    int width_, height_;
    bool hdr_;
    std::vector<std::uint16_t> rgba_;  // 16-bit storage
    std::vector<float> linear_;        // float storage
    std::vector<std::string> outputs_; // paths opened for output
    std::string output_error_;
    bool displayed_ = false;
    std::vector<DisplayedImage>* windows_;
    DisplayTarget* target_;
    BitmapStore* store_;
};

// A file name from a window title: characters that file systems refuse
// become '_'.
std::string file_name_for_title(const std::wstring& title);

// A path the plug-in built as the host sees it on this machine: the
// plug-in joins folders with '\\', which is a separator here as well.
std::string host_file_path(const std::wstring& name);
