// Bitmaps: a description, the bitmap manager that creates or loads bitmaps
// from it, pixels in the 64-bit colour layout or as floats, single-frame
// output to image files, and display windows.
#pragma once

#include "host/max_types.h"

#include <string>

using WORD = std::uint16_t;
using BMMRES = WORD;

inline constexpr BMMRES BMMRES_SUCCESS = 0;
inline constexpr BMMRES BMMRES_FILENOTFOUND = 3;
inline constexpr BMMRES BMMRES_INTERNALERROR = 4;
inline constexpr BMMRES BMMRES_IOERROR = 7;
inline constexpr BMMRES BMMRES_INVALIDFORMAT = 9;

inline constexpr DWORD BMM_SINGLEFRAME = 0xFFFFFFFF;
inline constexpr int BMM_CLOSE_COMPLETE = 0;

struct BMM_Color_64 {
    WORD r = 0, g = 0, b = 0, a = 0;
    bool operator==(const BMM_Color_64&) const = default;
};

// A pixel of a high-dynamic-range bitmap: float channels, not clamped.
struct BMM_Color_fl {
    float r = 0, g = 0, b = 0, a = 0;
};

inline constexpr int BMM_TRUE_64 = 7;        // 16 bits per channel
inline constexpr int BMM_FLOAT_RGBA_32 = 17; // float channels, high dynamic range
inline constexpr DWORD MAP_HAS_ALPHA = 2;

class BitmapInfo {
  public:
    void SetName(const MCHAR* name) { name_ = name != nullptr ? name : L""; }
    const MCHAR* Name() const { return name_.c_str(); }
    void SetType(int type) { type_ = type; }
    int Type() const { return type_; }
    void SetWidth(int w) { width_ = w; }
    int Width() const { return width_; }
    void SetHeight(int h) { height_ = h; }
    int Height() const { return height_; }
    void SetFlags(DWORD flags) { flags_ = flags; }
    DWORD Flags() const { return flags_; }

  private:
    std::wstring name_;
    int type_ = BMM_TRUE_64;
    int width_ = 0, height_ = 0;
    DWORD flags_ = 0;
};

class Bitmap {
  public:
    virtual ~Bitmap() = default;
    virtual int Width() = 0;
    virtual int Height() = 0;
    virtual int Fill(const BMM_Color_64& colour) = 0;
    // Writes `count` pixels of row y from x on; returns 0 when out of range.
    virtual int PutPixels(int x, int y, int count, const BMM_Color_64* pixels) = 0;
    virtual int GetPixels(int x, int y, int count, BMM_Color_64* pixels) = 0;
    // Float storage: pixels keep values beyond 0..1.
    virtual int IsHighDynamicRange() = 0;
    // Rows as floats; 16-bit storage maps 0..65535 to 0..1.
    virtual int GetLinearPixels(int x, int y, int count, BMM_Color_fl* pixels) = 0;
    virtual int PutLinearPixels(int x, int y, int count, const BMM_Color_fl* pixels) = 0;
    // Output to the file the description names; its extension chooses the
    // format. Each returns BMMRES_SUCCESS or what failed.
    virtual BMMRES OpenOutput(BitmapInfo* bi) = 0;
    virtual BMMRES Write(BitmapInfo* bi, DWORD frame = BMM_SINGLEFRAME) = 0;
    virtual BMMRES Close(BitmapInfo* bi, int flag = BMM_CLOSE_COMPLETE) = 0;
    // Shows the bitmap in a window titled `title`; the window keeps it.
    virtual int Display(const MCHAR* title, int position = 1, BOOL autonomous = 1,
                        BOOL savebutton = 1) = 0;
    // Hands the bitmap back to the bitmap manager.
    virtual void DeleteThis() { delete this; }
};

class BitmapManager {
  public:
    virtual ~BitmapManager() = default;
    // nullptr when the bitmap cannot be made (zero or huge size, no memory).
    virtual Bitmap* Create(BitmapInfo* bi) = 0;
    // The image file the description names, with the description's size and
    // type set from it; nullptr (and the reason in status) when it cannot.
    virtual Bitmap* Load(BitmapInfo* bi, BMMRES* status = nullptr) = 0;
    virtual const MCHAR* GetDir(int which) = 0;
    // The bitmap output selector: the user names an image file to write,
    // whose path and type (from its extension) the description takes.
    // FALSE, the description unchanged, when the user cancels.
    virtual BOOL SelectFileOutput(BitmapInfo* bi, HWND owner, const MCHAR* title) = 0;
};
