#include "standalone/materials/standard_material.h"

#include "host/chunk_io.h"

#include <algorithm>
#include <cmath>

namespace {

const wchar_t* const kSlotNames[STD_NUM_MAPS] = {
    L"Ambient Color", L"Diffuse Color",     L"Specular Color", L"Specular Level",
    L"Glossiness",    L"Self-Illumination", L"Opacity",        L"Filter Color",
    L"Bump",          L"Reflection",        L"Refraction",     L"Displacement"};

bool write_color(ISave* s, const Color& c) {
    return write_f32(s, c.r) && write_f32(s, c.g) && write_f32(s, c.b);
}

bool read_color(ILoad* l, Color& c) {
    return read_f32(l, c.r) && read_f32(l, c.g) && read_f32(l, c.b) && std::isfinite(c.r) &&
           std::isfinite(c.g) && std::isfinite(c.b);
}

class StandardMaterialDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new StandardMaterial; }
    const MCHAR* ClassName() override { return L"Standard"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return standardMaterialClassID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"Standardmaterial"; }
};

} // namespace

StandardMaterial::~StandardMaterial() {
    for (int i = 0; i < STD_NUM_MAPS; ++i) {
        SetSubTexmap(i, nullptr);
    }
}

ReferenceTarget* StandardMaterial::Clone(RemapDir&) {
    auto* copy = new StandardMaterial;
    copy->SetName(GetName());
    copy->diffuse_ = diffuse_;
    copy->opacity_ = opacity_;
    copy->self_illum_ = self_illum_;
    copy->self_illum_amount_ = self_illum_amount_;
    copy->SetMtlFlag(GetMtlFlags());
    for (int i = 0; i < STD_NUM_MAPS; ++i) {
        copy->SetSubTexmap(i, maps_[static_cast<std::size_t>(i)]);
    }
    return copy;
}

void StandardMaterial::SetOpacity(float v, TimeValue) {
    opacity_ = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 1.0f;
}

void StandardMaterial::SetSelfIllum(float v, TimeValue) {
    self_illum_amount_ = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
}

Texmap* StandardMaterial::GetSubTexmap(int i) {
    return i >= 0 && i < STD_NUM_MAPS ? maps_[static_cast<std::size_t>(i)] : nullptr;
}

void StandardMaterial::SetSubTexmap(int i, Texmap* m) {
    if (i < 0 || i >= STD_NUM_MAPS) {
        return;
    }
    Texmap*& slot = maps_[static_cast<std::size_t>(i)];
    ReplaceReference(slot, m);
}

std::wstring StandardMaterial::GetSubTexmapSlotName(int i) {
    return i >= 0 && i < STD_NUM_MAPS ? kSlotNames[i] : L"";
}

IOResult StandardMaterial::Save(ISave* isave) {
    return write_color(isave, diffuse_) && write_f32(isave, opacity_) &&
                   write_color(isave, self_illum_) && write_f32(isave, self_illum_amount_)
               ? IO_OK
               : IO_ERROR;
}

IOResult StandardMaterial::Load(ILoad* iload) {
    Color diffuse, self_illum;
    float opacity = 1.0f;
    if (!read_color(iload, diffuse) || !read_f32(iload, opacity) ||
        !read_color(iload, self_illum)) {
        return IO_ERROR;
    }
    diffuse_ = diffuse;
    SetOpacity(opacity, 0);
    self_illum_ = self_illum;
    // Files written before materials lit themselves end here.
    float amount = 0.0f;
    if (fits(iload, 1, 4) && !read_f32(iload, amount)) {
        return IO_ERROR;
    }
    SetSelfIllum(amount, 0);
    return IO_OK;
}

ClassDesc2* GetStandardMaterialDesc() {
    static StandardMaterialDesc desc;
    return &desc;
}
