// The host's shell material: what an object wore before a bake (sub-material
// 0) beside the baked material (sub-material 1), with a choice per viewport
// and per render of which one shows.
#pragma once

#include "host/class_desc.h"
#include "host/iparamb2.h"
#include "standalone/materials/material_pair.h"

// The parameters of the shell's block 0.
inline constexpr ParamID kShellViewportParam = 0;
inline constexpr ParamID kShellRenderParam = 1;

class ShellMaterial : public MaterialPair {
  public:
    ShellMaterial();

    Class_ID ClassID() override { return bakeShellClassID; }
    ReferenceTarget* Clone(RemapDir& remap) override;
    // Both indices; the sub-materials are references the scene file keeps.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override;

    int ViewportIndex() const { return indices_[0]; }
    int RenderIndex() const { return indices_[1]; }
    Mtl* ViewportMtl() { return GetSubMtl(indices_[0]); }
    Mtl* RenderMtl() { return GetSubMtl(indices_[1]); }

    // The viewport material's colour.
    Color GetDiffuse(int mtlNum = 0, BOOL backFace = 0) override;
    void SetDiffuse(Color, TimeValue) override {}

  private:
    class Block : public IParamBlock2 {
      public:
        explicit Block(ShellMaterial& owner) : owner_(owner) {}
        int NumParams() override { return 2; }
        BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) override;
        int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) override;

      private:
        ShellMaterial& owner_;
    };

    int indices_[2] = {0, 1};
    Block block_;
};

ClassDesc2* GetShellMaterialDesc();
