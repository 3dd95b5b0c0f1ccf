// Unwrapping through the panel's button, and the unwrap group list that
// bakes and removals choose from.
#include "ui/panel_fixture.h"

#include "modifier/unwrap_groups.h"

namespace {

std::vector<std::string> items(Window& w) {
    std::vector<std::string> out;
    for (const ListEntry& e : w.items) {
        out.push_back(WideToUtf8(e.text));
    }
    return out;
}

TEST_F(PanelTest, UnwrapFillsTheGroupListNewestSelected) {
    EXPECT_TRUE(control(IDC_UNWRAP_GROUP).items.empty());
    EXPECT_FALSE(enabled(IDC_BAKE_GROUP));
    EXPECT_FALSE(enabled(IDC_REMOVE_GROUP));

    click(IDC_UNWRAP); // no name given
    act("type 1102 Crates");
    act("set 1136 2");
    click(IDC_UNWRAP);
    EXPECT_EQ(items(control(IDC_UNWRAP_GROUP)), (std::vector<std::string>{"unnamed", "Crates"}));
    EXPECT_EQ(control(IDC_UNWRAP_GROUP).cursel, 1);
    EXPECT_TRUE(enabled(IDC_BAKE_GROUP));
    EXPECT_TRUE(enabled(IDC_REMOVE_GROUP));
    const std::map<std::uint64_t, std::string> groups = CollectUnwrapGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(panel().GetSelectedGroupKey(), groups.rbegin()->first);
    EXPECT_EQ(FindVellumarModifier(boxes[0])->FindUVSet(groups.rbegin()->first)->mapChannel, 2);

    act("select 1101 0");
    EXPECT_EQ(panel().GetSelectedGroupKey(), groups.begin()->first);
    click(IDC_REMOVE_GROUP);
    EXPECT_EQ(items(control(IDC_UNWRAP_GROUP)), std::vector<std::string>{"Crates"});
    EXPECT_EQ(FindVellumarModifier(boxes[1])->GetGroupKeys(),
              std::set<std::uint64_t>{groups.rbegin()->first});

    click(IDC_REMOVE_GROUP);
    EXPECT_TRUE(control(IDC_UNWRAP_GROUP).items.empty());
    EXPECT_FALSE(enabled(IDC_REMOVE_GROUP));
    EXPECT_EQ(FindVellumarModifier(boxes[2]), nullptr);
}

TEST_F(PanelTest, GroupsMadeElsewhereShowWhenThePanelOpens) {
    core.ui().CloseUtility();
    settings().mapcount = 3;
    panel().unwrapper().run("Chairs");
    open_panel();
    EXPECT_EQ(items(control(IDC_UNWRAP_GROUP)), std::vector<std::string>{"Chairs"});
    // A group removed by another command while the panel is open leaves the
    // list through the modifier's refresh.
    RemoveUnwrapGroup(CollectUnwrapGroups().begin()->first);
    EXPECT_TRUE(control(IDC_UNWRAP_GROUP).items.empty());
    EXPECT_FALSE(enabled(IDC_BAKE_GROUP));
}

TEST_F(HostTest, ModifierPanelShowsItsSetsAndVersion) {
    std::vector<SceneNode*> nodes;
    for (int i = 0; i < 3; ++i) {
        nodes.push_back(add_node(L"Chair" + std::to_wstring(i), box_poly_object()));
    }
    select({nodes.begin(), nodes.end()});
    settings().mapcount = 3;
    settings().channel = 2;
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("Chairs"));
    settings().mapcount = 1;
    settings().channel = 3;
    select({nodes[0]});
    ASSERT_TRUE(unwrapper.run("Tables"));

