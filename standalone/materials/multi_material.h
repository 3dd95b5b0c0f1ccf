// The host's multi/sub-object material: a list of sub-materials chosen per
// face by the face's material id.
#pragma once

#include "host/class_desc.h"
#include "host/mesh.h"
#include "host/mtl.h"

#include <vector>

// Face ids are 16 bits: no face selects a slot past these.
inline constexpr int kMaxSubMtls = 65536;

class MultiMaterial : public MultiMtl {
  public:
    MultiMaterial() = default;
    ~MultiMaterial() override;
    MultiMaterial(const MultiMaterial&) = delete;
    MultiMaterial& operator=(const MultiMaterial&) = delete;

    Class_ID ClassID() override { return multiMtlClassID; }
    // The copy shares the sub-materials.
    ReferenceTarget* Clone(RemapDir& remap) override;
    // The number of slots, empty ones included; the sub-materials are
    // references the scene file keeps. Data without it (older files) loads
    // as no slots, and the referenced sub-materials then add theirs.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    // The first sub-material's colour: what a viewer without ids shows.
    Color GetDiffuse(int mtlNum = 0, BOOL backFace = 0) override;
    void SetDiffuse(Color, TimeValue) override {}

    int NumSubMtls() override { return static_cast<int>(subs_.size()); }
    Mtl* GetSubMtl(int i) override;
    // Grows the list when i lies past its end.
    void SetSubMtl(int i, Mtl* m) override;
    void SetNumSubMtls(int n) override;

  private:
    std::vector<Mtl*> subs_; // referenced; empty slots are nullptr
};

ClassDesc2* GetMultiMaterialDesc();

// The material a face with material id `id` takes from `mtl`: a
// multi/sub-object material's sub-material (id modulo their count; nullptr
// for an empty slot), any other material, or a multi-material without
// sub-materials, itself.
Mtl* SubMaterialForId(Mtl* mtl, MtlID id);
