#include "standalone/scene/projection_modifier.h"

#include "host/chunk_io.h"

namespace {

class ProjectionModifierDesc : public ClassDesc2 {
  public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new ProjectionModifier; }
    const MCHAR* ClassName() override { return L"Projection"; }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return projectionModClassID; }
    const MCHAR* Category() override { return L"Max Standard"; }
    const MCHAR* InternalName() override { return L"Projection"; }
};

} // namespace

IOResult ProjectionModifier::Save(ISave* s) {
    bool ok = write_f32(s, auto_wrap_tolerance_) &&
              write_u32(s, static_cast<std::uint32_t>(sources_.size()));
    for (ULONG h : sources_) {
        ok = ok && write_u32(s, h);
    }
    return ok ? IO_OK : IO_ERROR;
}

IOResult ProjectionModifier::Load(ILoad* l) {
    std::uint32_t count = 0;
    std::vector<std::uint32_t> handles;
    if (!read_f32(l, auto_wrap_tolerance_) || !read_u32(l, count) ||
        !read_u32_array(l, count, handles)) {
        return IO_ERROR;
    }
    sources_.assign(handles.begin(), handles.end());
    return IO_OK;
}

ClassDesc2* GetProjectionModifierDesc() {
    static ProjectionModifierDesc desc;
    return &desc;
}
