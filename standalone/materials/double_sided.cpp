#include "standalone/materials/double_sided.h"

namespace {

class DoubleSidedDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return static_cast<Mtl*>(new DoubleSidedMaterial); }
    const MCHAR* ClassName() override { return L"Double Sided"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return doubleSidedClassID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"DoubleSided"; }
};

} // namespace

ReferenceTarget* DoubleSidedMaterial::Clone(RemapDir&) {
    auto* copy = new DoubleSidedMaterial;
    CopyInto(*copy);
    return copy;
}

Color DoubleSidedMaterial::GetDiffuse(int mtlNum, BOOL backFace) {
    Mtl* side = GetSubMtl(backFace != 0 ? 1 : 0);
    return side != nullptr ? side->GetDiffuse(mtlNum, backFace) : Color(0.5f, 0.5f, 0.5f);
}

ClassDesc2* GetDoubleSidedDesc() {
    static DoubleSidedDesc desc;
    return &desc;
}
