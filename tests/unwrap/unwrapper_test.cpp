#include "standalone/scene/non_mesh_objects.h"
#include "support/test_host.h"
#include "unwrap/unwrapper.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

class RunTest : public HostTest {
  protected:
    RunTest() { settings().base_unwrap = UvCopy; }

    // A box object whose channel 1 has a split UV per face and channel 2 a
    // different layout, so copies are easy to tell apart.
    SceneNode* uv_box(const std::wstring& name, float size = 1.0f) {
        TriObject* obj = box_tri_object(true, size, size, size);
        give_split_uvs(obj->mesh, 1);
        give_split_uvs(obj->mesh, 2);
        for (UVVert& t : obj->mesh.Map(2).tv) {
            t = UVVert(t.y * 0.5f, t.x * 0.25f, 0.75f);
        }
        return add_node(name, obj);
    }
    const Mesh& evaluated_mesh(INode* node) {
        return static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
    }

    Unwrapper unwrapper;
};

} // namespace

TEST_F(RunTest, NothingSelectedShowsTheMessageAndOpensNoProgressBar) {
    EXPECT_FALSE(unwrapper.run("unnamed"));
    EXPECT_EQ(message_texts(),
              (std::vector<std::string>{"Unwrapping failed. No objects were selected."}));
    EXPECT_TRUE(core.progress().titles().empty());
}

TEST_F(RunTest, OnlyLightsAndCamerasAreSkippedAndNothingIsUnwrapped) {
    SceneNode* cam = add_node(L"cam", new CameraObject);
    SceneNode* light = add_node(L"sun", new LightObject);
    select({cam, light});
    EXPECT_FALSE(unwrapper.run("g"));
    EXPECT_EQ(unwrapper.skipped_names, (std::vector<std::string>{"cam", "sun"}));
    EXPECT_EQ(message_texts(), (std::vector<std::string>{"No unwrapable objects in selection."}));
    EXPECT_FALSE(core.progress().open());
}

TEST_F(RunTest, UvCopyWritesTheSourceChannelIntoTheTargetThroughTheModifier) {
    SceneNode* box = uv_box(L"box");
    SceneNode* cam = add_node(L"cam", new CameraObject);
    select({cam, box});
    settings().source_channel = 2;
    settings().channel = 1;
    ASSERT_TRUE(unwrapper.run("crates")) << (message_texts().empty() ? "" : message_texts()[0]);
    EXPECT_TRUE(message_texts().empty());
    EXPECT_EQ(unwrapper.skipped_names, (std::vector<std::string>{"cam"}));

    const Mesh source = static_cast<TriObject*>(box->GetObjectRef()->FindBaseObject())->mesh;
    VellumarModifier* mod = FindVellumarModifier(box);
    ASSERT_NE(mod, nullptr);
    ASSERT_EQ(mod->GetGroupKeys().size(), 1u);
    const UnwrapUVSet* set = mod->FindUVSet(*mod->GetGroupKeys().begin());
    EXPECT_EQ(set->groupName, "crates");
    EXPECT_EQ(set->mapChannel, 1);
    EXPECT_EQ(set->mapCount, 1);
    EXPECT_EQ(set->mapIndex, 0);

    const Mesh& out = evaluated_mesh(box);
    ASSERT_TRUE(out.mapSupport(1));
    ASSERT_EQ(out.getNumMapVerts(1), source.getNumMapVerts(2));
    for (int i = 0; i < out.getNumMapVerts(1); ++i) {
        EXPECT_EQ(out.mapVerts(1)[i].x, source.mapVerts(2)[i].x);
        EXPECT_EQ(out.mapVerts(1)[i].y, source.mapVerts(2)[i].y);
        EXPECT_EQ(out.mapVerts(1)[i].z, 0.0f) << "w is set to 0";
    }
    for (int f = 0; f < out.getNumFaces(); ++f) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(out.mapFaces(1)[f].t[k], source.mapFaces(2)[f].t[k]);
        }
    }
    EXPECT_EQ(core.progress().titles().front(), L"Unwrapping objects");
    EXPECT_FALSE(core.progress().open());
    EXPECT_GE(core.redraws(), 1);
}

TEST_F(RunTest, ASecondRunReusesTheModifierAndReadsUvsWithoutItsSets) {
    SceneNode* box = uv_box(L"box");
    select({box});
    settings().source_channel = 1;
    settings().channel = 1; // copies channel 1 onto itself
    ASSERT_TRUE(unwrapper.run("first"));
    VellumarModifier* mod = FindVellumarModifier(box);
    ASSERT_TRUE(unwrapper.run("second"));
    EXPECT_EQ(FindVellumarModifier(box), mod);
    auto* derived = static_cast<IDerivedObject*>(box->GetObjectRef());
    EXPECT_EQ(derived->NumModifiers(), 1);
    EXPECT_EQ(derived->GetObjRef()->SuperClassID(), GEOMOBJECT_CLASS_ID)
        << "no second derived object was stacked on the first";
    EXPECT_EQ(mod->GetGroupKeys().size(), 1u) << "the new set on channel 1 replaced the old one";
    EXPECT_FALSE(mod->SetApplySuspended(false)) << "the suspension was restored";
}

