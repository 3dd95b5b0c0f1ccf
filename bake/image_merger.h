// Lays the per-object images of a bake over one base image, through the
// host's bitmaps only (the pixel rule is in pixel_merge.h). One merger is
// reused for every merge; SetBase starts each one afresh.
#pragma once

#include "host/bitmap.h"

#include <string>

class ImageMerger {
  public:
    // The base to merge into (not owned); its background is undetermined
    // until the first part is merged.
    void SetBase(Bitmap* bitmap);
    // Loads the image file and merges it into the base over the loaded
    // image's size; false (nothing merged) when it cannot be loaded or
    // there is no base.
    bool MergeFile(const std::string& path);
    // Writes every row of the bitmap back through the pixel interface in its
    // own format, so that the host has its final pixels before it is saved.
    void Finish(Bitmap* bitmap);
    // Hands the bitmap back to the host; forgets it when it is the base.
    void Release(Bitmap* bitmap);

  private:
    template <class Pixel> void merge(Bitmap& loaded);

    Bitmap* base_ = nullptr;
    BMM_Color_64 background64_{};
    BMM_Color_fl backgroundFl_{};
    bool backgroundKnown_ = false;
};

// Writes the bitmap to the host path as a single-frame image.
bool WriteSingleFrame(Bitmap& bitmap, const std::string& target);

// The process-wide merger the bake and the network merge share.
ImageMerger& imageMerger();
