// The host's bitmap texture: an image file, or image bytes the scene carried
// inside itself, placed on the surface through one map channel.
#pragma once

#include "host/class_desc.h"
#include "host/mtl.h"
#include "standalone/materials/texture_images.h"

#include <memory>
#include <string>

class BitmapTexture : public BitmapTex {
  public:
    Class_ID ClassID() override { return bitmapTexClassID; }
    ReferenceTarget* Clone(RemapDir& remap) override;
    // File name, channel and packed bytes.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    void SetMapName(const MCHAR* name) override { name_ = name != nullptr ? name : L""; }
    const MCHAR* GetMapName() override { return name_.c_str(); }
    int GetMapChannel() override { return channel_; }
    // Channels run from 0 (vertex colours) to 99.
    void SetMapChannel(int channel) override;

    // Image bytes that come with the map instead of a file; the map name
    // then only names them. Maps may share one set of bytes.
    void SetPackedImage(std::shared_ptr<const PackedImage> bytes) { packed_ = std::move(bytes); }
    const std::shared_ptr<const PackedImage>& PackedImageBytes() const { return packed_; }

    // The image the map shows, read (or taken from the images already read)
    // now; nullptr with `error` set when it cannot be had.
    std::shared_ptr<const FloatImage> LoadImage(std::string& error);

  private:
    std::wstring name_;
    int channel_ = 1;
    std::shared_ptr<const PackedImage> packed_;
};

ClassDesc2* GetBitmapTextureDesc();
