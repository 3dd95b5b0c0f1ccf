// Single-pass bakes through caddies, with the host's own renderer: the
// caddy scripts' exact texts, what the caddies hold, the clean-up after a
// failed script, and the atlas a caddy bakes against the separate bake.
#include "bake/bake_run.h"
#include "bake/caddy.h"
#include "bake_test_scene.h"
#include "modifier/unwrap_groups.h"
#include "support/temp_folder.h"
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include "host/mtl.h"
#include "standalone/files/image_files.h"
#include "standalone/render/bake_elements.h"
#include "standalone/scene/projection_modifier.h"

#include <boost/filesystem.hpp>

#include <cmath>

namespace {

namespace fs = boost::filesystem;

// The meshop struct of the host with one object refusing to be attached.
class RefusingMeshop : public ScriptObject {
  public:
    RefusingMeshop(ScriptValue real, ULONG refused) : real_(std::move(real)), refused_(refused) {}
    std::string TypeName() const override { return "meshop"; }
    bool GetProperty(const std::string& name, ScriptValue& out) override {
        ScriptValue attach;
        if (name != "attach" || !real_.AsObject()->GetProperty("attach", attach)) {
            return false;
        }
        out = ScriptFunction([this, attach](const ScriptArgs& a) {
            ScriptValue handle;
            a.positional.at(1).AsObject()->GetProperty("handle", handle);
            ++attaches;
            if (handle.AsInt() == int(refused_)) {
                throw ScriptError("Runtime error: attach refused");
            }
            return std::get<ScriptFunction>(attach.v)(a);
        });
        return true;
    }
    int attaches = 0;

  private:
    ScriptValue real_;
    ULONG refused_;
};

class CaddyTest : public HostTest {
  protected:
    CaddyTest() {
        UnwrapSettings& s = settings();
        s.outpath = fs::path(folder.file("x")).parent_path().string();
        s.base_unwrap = UvPack;
        s.source_channel = 1;
        s.channel = 2;
        s.width = s.height = 64;
        s.gutter = 2;
        s.padding = 2;
        s.elements = {OutputEntry("DiffuseMap", "Diffuse.png", 64, 64)};
    }
    ~CaddyTest() override { settings().elements.clear(); }

    // A 4 x 4 texture of distinct colours, written as a PNG.
    std::string texture() {
        const std::string path = folder.file("checker.png");
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        info.SetWidth(4);
        info.SetHeight(4);
        Bitmap* bm = core.Create(&info);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                const BMM_Color_64 c{WORD(x * 20000), WORD(y * 20000), WORD(30000), 65535};
                bm->PutPixels(x, y, 1, &c);
            }
        }
        EXPECT_EQ(bm->OpenOutput(&info), BMMRES_SUCCESS);
        EXPECT_EQ(bm->Write(&info), BMMRES_SUCCESS);
        bm->Close(&info);
        bm->DeleteThis();
        return path;
    }

    // Three planes apart from each other; the first is textured, the others
    // coloured. Sets "first" (objects 0 and 2) and "second" (object 1) put
    // them on maps 0, 1, 0.
    std::uint64_t unwrap() {
        const Color colours[3] = {{1, 1, 1}, {0.9f, 0.2f, 0.1f}, {0.1f, 0.3f, 0.8f}};
        for (int i = 0; i < 3; ++i) {
            SceneNode* n = add_node(L"obj" + std::to_wstring(i), grid_tri_object(2, 2, 1.0f));
            Matrix3 tm;
            tm.SetTrans(Point3(3.0f * float(i), 0, 0));
            n->SetObjectTM(tm);
            StdMat* m = NewDefaultStdMat();
            m->SetDiffuse(colours[i], 0);
            if (i == 0) {
                BitmapTex* map = NewDefaultBitmapTex();
                map->SetMapName(Utf8ToWide(texture()).c_str());
                m->SetSubTexmap(ID_DI, map);
            }
            n->SetMtl(m);
            nodes.push_back(n);
        }
        core.scene().AddNamedSelSet(L"first", {nodes[0], nodes[2]});
        core.scene().AddNamedSelSet(L"second", {nodes[1]});
        settings().mapmode = SelectionSets;
        Unwrapper unwrapper;
        unwrapper.chosen_sets = {L"first", L"second"};
        EXPECT_TRUE(unwrapper.run("Props"));
        core.ClearMessages();
        return *FindVellumarModifier(nodes[0])->GetGroupKeys().begin();
    }
    std::vector<std::string> notifications() const { return Notifications(core); }
    std::vector<INode*> objects() const { return {nodes.begin(), nodes.end()}; }
    bool caddies_gone() {
        return core.GetINodeByName(L"vellumar_bake_caddy0") == nullptr &&
               core.GetINodeByName(L"vellumar_bake_caddy1") == nullptr &&
               core.scene().GetLayer(L"vellumar_helper_caddy_layer") == nullptr;
    }
    FloatImage image(const std::string& name) {
        FloatImage img;
        EXPECT_EQ(ReadImageFile(folder.file(name), img), "") << name;
        return img;
    }

    TempFolder folder;
    std::vector<SceneNode*> nodes;
};

