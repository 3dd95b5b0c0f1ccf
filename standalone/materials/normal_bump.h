// The host's normal bump texture: its "Normal" sub-texmap holds a
// tangent-space normal map whose colours are normals scaled into 0..1.
#pragma once

#include "host/class_desc.h"
#include "host/mtl.h"

class NormalBump : public Texmap {
  public:
    NormalBump() = default;
    ~NormalBump() override { SetSubTexmap(0, nullptr); }
    NormalBump(const NormalBump&) = delete;
    NormalBump& operator=(const NormalBump&) = delete;

    Class_ID ClassID() override { return normalBumpClassID; }
    // The copy shares the normal map.
    ReferenceTarget* Clone(RemapDir& remap) override;

    int NumSubTexmaps() override { return 1; }
    Texmap* GetSubTexmap(int i) override { return i == 0 ? normal_ : nullptr; }
    void SetSubTexmap(int i, Texmap* m) override;
    std::wstring GetSubTexmapSlotName(int i) override { return i == 0 ? L"Normal" : L""; }
    int GetMapChannel() override { return normal_ != nullptr ? normal_->GetMapChannel() : 1; }

  private:
    Texmap* normal_ = nullptr;
};

ClassDesc2* GetNormalBumpDesc();
