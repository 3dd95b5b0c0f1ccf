#include "standalone/materials/shell_material.h"

#include "host/chunk_io.h"

namespace {

class ShellMaterialDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return static_cast<Mtl*>(new ShellMaterial); }
    const MCHAR* ClassName() override { return L"Shell Material"; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    Class_ID ClassID() override { return bakeShellClassID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"Shell_Material"; }
};

} // namespace

ShellMaterial::ShellMaterial()
    : MaterialPair(L"Original Material", L"Baked Material"), block_(*this) {}

ReferenceTarget* ShellMaterial::Clone(RemapDir&) {
    auto* copy = new ShellMaterial;
    CopyInto(*copy);
    copy->indices_[0] = indices_[0];
    copy->indices_[1] = indices_[1];
    return copy;
}

IParamBlock2* ShellMaterial::GetParamBlock(int i) {
    return i == 0 ? &block_ : nullptr;
}

Color ShellMaterial::GetDiffuse(int mtlNum, BOOL backFace) {
    Mtl* shown = ViewportMtl();
    return shown != nullptr ? shown->GetDiffuse(mtlNum, backFace) : Color(0.5f, 0.5f, 0.5f);
}

BOOL ShellMaterial::Block::SetValue(ParamID id, TimeValue, int v, int) {
    if ((id != kShellViewportParam && id != kShellRenderParam) || (v != 0 && v != 1)) {
        return 0;
    }
    owner_.indices_[id] = v;
    return 1;
}

int ShellMaterial::Block::GetInt(ParamID id, TimeValue, int) {
    return id == kShellViewportParam || id == kShellRenderParam ? owner_.indices_[id] : 0;
}

IOResult ShellMaterial::Save(ISave* isave) {
    return write_i32(isave, indices_[0]) && write_i32(isave, indices_[1]) ? IO_OK : IO_ERROR;
}

IOResult ShellMaterial::Load(ILoad* iload) {
    std::int32_t viewport = 0, render = 0;
    if (!read_i32(iload, viewport) || !read_i32(iload, render) ||
        block_.SetValue(kShellViewportParam, 0, viewport) == 0 ||
        block_.SetValue(kShellRenderParam, 0, render) == 0) {
        return IO_ERROR;
    }
    return IO_OK;
}

ClassDesc2* GetShellMaterialDesc() {
    static ShellMaterialDesc desc;
    return &desc;
}
