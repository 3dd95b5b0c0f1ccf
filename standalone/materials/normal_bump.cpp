#include "standalone/materials/normal_bump.h"

namespace {

class NormalBumpDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new NormalBump; }
    const MCHAR* ClassName() override { return L"Normal Bump"; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    Class_ID ClassID() override { return normalBumpClassID; }
    const MCHAR* Category() override { return L"3D"; }
    const MCHAR* InternalName() override { return L"GNormal"; }
};

} // namespace

ReferenceTarget* NormalBump::Clone(RemapDir&) {
    auto* copy = new NormalBump;
    copy->SetName(GetName());
    copy->SetSubTexmap(0, normal_);
    return copy;
}

void NormalBump::SetSubTexmap(int i, Texmap* m) {
    if (i != 0) {
        return;
    }
    ReplaceReference(normal_, m);
}

ClassDesc2* GetNormalBumpDesc() {
    static NormalBumpDesc desc;
    return &desc;
}
