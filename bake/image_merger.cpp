#include "bake/image_merger.h"

#include "bake/pixel_merge.h"

#include "host/interface.h"
#include "host/text.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

int get_pixels(Bitmap& bm, int x, int y, int count, BMM_Color_64* out) {
    return bm.GetPixels(x, y, count, out);
}
int get_pixels(Bitmap& bm, int x, int y, int count, BMM_Color_fl* out) {
    return bm.GetLinearPixels(x, y, count, out);
}
int get_row(Bitmap& bm, int y, int width, BMM_Color_64* row) {
    return get_pixels(bm, 0, y, width, row);
}
int get_row(Bitmap& bm, int y, int width, BMM_Color_fl* row) {
    return get_pixels(bm, 0, y, width, row);
}
int put_row(Bitmap& bm, int y, int width, const BMM_Color_64* row) {
    return bm.PutPixels(0, y, width, row);
}
int put_row(Bitmap& bm, int y, int width, const BMM_Color_fl* row) {
    return bm.PutLinearPixels(0, y, width, row);
}

template <class Pixel> void rewrite_rows(Bitmap& bm) {
    const int width = bm.Width();
    std::vector<Pixel> row(static_cast<std::size_t>(std::max(width, 0)));
    for (int y = 0; y < bm.Height(); ++y) {
        if (get_row(bm, y, width, row.data()) != 0) {
            put_row(bm, y, width, row.data());
        }
    }
}

struct ReleaseBitmap {
    void operator()(Bitmap* bm) const { bm->DeleteThis(); }
};

} // namespace

void ImageMerger::SetBase(Bitmap* bitmap) {
    base_ = bitmap;
    background64_ = {};
    backgroundFl_ = {};
    backgroundKnown_ = false;
}

bool ImageMerger::MergeFile(const std::string& path) {
    if (base_ == nullptr) {
        return false;
    }
    BitmapInfo info;
    info.SetName(Utf8ToWide(path).c_str());
    std::unique_ptr<Bitmap, ReleaseBitmap> loaded(
        GetCOREInterface()->GetBitmapManager().Load(&info));
    // A part of another size belongs to another texture: merging it would
    // leave pixels out or put them in the wrong place.
    if (!loaded || loaded->Width() != base_->Width() || loaded->Height() != base_->Height()) {
        return false;
    }
    if (base_->IsHighDynamicRange() != 0) {
        merge<BMM_Color_fl>(*loaded);
    } else {
        merge<BMM_Color_64>(*loaded);
    }
    return true;
}

template <class Pixel> void ImageMerger::merge(Bitmap& loaded) {
    const int width = loaded.Width();
    const int height = loaded.Height();
    if (width <= 0 || height <= 0) {
        return;
    }
    Pixel& background = [this]() -> Pixel& {
        if constexpr (std::is_same_v<Pixel, BMM_Color_fl>) {
            return backgroundFl_;
        } else {
            return background64_;
        }
    }();
    if (!backgroundKnown_) {
        Pixel corners[4];
        get_pixels(loaded, 0, 0, 1, &corners[0]);
        get_pixels(loaded, width - 1, 0, 1, &corners[1]);
        get_pixels(loaded, 0, height - 1, 1, &corners[2]);
        get_pixels(loaded, width - 1, height - 1, 1, &corners[3]);
        background = BackgroundFromCorners(corners);
        backgroundKnown_ = true;
    }
    // A part larger than the base only merges where the base has pixels.
    const int columns = std::min(width, base_->Width());
    const int rows = std::min(height, base_->Height());
    std::vector<Pixel> baseRow(static_cast<std::size_t>(std::max(columns, 0)));
    std::vector<Pixel> partRow(baseRow.size());
    for (int y = 0; y < rows; ++y) {
        if (get_row(*base_, y, columns, baseRow.data()) == 0 ||
            get_row(loaded, y, columns, partRow.data()) == 0) {
            continue;
        }
        MergePixelRow(baseRow.data(), partRow.data(), columns, background);
        put_row(*base_, y, columns, baseRow.data());
    }
}

void ImageMerger::Finish(Bitmap* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    if (bitmap->IsHighDynamicRange() != 0) {
        rewrite_rows<BMM_Color_fl>(*bitmap);
    } else {
        rewrite_rows<BMM_Color_64>(*bitmap);
    }
}

void ImageMerger::Release(Bitmap* bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    if (bitmap == base_) {
        SetBase(nullptr);
    }
    bitmap->DeleteThis();
}

ImageMerger& imageMerger() {
    static ImageMerger merger;
    return merger;
}

bool WriteSingleFrame(Bitmap& bitmap, const std::string& target) {
    BitmapInfo info;
    info.SetName(Utf8ToWide(target).c_str());
    info.SetWidth(bitmap.Width());
    info.SetHeight(bitmap.Height());
    if (bitmap.OpenOutput(&info) != BMMRES_SUCCESS) {
        return false;
    }
    const bool written = bitmap.Write(&info, BMM_SINGLEFRAME) == BMMRES_SUCCESS;
    return bitmap.Close(&info) == BMMRES_SUCCESS && written;
}
