#include "support/test_host.h"

namespace {

// Moves every vertex by +1 in x; records the order in which modifiers ran.
class ShiftModifier : public Modifier {
  public:
    ShiftModifier(std::vector<int>* log, int id) : log_(log), id_(id) {}
    Class_ID ClassID() override { return Class_ID(0x77, static_cast<ULONG>(id_)); }
    void ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode*) override {
        log_->push_back(id_);
        auto* tri = static_cast<TriObject*>(os->obj->ConvertToType(t, triObjectClassID));
        for (Point3& p : tri->mesh.verts) {
            p.x += 1.0f;
        }
        if (tri != os->obj) {
            os->obj = tri;
        }
    }
    ReferenceTarget* Clone(RemapDir&) override { return new ShiftModifier(log_, id_); }

  private:
    std::vector<int>* log_;
    int id_;
};

} // namespace

TEST_F(HostTest, ModifiersRunFromTheBottomOfTheStackAndLeaveTheBaseObjectAlone) {
    TriObject* base = box_tri_object(true);
    SceneNode* node = add_node(L"box", base);
    std::vector<int> log;
    IDerivedObject* derived = CreateDerivedObject(base);
    derived->AddModifier(new ShiftModifier(&log, 1));
    derived->AddModifier(new ShiftModifier(&log, 2)); // on top
    node->SetObjectRef(derived);
    const auto* out = static_cast<TriObject*>(node->EvalWorldState(0).obj);
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
    EXPECT_FLOAT_EQ(out->mesh.verts[0].x, 2.0f);
    EXPECT_FLOAT_EQ(base->mesh.verts[0].x, 0.0f);
    EXPECT_EQ(derived->FindBaseObject(), base);
}

TEST_F(HostTest, PolygonObjectsEvaluateAsPolygonsAndConvertToTriangles) {
    SceneNode* node = add_node(L"poly", box_poly_object());
    Object* obj = node->EvalWorldState(0).obj;
    EXPECT_EQ(obj->ClassID(), polyObjectClassID);
    Object* tri = obj->ConvertToType(0, triObjectClassID);
    ASSERT_NE(tri, obj);
    EXPECT_EQ(static_cast<TriObject*>(tri)->mesh.getNumFaces(), 12);
    tri->DeleteThis();
}

TEST_F(HostTest, UserPropertiesParseAsNumbersOrNotAtAll) {
    SceneNode* node = add_node(L"n", box_tri_object(true));
    float value = 7.0f;
    EXPECT_FALSE(node->GetUserPropFloat(L"VellumarScale", value));
    node->SetUserProp(L"VellumarScale", L"2.5");
    EXPECT_TRUE(node->GetUserPropFloat(L"VellumarScale", value));
    EXPECT_FLOAT_EQ(value, 2.5f);
    node->SetUserProp(L"VellumarScale", L"2.5cm");
    value = 7.0f;
    EXPECT_FALSE(node->GetUserPropFloat(L"VellumarScale", value));
    EXPECT_FLOAT_EQ(value, 7.0f);
    node->SetUserProp(L"VellumarScale", L"nan");
    EXPECT_FALSE(node->GetUserPropFloat(L"VellumarScale", value));
}

TEST_F(HostTest, ProgressKeepsTitlesAndClosesOnEnd) {
    core.ProgressStart(L"Unwrapping objects", 1, nullptr, nullptr);
    core.ProgressUpdate(40, 0, L"Unwrapping map 0");
    EXPECT_EQ(core.progress().percent(), 40);
    EXPECT_TRUE(core.progress().open());
    core.ProgressEnd();
    EXPECT_FALSE(core.progress().open());
    EXPECT_EQ(core.progress().titles(),
              (std::vector<std::wstring>{L"Unwrapping objects", L"Unwrapping map 0"}));
}
