// The host's double-sided material: one material on the side a face's normal
// points to, another on its back. Bakes see the facing side.
#pragma once

#include "host/class_desc.h"
#include "standalone/materials/material_pair.h"

class DoubleSidedMaterial : public MaterialPair {
  public:
    DoubleSidedMaterial() : MaterialPair(L"Facing material", L"Back material") {}

    Class_ID ClassID() override { return doubleSidedClassID; }
    ReferenceTarget* Clone(RemapDir& remap) override;

    Color GetDiffuse(int mtlNum = 0, BOOL backFace = 0) override;
    void SetDiffuse(Color, TimeValue) override {}
};

ClassDesc2* GetDoubleSidedDesc();
