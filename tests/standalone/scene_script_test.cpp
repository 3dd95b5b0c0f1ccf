// The scene functions of the host's script language: planes, names and
// materials on nodes, attaching meshes, projection modifiers, bake
// projection properties; and the layers and node operations beside them.
#include "support/test_host.h"

#include "host/bake_properties.h"
#include "host/mtl.h"
#include "standalone/scene/projection_modifier.h"

namespace {

class SceneScriptTest : public HostTest {
  protected:
    bool run(const std::string& text) { return core.scripts().Execute(text); }
};

} // namespace

TEST_F(SceneScriptTest, APlaneIsMadeNamedAndGivenAStandardMaterial) {
    ASSERT_TRUE(run("p = mesh length:2 width:4 lengthsegs:1 widthsegs:1 \n p.name = \"plane\""))
        << core.scripts().Error();
    SceneNode* node = core.scene().NodeByName(L"plane");
    ASSERT_NE(node, nullptr);
    const Mesh m = evaluated_mesh(node);
    ASSERT_EQ(m.getNumFaces(), 2);
    ASSERT_EQ(m.getNumVerts(), 4);
    EXPECT_EQ(m.verts[0], Point3(-2, -1, 0));
    EXPECT_EQ(m.verts[3], Point3(2, 1, 0));
    ASSERT_EQ(m.getNumMapVerts(1), 4);
    EXPECT_EQ(m.mapVerts(1)[3], UVVert(1, 1, 0));

    ASSERT_TRUE(run("p.material = standard name:\"glass\" opacity:25")) << core.scripts().Error();
    auto* mtl = dynamic_cast<StdMat*>(node->GetMtl());
    ASSERT_NE(mtl, nullptr);
    EXPECT_EQ(mtl->GetName(), L"glass");
    EXPECT_FLOAT_EQ(mtl->GetOpacity(0), 0.25f);

    EXPECT_FALSE(run("p.colour = 3"));
    EXPECT_FALSE(run("mesh length:0 width:1"));
    EXPECT_FALSE(run("standard shininess:3"));
    EXPECT_FALSE(run("meshop.detach p 1"));
    EXPECT_FALSE(run("$nothere.INodeBakeProjProperties.enabled = true"));
}

TEST_F(SceneScriptTest, AttachCopiesTheWorldMeshAndItsChannelsAndCombinesMaterials) {
    ASSERT_TRUE(run("a = mesh length:1 width:1 lengthsegs:1 widthsegs:1"));
    SceneNode* a = core.scene().Nodes().back().get();
    Matrix3 big;
    big.SetRow(0, Point3(2, 0, 0));
    big.SetRow(1, Point3(0, 2, 0));
    big.SetRow(2, Point3(0, 0, 2));
    a->SetObjectTM(big);
    TriObject* obj = grid_tri_object(1, 1, 1.0f);
    give_split_uvs(obj->mesh, 3);
    SceneNode* b = add_node(L"b", obj);
    Matrix3 moved;
    moved.SetTrans(Point3(10, 0, 0));
    b->SetObjectTM(moved);
    StdMat* red = NewDefaultStdMat();
    b->SetMtl(red);
    const std::string attach = "meshop.attach a (maxOps.getNodeByHandle " +
                               std::to_string(b->GetHandle()) + ")  attachMat:#MatToID";
    ASSERT_TRUE(run(attach + " deleteSourceNode:false")) << core.scripts().Error();
    const Mesh m = evaluated_mesh(a);
    ASSERT_EQ(m.getNumFaces(), 4);
    EXPECT_EQ(a->GetObjectTM(0).PointTransform(m.verts[5]), Point3(11, 0, 0));
    ASSERT_TRUE(m.mapSupport(3)) << "a channel only the source had";
    EXPECT_EQ(m.mapVerts(3)[m.mapFaces(3)[0].t[0]], UVVert(0, 0, 0));
    EXPECT_EQ(m.mapVerts(3)[m.mapFaces(3)[2].t[1]], evaluated_mesh(b).mapVerts(3)[1]);
    Mtl* multi = a->GetMtl();
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 2);
    EXPECT_EQ(multi->GetSubMtl(0), nullptr);
    EXPECT_EQ(multi->GetSubMtl(1), red);
    EXPECT_EQ(m.faces[0].matID, 0);
    EXPECT_EQ(m.faces[3].matID, 1);
    EXPECT_EQ(core.scene().NodeByName(L"b"), b) << "the source stays";

    // Condensed: faces showing the same material share its slot.
    ASSERT_TRUE(run("meshop.attach a (maxOps.getNodeByHandle " + std::to_string(b->GetHandle()) +
                    ")  attachMat:#IDToMat condenseMat:true deleteSourceNode:true"));
    EXPECT_EQ(a->GetMtl()->NumSubMtls(), 2);
    EXPECT_EQ(evaluated_mesh(a).faces.back().matID, 1);
    EXPECT_EQ(core.scene().NodeByName(L"b"), nullptr);
    EXPECT_FALSE(run("meshop.attach a (maxOps.getNodeByHandle 999)")) << "no such node";
}

