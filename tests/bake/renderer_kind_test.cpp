#include "support/test_host.h"

#include "bake/renderer_kind.h"

namespace {

class NamedRenderer : public Renderer {
  public:
    NamedRenderer(std::wstring name, Class_ID id) : name_(std::move(name)), id_(id) {}
    Class_ID ClassID() override { return id_; }
    ReferenceTarget* Clone(RemapDir&) override { return new NamedRenderer(name_, id_); }
    void GetClassName(std::wstring& name) override { name = name_; }

  private:
    std::wstring name_;
    Class_ID id_;
};

} // namespace

TEST(RendererKind, VRayCountsAsNewFromVersionOnePointFiftyServicePackFourA) {
    const Class_ID none(0x1234, 0x5678);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.50.SP4a", none), VRay);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.50.SP5", none), VRay);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.50.SP4", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.50.SP3", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.49.09", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.51.00", none), VRay);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 2.00.01", none), VRay);
    EXPECT_EQ(RendererKindOf("V-Ray", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 150", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv 1.50", none), VRayOld);
    EXPECT_EQ(RendererKindOf("V-Ray Adv x.50.SP4a", none), VRayOld);
    EXPECT_EQ(RendererKindOf("whatever 3.00.00", Class_ID(0x73BAB286, 0)), VRay);
}

TEST(RendererKind, ClassIdsAndNamesAreTriedInOrder) {
    EXPECT_EQ(RendererKindOf("anything", Class_ID(1, 0)), Scanline);
    EXPECT_EQ(RendererKindOf("anything", Class_ID(1, 1)), Other);
    EXPECT_EQ(RendererKindOf("mental ray Renderer", Class_ID(9, 9)), MentalRay);
    EXPECT_EQ(RendererKindOf("x", Class_ID(0x58F67D6C, 3)), MentalRay);
    EXPECT_EQ(RendererKindOf("finalRender stage-1", Class_ID(9, 9)), FinalRender);
    EXPECT_EQ(RendererKindOf("Brazil r/s", Class_ID(9, 9)), Brazil);
    EXPECT_EQ(RendererKindOf("x", Class_ID(5, 0)), VueFile);
    EXPECT_EQ(RendererKindOf("VUE File Renderer", Class_ID(9, 9)), VueFile);
    EXPECT_EQ(RendererKindOf("Corona 1.2", Class_ID(9, 9)), Corona);
    // The first rule that holds decides: a name with two renderers in it.
    EXPECT_EQ(RendererKindOf("mental ray for Corona", Class_ID(9, 9)), MentalRay);
}

TEST_F(HostTest, TheStandaloneHostRendersWithItsScanlineRendererUnlessTheSceneSaysOtherwise) {
    EXPECT_EQ(CurrentRendererKind(), Scanline);
    NamedRenderer vray(L"V-Ray Adv 1.50.SP4a", Class_ID(0x99, 0));
    core.SetCurrentRenderer(&vray);
    EXPECT_EQ(CurrentRendererKind(), VRay);
    core.SetCurrentRenderer(nullptr);
    EXPECT_EQ(CurrentRendererKind(), Scanline);
}