TEST_F(RunTest, FourMapsWithTwoObjectsProcessTwoMapsAndRecordFour) {
    SceneNode* big = uv_box(L"big", 2.0f);
    SceneNode* small = uv_box(L"small", 1.0f);
    select({small, big});
    settings().mapcount = 4;
    ASSERT_TRUE(unwrapper.run("g"));
    const auto& titles = core.progress().titles();
    EXPECT_EQ(std::count(titles.begin(), titles.end(), L"Unwrapping map 0"), 1);
    EXPECT_EQ(std::count(titles.begin(), titles.end(), L"Unwrapping map 1"), 1);
    EXPECT_EQ(std::count(titles.begin(), titles.end(), L"Unwrapping map 2"), 0);
    const auto* big_set =
        FindVellumarModifier(big)->FindUVSet(*FindVellumarModifier(big)->GetGroupKeys().begin());
    const auto* small_set = FindVellumarModifier(small)->FindUVSet(
        *FindVellumarModifier(small)->GetGroupKeys().begin());
    EXPECT_EQ(big_set->mapIndex, 0) << "the larger surface takes the first map";
    EXPECT_EQ(small_set->mapIndex, 1);
    EXPECT_EQ(big_set->mapCount, 4);
    EXPECT_EQ(FindVellumarModifier(big)->GetGroupKeys(),
              FindVellumarModifier(small)->GetGroupKeys())
        << "one group key for the whole run";
}

TEST_F(RunTest, AFailedLaterMapLeavesEveryModifierWithoutANewSet) {
    // Two objects without area both land on map 0; map 1 has no object.
    auto flat = [&](const std::wstring& name) {
        TriObject* obj = box_tri_object(true, 0, 0, 0);
        give_split_uvs(obj->mesh, 1);
        return add_node(name, obj);
    };
    SceneNode* a = flat(L"a");
    SceneNode* b = flat(L"b");
    select({a, b});
    settings().mapcount = 2;
    EXPECT_FALSE(unwrapper.run("g"));
    EXPECT_EQ(message_texts(), (std::vector<std::string>{
                                   "Unable to assign objects to their respective target maps"}));
    ASSERT_NE(FindVellumarModifier(a), nullptr) << "modifiers added before the failure stay";
    EXPECT_TRUE(FindVellumarModifier(a)->GetGroupKeys().empty());
    EXPECT_TRUE(FindVellumarModifier(b)->GetGroupKeys().empty());
    EXPECT_FALSE(core.progress().open());
}

TEST_F(RunTest, HardSurfaceOnlyDegenerateTrianglesStopsWithTheFilteredOutMessage) {
    SceneNode* flat = add_node(L"flat", box_tri_object(true, 0, 0, 0));
    select({flat});
    settings().base_unwrap = HardSurface;
    EXPECT_FALSE(unwrapper.run("g"));
    EXPECT_EQ(message_texts(),
              (std::vector<std::string>{"The current projection settings have filtered out all "
                                        "surfaces, there is nothing left to unwrap."}));
    ASSERT_NE(FindVellumarModifier(flat), nullptr);
    EXPECT_TRUE(FindVellumarModifier(flat)->GetGroupKeys().empty());
}

TEST_F(RunTest, ANanVertexOrTransformStopsEveryModeNamingTheObjectAndWritesNoSet) {
    // One NaN corner in a grid used to fail the organic run with a stretch
    // message and give NaN UVs in the hard-surface run.
    SceneNode* box = uv_box(L"box");
    TriObject* grid = grid_tri_object(4, 4);
    grid->mesh.verts[12].x = std::numeric_limits<float>::quiet_NaN();
    SceneNode* bad = add_node(L"grid", grid);
    select({box, bad});
    for (int mode : {Organic, HardSurface}) {
        settings().base_unwrap = mode;
        core.ClearMessages();
        EXPECT_FALSE(unwrapper.run("g"));
        ASSERT_EQ(message_texts().size(), 1u);
        EXPECT_NE(message_texts()[0].find("Object grid has a vertex whose position is not a "
                                          "finite number"),
                  std::string::npos)
            << message_texts()[0];
        EXPECT_TRUE(FindVellumarModifier(box)->GetGroupKeys().empty());
    }
    grid->mesh.verts[12].x = 2.0f;
    Matrix3 tm;
    tm.SetRow(1, Point3(0, std::numeric_limits<float>::infinity(), 0));
    bad->SetObjectTM(tm);
    core.ClearMessages();
    EXPECT_FALSE(unwrapper.run("g"));
    EXPECT_EQ(message_texts(), (std::vector<std::string>{
                                   "The transform of object grid is not a finite number (NaN or "
                                   "infinity). Reset its transform before unwrapping."}));
    bad->SetObjectTM(Matrix3());
    core.ClearMessages();
    EXPECT_TRUE(unwrapper.run("g")) << "the same objects unwrap once they are finite";
}

