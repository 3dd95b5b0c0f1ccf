// The panel's binding to the settings and its enabling rules, driven by
// control id as a user drives them.
#include "ui/panel_fixture.h"

#include "host/custcont.h"

namespace {

TEST_F(PanelTest, ModeButtonsAreExclusiveAndChooseWhatIsEnabled) {
    click(IDC_UV_PACK);
    EXPECT_EQ(settings().base_unwrap, UvPack);
    // A second click on the chosen mode leaves it chosen.
    click(IDC_UV_PACK);
    EXPECT_EQ(settings().base_unwrap, UvPack);
    for (int id : {IDC_ORGANIC, IDC_HARD_SURFACE, IDC_UV_PACK, IDC_UV_COPY, IDC_PROJECTION}) {
        EXPECT_EQ(checked(id), id == IDC_UV_PACK) << id;
    }
    for (int id :
         {IDC_STRETCH_SPIN, IDC_STRETCH_EDIT, IDC_HIGH_QUALITY, IDC_POLYGONS, IDC_TRIANGLES,
          IDC_CUT_GROOVES, IDC_CUT_RIDGES, IDC_GROOVE_SPIN, IDC_RIDGE_SPIN}) {
        EXPECT_FALSE(enabled(id)) << id;
    }

    click(IDC_HARD_SURFACE);
    EXPECT_FALSE(enabled(IDC_HIGH_QUALITY));
    EXPECT_FALSE(enabled(IDC_POLYGONS));
    EXPECT_FALSE(enabled(IDC_TRIANGLES));
    EXPECT_TRUE(enabled(IDC_STRETCH_SPIN));
    EXPECT_TRUE(enabled(IDC_CUT_GROOVES));
    EXPECT_FALSE(enabled(IDC_PICK_CAMERA));

    click(IDC_ORGANIC);
    for (int id : {IDC_STRETCH_SPIN, IDC_HIGH_QUALITY, IDC_POLYGONS, IDC_TRIANGLES, IDC_CUT_GROOVES,
                   IDC_CUT_RIDGES}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
}

TEST_F(PanelTest, ProjectionControlsFollowTheModeAndOrthographic) {
    for (int id : {IDC_PICK_CAMERA, IDC_TOLERANCE_SPIN, IDC_ORTHOGRAPHIC, IDC_VIEW_ANGLE_SPIN}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    click(IDC_PROJECTION);
    EXPECT_TRUE(enabled(IDC_VIEW_ANGLE_SPIN));
    EXPECT_TRUE(enabled(IDC_TOLERANCE_SPIN));
    EXPECT_EQ(act("check 1160").kind, ActionResult::Done);
    EXPECT_TRUE(settings().projection_orthographic);
    EXPECT_FALSE(enabled(IDC_VIEW_ANGLE_SPIN));
    EXPECT_FALSE(enabled(IDC_VIEW_ANGLE_EDIT));
    EXPECT_EQ(act("uncheck 1160").kind, ActionResult::Done);
    EXPECT_TRUE(enabled(IDC_VIEW_ANGLE_SPIN));
    act("set 1157 -30.5");
    act("set 1159 60");
    EXPECT_FLOAT_EQ(settings().projection_tolerance, -30.5f);
    EXPECT_FLOAT_EQ(settings().projection_angle, 60.0f);
}

TEST_F(PanelTest, FlagsEnableTheirSpinners) {
    EXPECT_FALSE(enabled(IDC_GROOVE_SPIN));
    act("check 1066");
    EXPECT_TRUE(settings().use_concave);
    EXPECT_TRUE(enabled(IDC_GROOVE_SPIN));
    act("set 1068 45");
    EXPECT_FLOAT_EQ(settings().angle_concave, 45.0f);
    EXPECT_FALSE(enabled(IDC_SOURCE_SPIN));
    act("check 1053");
    EXPECT_TRUE(settings().seams);
    EXPECT_TRUE(enabled(IDC_SOURCE_SPIN));
    click(IDC_TRIANGLES);
    EXPECT_EQ(settings().unwrapmode, Triangles);
    EXPECT_FALSE(checked(IDC_POLYGONS));
}

TEST_F(PanelTest, UnwrapNeedsSelectedObjectsOrPickedSets) {
    EXPECT_TRUE(enabled(IDC_UNWRAP));
    select({});
    EXPECT_FALSE(enabled(IDC_UNWRAP));
    select({boxes[0]});
    EXPECT_TRUE(enabled(IDC_UNWRAP));

    click(IDC_SELECTION_SETS);
    EXPECT_EQ(settings().mapmode, SelectionSets);
    EXPECT_FALSE(enabled(IDC_UNWRAP));
    EXPECT_TRUE(enabled(IDC_SELECT_SETS));
    EXPECT_FALSE(enabled(IDC_MAP_COUNT_SPIN));

    core.scene().AddNamedSelSet(L"Left", {boxes[0]});
    panel().unwrapper().chosen_sets = {L"Left", L"Gone"};
    panel().UpdateCommandStates();
    EXPECT_TRUE(enabled(IDC_UNWRAP));
    // A set deleted from the scene leaves the picked list with the next
    // change; with none left, Unwrap rests.
    select({boxes[1]});
    EXPECT_EQ(panel().unwrapper().chosen_sets, std::vector<std::wstring>{L"Left"});
    core.scene().RemoveNamedSelSet(L"Left");
    select({boxes[2]});
    EXPECT_TRUE(panel().unwrapper().chosen_sets.empty());
    EXPECT_FALSE(enabled(IDC_UNWRAP));
}

TEST_F(PanelTest, BakeRangeEndFollowsItsStart) {
    act("set 1119 5");
    act("set 1147 10");
    EXPECT_EQ(settings().bakerangefrom, 10);
    EXPECT_EQ(settings().bakerangeto, 10);
    EXPECT_EQ(value(IDC_TO_SPIN), 10);
    click(IDC_FRAME_RANGE);
    EXPECT_TRUE(settings().bakerange);
    EXPECT_FALSE(checked(IDC_SINGLE_FRAME));
}

TEST_F(PanelTest, SpinnersClampAndEditsKeepWhatIsNoValue) {
    ActionResult r = act("set 1137 40");
    EXPECT_EQ(r.kind, ActionResult::Done);
    EXPECT_NE(r.message.find("outside 1..32"), std::string::npos) << r.message;
    EXPECT_EQ(settings().gutter, 32);
    EXPECT_EQ(text(IDC_GUTTER_EDIT), "32");

    EXPECT_EQ(act("type 1131 eight").kind, ActionResult::Ignored);
    EXPECT_EQ(text(IDC_GUTTER_EDIT), "32");
    // Typed into the edit, the value reaches the settings with the next
    // command, as every command reads all controls first.
    act("type 1131 7");
    EXPECT_EQ(value(IDC_GUTTER_SPIN), 7);
    click(IDC_PREVIEW);
    EXPECT_EQ(settings().gutter, 7);

    EXPECT_EQ(act("type 1036 80a").kind, ActionResult::Ignored);
    act("type 1036 4000");
    EXPECT_EQ(settings().port, 4000);
    // No port at all, or one past the last, keeps the one before.
    act("type 1036 ");
    EXPECT_EQ(settings().port, 4000);
    act("type 1036 70000");
    EXPECT_EQ(settings().port, 4000);
    act("type 1034 render-head");
    EXPECT_EQ(settings().manager, "render-head");
    EXPECT_EQ(act("type 1019 /elsewhere").kind, ActionResult::Ignored); // read-only
}

TEST_F(PanelTest, DisabledControlsAndUnknownActionsChangeNothing) {
    click(IDC_UV_PACK);
    const float stretch = settings().stretch;
    EXPECT_EQ(act("click 1001").kind, ActionResult::Ignored);
    EXPECT_EQ(act("set 1135 0.5").kind, ActionResult::Ignored);
    EXPECT_FALSE(settings().quality);
    EXPECT_FLOAT_EQ(settings().stretch, stretch);

    EXPECT_EQ(act("click 4242").message, "no control 4242 in the open panel");
    EXPECT_EQ(act("select 1101 0").kind, ActionResult::Failed); // no groups yet
    EXPECT_EQ(act("set 1137 many").kind, ActionResult::Failed);
    EXPECT_EQ(act("spin 1137 3").kind, ActionResult::Failed);
    EXPECT_EQ(act("click").kind, ActionResult::Failed);
    EXPECT_EQ(act("type 1002 x").kind, ActionResult::Failed);
    EXPECT_EQ(act("uncheck 1055").kind, ActionResult::Failed); // checked radio
}

TEST_F(PanelTest, OpeningThePanelShowsTheSettingsAndWritesNone) {
    core.ui().CloseUtility();
    UnwrapSettings& s = settings();
    s.channel = 7;
    s.gutter = 9;
    s.stretch = 0.4f;
    s.base_unwrap = Projection;
    s.projection_orthographic = true;
    s.mapmode = SelectionSets;
    s.padding = 11;
    s.bakerangefrom = -3;
    s.bakerangeto = 20;
    s.manager = "farm";
    s.port = 5000;
    s.outpath = "/maps/";
    open_panel();
    EXPECT_EQ(s.channel, 7);
    EXPECT_EQ(s.gutter, 9);
    EXPECT_FLOAT_EQ(s.stretch, 0.4f);
    EXPECT_EQ(s.padding, 11);
    EXPECT_EQ(s.bakerangefrom, -3);
    EXPECT_EQ(s.bakerangeto, 20);
    EXPECT_EQ(value(IDC_CHANNEL_SPIN), 7);
    EXPECT_EQ(text(IDC_STRETCH_EDIT), "0.4");
    EXPECT_TRUE(checked(IDC_PROJECTION));
    EXPECT_FALSE(enabled(IDC_VIEW_ANGLE_SPIN));
    EXPECT_TRUE(checked(IDC_SELECTION_SETS));
    EXPECT_EQ(value(IDC_FROM_SPIN), -3);
    EXPECT_EQ(text(IDC_MANAGER), "farm");
    EXPECT_EQ(text(IDC_PORT), "5000");
    EXPECT_EQ(text(IDC_MAP_PATH), "/maps/");
    EXPECT_EQ(text(IDC_ABOUT_TEXT), "Vellumar Pro 2.22.00");
    // A command now writes back exactly what is shown.
    click(IDC_PREVIEW);
    EXPECT_EQ(s.channel, 7);
    EXPECT_EQ(s.bakerangeto, 20);
    EXPECT_EQ(s.manager, "farm");
}

TEST_F(PanelTest, LockedSizesKeepTheRatioWithinTheRange) {
    EXPECT_TRUE(checked(IDC_ASPECT_LOCK));
    EXPECT_FALSE(enabled(IDC_RATIO_SPIN));
    act("set 1138 2048");
    EXPECT_EQ(settings().width, 2048);
    EXPECT_EQ(settings().height, 2048);

    click(IDC_ASPECT_LOCK);
    EXPECT_FALSE(settings().aspectlock);
    EXPECT_TRUE(enabled(IDC_RATIO_SPIN));
    act("set 1140 1024");
    EXPECT_EQ(settings().width, 2048);
    EXPECT_FLOAT_EQ(settings().ratio, 2.0f);
    act("set 1026 4");
    EXPECT_EQ(settings().height, 512);

    click(IDC_ASPECT_LOCK);
    act("set 1140 16384"); // the width would be 65536
    EXPECT_EQ(settings().width, 16384);
    EXPECT_EQ(settings().height, 4096);
    act("set 1138 100");
    EXPECT_EQ(settings().height, 25);
    EXPECT_EQ(act("set 1026 1").kind, ActionResult::Ignored);
    EXPECT_FLOAT_EQ(settings().ratio, 4.0f);
}

TEST_F(PanelTest, GroupNameEditTakesTheKeysWhileItHasTheFocus) {
    std::vector<bool> while_typing;
    core.ui().SetChangeListener([&](const Window& w) {
        if (w.id == IDC_GROUP_NAME) {
            while_typing.push_back(AcceleratorsEnabled());
        }
    });
    act("type 1102 Chairs");
    core.ui().SetChangeListener(nullptr);
    EXPECT_EQ(while_typing, std::vector<bool>{false});
    EXPECT_TRUE(AcceleratorsEnabled());
    EXPECT_EQ(panel().GetGroupName(), "Chairs");
    act("type 1102 ");
    EXPECT_EQ(panel().GetGroupName(), "unnamed");
}

TEST_F(PanelTest, ControlsCarryTheirTooltips) {
    EXPECT_EQ(WideToUtf8(control(IDC_STRETCH_EDIT).tooltip),
              "Maximum allowed amount of stretching. Lower numbers will generate results with "
              "less stretching but more charts and seams");
    EXPECT_EQ(WideToUtf8(control(IDC_GROOVE_SPIN).tooltip),
              "Break charts on grooves with with at least this angle between adjacent faces");
    EXPECT_EQ(WideToUtf8(control(IDC_ADD_SHELL).tooltip),
              "Adds a shell for the baked material.\nThe original material is kept in the first "
              "map slot.\nThe baked texture is stored in the second slot.");
    EXPECT_EQ(WideToUtf8(control(IDC_PROJECTION).tooltip), "Projection unwrap mode");
    EXPECT_TRUE(control(IDC_UNWRAP).tooltip.empty());
    // Every rollout has the application font.
    EXPECT_EQ(control(IDC_MANUAL_MERGE).font, core.GetAppHFont());
}

TEST_F(PanelTest, RolloutsOpenInOrderAndCloseCompletely) {
    std::vector<std::string> titles;
    for (const Rollout& r : core.ui().rollouts()) {
        titles.push_back(WideToUtf8(r.title));
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Unwrap Parameters", "Advanced Unwrap Settings", "Baking",
                                        "Shells", "Options", "About", "Network Rendering"}));
    // The logo and Help open the product's pages.
    click(IDC_LOGO);
    click(IDC_HELP);
    ASSERT_EQ(core.ui().opened().size(), 2u);
    EXPECT_EQ(WideToUtf8(core.ui().opened()[0]), "https://vellumar.example/uv/");
    core.ui().CloseUtility();
    EXPECT_TRUE(core.ui().rollouts().empty());
    EXPECT_EQ(panel().rollout(kUnwrapRollout), nullptr);
}

TEST_F(PanelTest, PickCameraTakesTheNodeClickedAndEndsOnRightClick) {
    click(IDC_PROJECTION);
    click(IDC_PICK_CAMERA);
    EXPECT_TRUE(checked(IDC_PICK_CAMERA));
    EXPECT_NE(core.ui().pick_mode(), nullptr);
    // Empty space keeps picking; any node will do, camera or not.
    EXPECT_EQ(act("pick").kind, ActionResult::Ignored);
    EXPECT_NE(core.ui().pick_mode(), nullptr);
    EXPECT_EQ(act("pick Box1").kind, ActionResult::Done);
    EXPECT_EQ(settings().projection_camera, boxes[1]->GetHandle());
    EXPECT_EQ(text(IDC_PICK_CAMERA), "Box1");
    EXPECT_FALSE(checked(IDC_PICK_CAMERA));
    EXPECT_EQ(core.ui().pick_mode(), nullptr);

    click(IDC_PICK_CAMERA);
    EXPECT_EQ(act("pick nothere").kind, ActionResult::Failed);
    EXPECT_EQ(act("rightclick").kind, ActionResult::Done);
    EXPECT_EQ(core.ui().pick_mode(), nullptr);
    EXPECT_FALSE(checked(IDC_PICK_CAMERA));
    EXPECT_EQ(settings().projection_camera, boxes[1]->GetHandle());
    EXPECT_EQ(act("rightclick").kind, ActionResult::Failed);

    // Closing the panel ends a pick that runs; a camera that is gone no
    // longer names the button.
    click(IDC_PICK_CAMERA);
    core.ui().CloseUtility();
    EXPECT_EQ(core.ui().pick_mode(), nullptr);
    settings().projection_camera = 0;
    open_panel();
    EXPECT_EQ(text(IDC_PICK_CAMERA), "Pick Camera");
}

// The host closing with the panel open, a pick running and a modifier
// panel open before: everything closes in order (the sanitizers watch).
TEST(PanelTeardown, HostClosesWithThePanelOpen) {
    StandaloneCore core;
    ASSERT_TRUE(core.LoadPlugin(VellumarPluginModule()));
    SceneNode* node = core.scene().CreateNode(L"Box", box_poly_object());
    core.SetSelection({node});
    ClassEntry* e = core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID);
    ASSERT_TRUE(core.ui().OpenUtility(e->CD()));
    core.ui().Perform("click 1154");
    core.ui().Perform("click 1155");
    ASSERT_NE(core.ui().pick_mode(), nullptr);
    settings().reset();
}

} // namespace
