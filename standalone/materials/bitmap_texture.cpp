#include "standalone/materials/bitmap_texture.h"

#include "host/chunk_io.h"
#include "host/mesh.h"
#include "host/text.h"

namespace {

class BitmapTextureDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new BitmapTexture; }
    const MCHAR* ClassName() override { return L"Bitmap"; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return bitmapTexClassID; }
    const MCHAR* Category() override { return L"2D"; }
    const MCHAR* InternalName() override { return L"BitmapTexture"; }
};

} // namespace

ReferenceTarget* BitmapTexture::Clone(RemapDir&) {
    auto* copy = new BitmapTexture;
    copy->SetName(GetName());
    copy->name_ = name_;
    copy->channel_ = channel_;
    copy->packed_ = packed_;
    return copy;
}

void BitmapTexture::SetMapChannel(int channel) {
    if (channel >= 0 && channel < MAX_MESHMAPS) {
        channel_ = channel;
    }
}

std::shared_ptr<const FloatImage> BitmapTexture::LoadImage(std::string& error) {
    if (packed_) {
        return LoadPackedImage(packed_, error);
    }
    if (name_.empty()) {
        error = "the map names no file";
        return nullptr;
    }
    return LoadTextureFile(ResolveTexturePath(WideToUtf8(name_), ""), error);
}

IOResult BitmapTexture::Save(ISave* isave) {
    const std::string name = WideToUtf8(name_);
    const std::uint64_t packed = packed_ ? packed_->size() : 0;
    bool ok = write_u64(isave, name.size()) && write_bytes(isave, name.data(), name.size()) &&
              write_i32(isave, channel_) && write_u64(isave, packed);
    ok = ok && (packed == 0 || write_bytes(isave, packed_->data(), packed_->size()));
    return ok ? IO_OK : IO_ERROR;
}

IOResult BitmapTexture::Load(ILoad* iload) {
    std::uint64_t length = 0, packed = 0;
    std::string name;
    std::int32_t channel = 0;
    if (!read_u64(iload, length) || !read_string(iload, length, name) ||
        !read_i32(iload, channel) || channel < 0 || channel >= MAX_MESHMAPS ||
        !read_u64(iload, packed) || !fits(iload, packed, 1)) {
        return IO_ERROR;
    }
    std::shared_ptr<PackedImage> bytes;
    if (packed > 0) {
        bytes = std::make_shared<PackedImage>(static_cast<std::size_t>(packed));
        if (!read_bytes(iload, bytes->data(), bytes->size())) {
            return IO_ERROR;
        }
    }
    name_ = Utf8ToWide(name);
    channel_ = channel;
    packed_ = std::move(bytes);
    return IO_OK;
}

ClassDesc2* GetBitmapTextureDesc() {
    static BitmapTextureDesc desc;
    return &desc;
}
