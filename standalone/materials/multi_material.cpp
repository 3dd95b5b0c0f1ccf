#include "standalone/materials/multi_material.h"

#include "host/chunk_io.h"

#include <algorithm>
#include <cstdint>

namespace {

class MultiMaterialDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new MultiMaterial; }
    const MCHAR* ClassName() override { return L"Multimaterial"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return multiMtlClassID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"Multimaterial"; }
};

} // namespace

MultiMaterial::~MultiMaterial() {
    SetNumSubMtls(0);
}

ReferenceTarget* MultiMaterial::Clone(RemapDir&) {
    auto* copy = new MultiMaterial;
    copy->SetName(GetName());
    for (int i = 0; i < NumSubMtls(); ++i) {
        copy->SetSubMtl(i, subs_[static_cast<std::size_t>(i)]);
    }
    return copy;
}

IOResult MultiMaterial::Save(ISave* isave) {
    return write_u32(isave, static_cast<std::uint32_t>(subs_.size())) ? IO_OK : IO_ERROR;
}

IOResult MultiMaterial::Load(ILoad* iload) {
    if (iload->BytesLeft() == 0) {
        return IO_OK;
    }
    std::uint32_t count = 0;
    if (!read_u32(iload, count) || count > std::uint32_t(kMaxSubMtls)) {
        return IO_ERROR;
    }
    SetNumSubMtls(static_cast<int>(count));
    return IO_OK;
}

Color MultiMaterial::GetDiffuse(int mtlNum, BOOL backFace) {
    Mtl* first = subs_.empty() ? nullptr : subs_.front();
    return first != nullptr ? first->GetDiffuse(mtlNum, backFace) : Color(0.5f, 0.5f, 0.5f);
}

Mtl* MultiMaterial::GetSubMtl(int i) {
    return i >= 0 && i < NumSubMtls() ? subs_[static_cast<std::size_t>(i)] : nullptr;
}

void MultiMaterial::SetSubMtl(int i, Mtl* m) {
    if (i < 0) {
        return;
    }
    if (i >= NumSubMtls()) {
        subs_.resize(static_cast<std::size_t>(i) + 1, nullptr);
    }
    Mtl*& slot = subs_[static_cast<std::size_t>(i)];
    ReplaceReference(slot, m);
}

void MultiMaterial::SetNumSubMtls(int n) {
    n = std::max(n, 0);
    for (int i = n; i < NumSubMtls(); ++i) {
        SetSubMtl(i, nullptr);
    }
    subs_.resize(static_cast<std::size_t>(n), nullptr);
}

Mtl* SubMaterialForId(Mtl* mtl, MtlID id) {
    if (mtl == nullptr || mtl->ClassID() != multiMtlClassID || mtl->NumSubMtls() == 0) {
        return mtl;
    }
    return mtl->GetSubMtl(static_cast<int>(id % static_cast<MtlID>(mtl->NumSubMtls())));
}

ClassDesc2* GetMultiMaterialDesc() {
    static MultiMaterialDesc desc;
    return &desc;
}