    VellumarModifier* mod = FindVellumarModifier(nodes[0]);
    const std::set<std::uint64_t> key_set = mod->GetGroupKeys();
    const std::vector<std::uint64_t> keys(key_set.begin(), key_set.end());
    ASSERT_EQ(keys.size(), 2u);
    const UnwrapUVSet* chairs = mod->FindUVSet(keys[0]);
    const UnwrapUVSet* tables = mod->FindUVSet(keys[1]);
    core.ui().EditObject(mod);
    ASSERT_EQ(core.ui().rollouts().size(), 2u);
    EXPECT_EQ(WideToUtf8(core.ui().rollouts()[0].title), "Info");
    EXPECT_EQ(WideToUtf8(core.ui().rollouts()[1].title), "About");
    EXPECT_TRUE(mod->TestAFlag(A_MOD_BEING_EDITED));
    Window* info = core.ui().Find(core.ui().FindControl(IDC_INFO_TEXT));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(WideToUtf8(info->text),
              "Chairs\r\nmap channel: 2\r\n" + std::to_string(chairs->numVertices) +
                  " vertices in map " + std::to_string(chairs->mapIndex + 1) + "/3\r\n\r\n" +
                  "Tables\r\nmap channel: 3\r\n" + std::to_string(tables->numVertices) +
                  " vertices in map 1/1\r\n\r\n");
    EXPECT_EQ(chairs->mapCount, 3);
    Window* about = core.ui().Find(core.ui().FindControl(IDC_MODIFIER_ABOUT_TEXT));
    EXPECT_EQ(WideToUtf8(about->text), "Vellumar Pro 2.22.00");
    core.ui().Click(core.ui().FindControl(IDC_LOGO));
    EXPECT_EQ(core.ui().opened().size(), 1u);

    // Another modifier's panel replaces it; one without sets shows none.
    auto* bare = static_cast<VellumarModifier*>(GetVellumarModifierDesc()->Create(0));
    core.ui().EditObject(bare);
    EXPECT_FALSE(mod->TestAFlag(A_MOD_BEING_EDITED));
    EXPECT_EQ(core.ui().rollouts().size(), 2u);
    EXPECT_EQ(core.ui().Find(core.ui().FindControl(IDC_INFO_TEXT))->text, L"");
    core.ui().EditObject(nullptr);
    EXPECT_TRUE(core.ui().rollouts().empty());
    delete bare;
}

TEST_F(HostTest, InfoTextOfAThreeMapSet) {
    VellumarModifier mod;
    UnwrapResult r;
    r.target_channel = 2;
    r.map_index = 0;
    r.map_count = 3;
    r.record.vertex_count = 1200;
    r.record.uvs.assign(1200, Point3(0.5f, 0.5f, 0.0f));
    r.record.index_count = 3;
    r.record.indices = {0, 1, 2};
    mod.AddUVSet(7, "Chairs", r);
    core.ui().EditObject(&mod);
    EXPECT_EQ(core.ui().Find(core.ui().FindControl(IDC_INFO_TEXT))->text,
              L"Chairs\r\nmap channel: 2\r\n1200 vertices in map 1/3\r\n\r\n");
    core.ui().EditObject(nullptr);
}

TEST_F(HostTest, DeletingTheNodeUnderEditClosesItsPanel) {
    SceneNode* node = add_node(L"Box", box_poly_object());
    select({node});
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("Boxes"));
    core.ui().EditObject(FindVellumarModifier(node));
    core.DeleteNode(node);
    EXPECT_EQ(core.ui().edited_object(), nullptr);
    EXPECT_TRUE(core.ui().rollouts().empty());
}

TEST_F(HostTest, DeletingTheModifierUnderEditClosesItsPanel) {
    SceneNode* node = add_node(L"Box", box_poly_object());
    select({node});
    Unwrapper unwrapper;
    ASSERT_TRUE(unwrapper.run("Boxes"));
    VellumarModifier* mod = FindVellumarModifier(node);
    core.ui().EditObject(mod);
    RemoveUnwrapGroup(*mod->GetGroupKeys().begin());
    EXPECT_EQ(core.ui().edited_object(), nullptr);
    EXPECT_TRUE(core.ui().rollouts().empty());
}

} // namespace