const std::string kFallBack =
    "\nVellumar needs to fall back to alternate merge mode. This is slower "
    "and might cause issues with specific bake tasks like large scale "
    "hdr baking.";

} // namespace

TEST(CaddyScripts, TheScriptTextsAreExactForEveryRenderer) {
    EXPECT_EQ(CaddyName(3), "vellumar_bake_caddy3");
    EXPECT_EQ(CaddyCreateScript(0),
              "vellumar_merge = mesh length:0.001 width:0.001 lengthsegs:1 "
              "widthsegs:1 \n vellumar_merge.name = \"vellumar_bake_caddy0\"");
    EXPECT_EQ(CaddyMaterialScript(),
              "vellumar_merge.material = standard name:\"vellumar_caddy\" opacity:0");
    EXPECT_EQ(CaddyAttachScript(17, Scanline),
              "meshop.attach vellumar_merge (maxOps.getNodeByHandle 17)  attachMat:#MatToID "
              "deleteSourceNode:false");
    EXPECT_EQ(CaddyAttachScript(17, MentalRay), CaddyAttachScript(17, Other));
    EXPECT_EQ(CaddyAttachScript(4294967295u, VRayOld),
              "meshop.attach vellumar_merge (maxOps.getNodeByHandle 4294967295)  "
              "attachMat:#IDToMat condenseMat:true deleteSourceNode:false");
    EXPECT_EQ(CaddyAttachScript(2, Brazil), CaddyAttachScript(2, VRayOld));

    EXPECT_EQ(CaddyProjectionScript(Scanline, 2, 1, {4, 9}, false),
              "vellumar_projector = $vellumar_bake_caddy1.INodeBakeProjProperties\n"
              "vellumar_prj = Projection()\n"
              "addModifier vellumar_merge vellumar_prj\n"
              "vellumar_projector.enabled = true\n"
              "vellumar_projector.projectionMod = vellumar_prj\n"
              "vellumar_projector.useCage = false\n"
              "vellumar_projector.warnRayMiss = false\n"
              "vellumar_projector.rayOffset = 1.0\n"
              "vellumar_projector.projSpace = #uvw_match\n"
              "vellumar_projector.subObjBakeChannel = 2\n"
              "vellumar_prj.addObjectNode(maxOps.getNodeByHandle 4)\n"
              "vellumar_prj.addObjectNode(maxOps.getNodeByHandle 9)\n");
    EXPECT_EQ(CaddyProjectionScript(MentalRay, 1, 0, {5}, true),
              "vellumar_projector = $vellumar_bake_caddy0.INodeBakeProjProperties\n"
              "vellumar_prj = Projection()\n"
              "addModifier vellumar_merge vellumar_prj\n"
              "vellumar_projector.enabled = true\n"
              "vellumar_projector.projectionMod = vellumar_prj\n"
              "vellumar_projector.useCage = false\n"
              "vellumar_projector.warnRayMiss = true\n"
              "vellumar_projector.rayOffset = 1.0\n"
              "vellumar_projector.projSpace = #raytrace\n"
              "vellumar_prj.autoWrapTolerance = 0.01\n"
              "vellumar_projector.rayOffset = 0.015\n"
              "vellumar_projector.subObjBakeChannel = 1\n"
              "vellumar_prj.addObjectNode(maxOps.getNodeByHandle 5)\n");
}

