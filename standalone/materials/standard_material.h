// The host's standard material: diffuse colour, opacity, self-illumination
// and the twelve standard map slots.
#pragma once

#include "host/class_desc.h"
#include "host/mtl.h"

#include <array>

class StandardMaterial : public StdMat {
  public:
    StandardMaterial() = default;
    ~StandardMaterial() override;
    StandardMaterial(const StandardMaterial&) = delete;
    StandardMaterial& operator=(const StandardMaterial&) = delete;

    Class_ID ClassID() override { return standardMaterialClassID; }
    // The copy shares the maps.
    ReferenceTarget* Clone(RemapDir& remap) override;
    // Colours and amounts; the maps are references the scene file keeps.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    Color GetDiffuse(int = 0, BOOL = 0) override { return diffuse_; }
    void SetDiffuse(Color c, TimeValue) override { diffuse_ = c; }
    float GetOpacity(TimeValue) override { return opacity_; }
    void SetOpacity(float v, TimeValue) override;
    Color GetSelfIllumColor(TimeValue) override { return self_illum_; }
    void SetSelfIllumColor(Color c, TimeValue) override { self_illum_ = c; }
    float GetSelfIllum(TimeValue) override { return self_illum_amount_; }
    void SetSelfIllum(float v, TimeValue) override;

    int NumSubTexmaps() override { return STD_NUM_MAPS; }
    Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, Texmap* m) override;
    std::wstring GetSubTexmapSlotName(int i) override;

  private:
    // Mid grey: a new material shades like no material at all.
    Color diffuse_{0.5f, 0.5f, 0.5f};
    float opacity_ = 1.0f;
    Color self_illum_;
    float self_illum_amount_ = 0.0f;
    std::array<Texmap*, STD_NUM_MAPS> maps_{};
};

ClassDesc2* GetStandardMaterialDesc();