TEST_F(RunTest, SelectionSetsModeUnwrapsTheChosenSetsOneMapEach) {
    SceneNode* a = uv_box(L"a");
    SceneNode* b = uv_box(L"b");
    core.scene().AddNamedSelSet(L"first", {b});
    core.scene().AddNamedSelSet(L"second", {a});
    settings().mapmode = SelectionSets;
    unwrapper.chosen_sets = {L"second", L"deleted", L"first"};
    ASSERT_TRUE(unwrapper.run("g"));
    EXPECT_EQ(unwrapper.chosen_sets, (std::vector<std::wstring>{L"second", L"first"}));
    const auto* set_a =
        FindVellumarModifier(a)->FindUVSet(*FindVellumarModifier(a)->GetGroupKeys().begin());
    EXPECT_EQ(set_a->mapIndex, 0);
    EXPECT_EQ(set_a->mapCount, 2);

    core.scene().AddNamedSelSet(L"both", {a, b});
    unwrapper.chosen_sets = {L"second", L"both"};
    EXPECT_FALSE(unwrapper.run("g2"));
    ASSERT_EQ(message_texts().size(), 1u);
    EXPECT_EQ(message_texts()[0].rfind("Cannot assign objects in selection sets.", 0), 0u);
}

TEST_F(RunTest, PolygonObjectsGetTheirUvsPerPolygonCorner) {
    PolyObject* poly = box_poly_object();
    MNMesh& mm = poly->mm;
    mm.SetMapNum(2);
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            mm.M(1)->v.emplace_back(static_cast<float>(f), static_cast<float>(k), 0.0f);
        }
        MNMapFace mf;
        mf.tv = {4 * f, 4 * f + 1, 4 * f + 2, 4 * f + 3};
        mm.M(1)->f.push_back(mf);
    }
    SceneNode* node = add_node(L"poly", poly);
    select({node});
    settings().source_channel = 1;
    settings().channel = 3;
    ASSERT_TRUE(unwrapper.run("g"));
    auto* evaluated = static_cast<PolyObject*>(node->EvalWorldState(0).obj);
    ASSERT_EQ(evaluated->ClassID(), polyObjectClassID);
    const MNMap& out = *evaluated->mm.M(3);
    ASSERT_EQ(out.f.size(), 6u);
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            const UVVert t = out.v[static_cast<std::size_t>(
                out.f[static_cast<std::size_t>(f)].tv[static_cast<std::size_t>(k)])];
            EXPECT_EQ(t.x, static_cast<float>(f));
            EXPECT_EQ(t.y, static_cast<float>(k));
        }
    }
}

TEST_F(RunTest, PreviewShowsTheTemplateOfTheLastMapNamedAfterTheCoverage) {
    SceneNode* box = uv_box(L"box");
    select({box});
    settings().preview = true;
    settings().width = 64;
    settings().height = 32;
    ASSERT_TRUE(unwrapper.run("g"));
    ASSERT_EQ(core.displayed().size(), 1u);
    EXPECT_EQ(WideToUtf8(core.displayed()[0].title), template_name(unwrapper.coverage()));
    ASSERT_NE(unwrapper.template_request(), nullptr);
    EXPECT_EQ(unwrapper.template_request()->width, 64);
    // In UV modes neighbours come from the channel, which splits every face
    // here: no false edge, which the request may say with an empty list.
    const auto& false_edges = unwrapper.template_request()->false_edges;
    EXPECT_EQ(std::count(false_edges.begin(), false_edges.end(), kNoNeighbour),
              static_cast<std::ptrdiff_t>(false_edges.size()));
    std::remove(core.displayed()[0].path.c_str());

    settings().preview = false;
    ASSERT_TRUE(unwrapper.run("g"));
    EXPECT_EQ(core.displayed().size(), 1u) << "no template without preview";
}

TEST(TemplateName, ShowsTheCoverageInPercentWithTwoDecimals) {
    EXPECT_EQ(template_name(0.71254), "Vellumar UV template (71.25%)");
    EXPECT_EQ(template_name(0.0), "Vellumar UV template (0.00%)");
}