TEST_F(CaddyTest, TwoMapsThreeObjectsGiveCaddyZeroTheFirstAndThirdObject) {
    const std::uint64_t key = unwrap();
    ASSERT_EQ(NodeMapIndex(nodes[0], key), 0);
    ASSERT_EQ(NodeMapIndex(nodes[1], key), 1);
    ASSERT_EQ(NodeMapIndex(nodes[2], key), 0);
    const int faces = evaluated_mesh(nodes[0]).getNumFaces();

    CaddySet set;
    ASSERT_TRUE(BuildCaddies(Scanline, 2, 2, objects(), key, set)) << settings().last_message;
    ASSERT_EQ(set.caddies.size(), 2u);
    EXPECT_EQ(set.maps, (std::vector<int>{0, 1}));
    EXPECT_TRUE(set.switches.empty());
    auto* caddy0 = static_cast<SceneNode*>(set.caddies[0]);
    EXPECT_EQ(caddy0, core.GetINodeByName(L"vellumar_bake_caddy0"));
    EXPECT_EQ(caddy0->LayerName(), L"vellumar_helper_caddy_layer");
    EXPECT_FLOAT_EQ(caddy0->GetObjectTM(0).GetRow(0).x, 5000.0f) << "the plane grew to 5 units";

    // The plane and both objects, in world space where the objects are.
    const Mesh m = evaluated_mesh(caddy0);
    ASSERT_EQ(m.getNumFaces(), 2 + 2 * faces);
    const Matrix3 tm = caddy0->GetObjectTM(0);
    const Point3 far = tm.PointTransform(m.verts[m.verts.size() - 1]);
    EXPECT_NEAR(far.x, 7.0f, 1e-3f) << "the third object's last corner";
    EXPECT_NEAR(far.y, 1.0f, 1e-3f);
    ASSERT_TRUE(m.mapSupport(2));
    EXPECT_EQ(m.mapVerts(1)[0], UVVert(0.99999f, 0.99999f, 0.0f)) << "the plane left the atlas";
    EXPECT_EQ(m.mapVerts(1)[3], UVVert(1.0f, 1.0f, 0.0f));
    const Mesh own = evaluated_mesh(nodes[2]);
    EXPECT_EQ(m.mapVerts(2)[m.getNumMapVerts(2) - 1], own.mapVerts(2)[own.getNumMapVerts(2) - 1])
        << "the atlas channel is carried over";

    // Material ids: the caddy's invisible material, then each object's own.
    Mtl* multi = caddy0->GetMtl();
    ASSERT_NE(multi, nullptr);
    ASSERT_EQ(multi->NumSubMtls(), 3);
    EXPECT_EQ(multi->GetSubMtl(0)->GetName(), L"vellumar_caddy");
    EXPECT_EQ(static_cast<StdMat*>(multi->GetSubMtl(0))->GetOpacity(0), 0.0f);
    EXPECT_EQ(multi->GetSubMtl(1), nodes[0]->GetMtl());
    EXPECT_EQ(multi->GetSubMtl(2), nodes[2]->GetMtl());
    EXPECT_EQ(m.faces[2].matID, 1);
    EXPECT_EQ(m.faces.back().matID, 2);

    auto& proj = caddy0->BakeProjProperties();
    EXPECT_TRUE(proj.GetEnabled());
    EXPECT_EQ(proj.GetProjSpace(), INodeBakeProjProperties::k_ProjSpace_UVW);
    EXPECT_EQ(proj.GetBakeChannel(), 2);
    auto* mod = dynamic_cast<ProjectionModifier*>(proj.GetProjMod());
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(mod->SourceHandles(),
              (std::vector<ULONG>{nodes[0]->GetHandle(), nodes[2]->GetHandle()}));
    auto* mod1 = dynamic_cast<ProjectionModifier*>(
        static_cast<SceneNode*>(set.caddies[1])->BakeProjProperties().GetProjMod());
    ASSERT_NE(mod1, nullptr);
    EXPECT_EQ(mod1->SourceHandles(), (std::vector<ULONG>{nodes[1]->GetHandle()}));

    RemoveCaddies(set);
    EXPECT_TRUE(set.caddies.empty());
    EXPECT_TRUE(caddies_gone());
    for (SceneNode* n : nodes) {
        EXPECT_EQ(core.scene().NodeByHandle(n->GetHandle()), n);
        EXPECT_EQ(evaluated_mesh(n).getNumFaces(), faces) << "the objects are copied, not moved";
    }
    EXPECT_TRUE(notifications().empty());
}

TEST_F(CaddyTest, OldVRayAttachesWithOwnMaterialsAndPutsTheRenderSwitchesBack) {
    const std::uint64_t key = unwrap();
    nodes[1]->SetPrimaryVisibility(0);
    CaddySet set;
    ASSERT_TRUE(BuildCaddies(VRayOld, 2, 2, objects(), key, set));
    auto* caddy0 = static_cast<SceneNode*>(set.caddies[0]);
    EXPECT_FALSE(caddy0->BakeProjProperties().GetEnabled()) << "no projection";
    Mtl* multi = caddy0->GetMtl();
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->NumSubMtls(), 3) << "the plane's none and the two objects' own";
    EXPECT_EQ(set.switches.size(), 3u);
    nodes[0]->SetPrimaryVisibility(0);
    RemoveCaddies(set);
    EXPECT_TRUE(caddies_gone());
    EXPECT_TRUE(nodes[0]->GetPrimaryVisibility());
    EXPECT_FALSE(nodes[1]->GetPrimaryVisibility());
}