TEST_F(SceneScriptTest, AProjectionModifierAndTheBakeProjectionAreSetUp) {
    SceneNode* src = add_node(L"src", grid_tri_object(1, 1));
    ASSERT_TRUE(run("m = mesh length:1 width:1 lengthsegs:1 widthsegs:1\nm.name = \"target\""));
    const std::string script = "pr = $target.INodeBakeProjProperties\n"
                               "prj = Projection()\n"
                               "addModifier m prj\n"
                               "pr.enabled = true\n"
                               "pr.projectionMod = prj\n"
                               "pr.useCage = false\n"
                               "pr.rayOffset = 0.5\n"
                               "prj.autoWrapTolerance = 0.01\n"
                               "pr.projSpace = #uvw_match\n"
                               "pr.subObjBakeChannel = 3\n"
                               "prj.addObjectNode(maxOps.getNodeByHandle " +
                               std::to_string(src->GetHandle()) + ")\n";
    ASSERT_TRUE(run(script)) << core.scripts().Error();
    SceneNode* target = core.scene().NodeByName(L"target");
    auto& p = target->BakeProjProperties();
    EXPECT_TRUE(p.GetEnabled());
    EXPECT_FALSE(p.GetUseCage());
    EXPECT_FLOAT_EQ(p.GetRayOffset(), 0.5f);
    EXPECT_EQ(p.GetProjSpace(), INodeBakeProjProperties::k_ProjSpace_UVW);
    EXPECT_EQ(p.GetBakeChannel(), 3);
    auto* mod = dynamic_cast<ProjectionModifier*>(p.GetProjMod());
    ASSERT_NE(mod, nullptr);
    EXPECT_FLOAT_EQ(mod->AutoWrapTolerance(), 0.01f);
    EXPECT_EQ(mod->SourceHandles(), (std::vector<ULONG>{src->GetHandle()}));
    EXPECT_EQ(target->GetObjectRef()->SuperClassID(), GEN_DERIVOB_CLASS_ID);
    EXPECT_EQ(evaluated_mesh(target).getNumFaces(), 2) << "the modifier leaves the mesh alone";
    EXPECT_FALSE(run("pr.projSpace = #cage"));
    EXPECT_FALSE(run("pr.subObjBakeChannel = 100"));
}

TEST_F(SceneScriptTest, LayersScalingAndDeletingNodes) {
    SceneNode* n = add_node(L"n", grid_tri_object(1, 1));
    ILayerManager* layers = core.GetLayerManager();
    EXPECT_EQ(layers->GetLayerCount(), 1);
    EXPECT_EQ(layers->GetLayer(L"helper"), nullptr);
    ILayer* helper = layers->CreateLayer(L"helper");
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(layers->CreateLayer(L"helper"), nullptr);
    EXPECT_TRUE(helper->AddToLayer(n));
    EXPECT_EQ(n->LayerName(), L"helper");
    EXPECT_FALSE(layers->DeleteLayer(L"0"));
    EXPECT_TRUE(layers->DeleteLayer(L"helper"));
    EXPECT_EQ(n->LayerName(), L"0") << "a node never loses its layer";

    Matrix3 tm;
    tm.SetTrans(Point3(1, 2, 3));
    n->SetObjectTM(tm);
    n->Scale(0, Matrix3(1), Point3(2, 3, 4));
    EXPECT_EQ(n->GetObjectTM(0).GetTrans(), Point3(2, 6, 12)) << "about the world origin";
    EXPECT_EQ(n->GetObjectTM(0).GetRow(1), Point3(0, 3, 0));
    const Matrix3 inv = Inverse(n->GetObjectTM(0));
    const Point3 back = inv.PointTransform(n->GetObjectTM(0).PointTransform(Point3(5, -1, 2)));
    EXPECT_NEAR(back.x, 5, 1e-5);
    EXPECT_NEAR(back.y, -1, 1e-5);
    EXPECT_NEAR(back.z, 2, 1e-5);

    EXPECT_EQ(core.GetINodeByName(L"n"), n);
    core.DeleteNode(static_cast<INode*>(n), 1);
    EXPECT_EQ(core.GetINodeByName(L"n"), nullptr);
}