TEST_F(CaddyTest, AFailedAttachInMapOneRemovesEveryCaddyAndTheBakeGoesOnSeparately) {
    const std::uint64_t key = unwrap();
    // A user's object that carries a caddy's name is not the bake's to touch.
    SceneNode* namesake = add_node(L"vellumar_bake_caddy1", grid_tri_object(1, 1));
    auto meshop =
        std::make_shared<RefusingMeshop>(core.scripts().Global("meshop"), nodes[1]->GetHandle());
    core.scripts().SetGlobal("meshop", std::shared_ptr<ScriptObject>(meshop));
    settings().bakemode = SinglePass;
    core.SetSelection({nodes[2]});
    ASSERT_TRUE(Bake(key)) << settings().last_message;

    EXPECT_EQ(meshop->attaches, 3) << "two objects in map 0, the refused one in map 1";
    EXPECT_EQ(notifications(),
              (std::vector<std::string>{"vellumar caddy: could not collect all bake objects." +
                                        kFallBack}));
    EXPECT_EQ(core.GetINodeByName(L"vellumar_bake_caddy0"), nullptr);
    EXPECT_EQ(core.GetINodeByName(L"vellumar_bake_caddy1"), namesake);
    EXPECT_EQ(core.scene().GetLayer(L"vellumar_helper_caddy_layer"), nullptr);
    EXPECT_EQ(core.scene().Nodes().size(), 4u) << "the three objects and the namesake";
    EXPECT_TRUE(fs::exists(folder.file("Props_Diffuse_0.png")));
    EXPECT_TRUE(fs::exists(folder.file("Props_Diffuse_1.png")));
    ASSERT_EQ(core.GetSelNodeCount(), 1);
    EXPECT_EQ(core.GetSelNode(0), nodes[2]);
}

TEST_F(CaddyTest, ASinglePassBakeMatchesTheSeparateBakeTexelByTexel) {
    const std::uint64_t key = unwrap();
    settings().bakemode = Separate;
    ASSERT_TRUE(Bake(key)) << settings().last_message;
    const FloatImage separate[2] = {image("Props_Diffuse_0.png"), image("Props_Diffuse_1.png")};

    settings().bakemode = SinglePass;
    ASSERT_TRUE(Bake(key)) << settings().last_message;
    EXPECT_TRUE(notifications().empty()) << notifications().front();
    EXPECT_FALSE(fs::exists(folder.file("Props_Diffuse_0_0.png"))) << "no object parts";
    EXPECT_TRUE(caddies_gone());
    EXPECT_EQ(core.scene().Nodes().size(), 3u);
    for (SceneNode* n : nodes) {
        EXPECT_EQ(n->BakeProperties().GetBakeElementCount(), 0);
    }
    for (int map = 0; map < 2; ++map) {
        const FloatImage single = image("Props_Diffuse_" + std::to_string(map) + ".png");
        ASSERT_EQ(single.width, separate[map].width);
        int both = 0, textured = 0, differing = 0;
        float worst = 0;
        for (std::size_t i = 0; i < single.rgba.size(); i += 4) {
            if (single.rgba[i + 3] < 1.0f || separate[map].rgba[i + 3] < 1.0f) {
                continue;
            }
            ++both;
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, std::fabs(single.rgba[i + c] - separate[map].rgba[i + c]));
            }
            differing += worst > 0.01f ? 1 : 0;
            worst = 0;
            textured += std::fabs(single.rgba[i] - single.rgba[i + 1]) > 0.2f ? 1 : 0;
        }
        EXPECT_GT(both, 500) << map;
        // Texels between two charts take their padding from whichever chart
        // was rendered last apart, and from the first source in one pass.
        EXPECT_LT(differing * 20, both) << map;
        if (map == 0) {
            EXPECT_GT(textured, 20) << "the texture shows through the projection";
        }
    }
}

TEST_F(CaddyTest, MentalRayCaddiesAreHiddenFromTheRendererAndProjectByRays) {
    const std::uint64_t key = unwrap();
    CaddySet set;
    ASSERT_TRUE(BuildCaddies(MentalRay, 2, 2, objects(), key, set));
    auto* caddy = static_cast<SceneNode*>(set.caddies[0]);
    EXPECT_FALSE(caddy->GetPrimaryVisibility());
    EXPECT_FALSE(caddy->GetSecondaryVisibility());
    EXPECT_FALSE(caddy->CastShadows());
    EXPECT_FALSE(caddy->RcvShadows());
    EXPECT_EQ(caddy->GetVisibility(0), 0.0f);
    EXPECT_FLOAT_EQ(caddy->BakeProjProperties().GetRayOffset(), 0.015f);
    EXPECT_EQ(caddy->BakeProjProperties().GetProjSpace(),
              INodeBakeProjProperties::k_ProjSpace_Raytrace);
    RemoveCaddies(set);
}
