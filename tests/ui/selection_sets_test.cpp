// Picking selection sets in their dialog, making sets from unwrap groups,
// and switching shells from the panel.
#include "ui/panel_fixture.h"

#include "standalone/materials/shell_material.h"

#include <deque>
#include <filesystem>
#include <fstream>

namespace {

class SelectionSetsTest : public PanelTest {
  protected:
    // The dialog opened by Select Sets... takes these actions, in order.
    void run_dialog(std::deque<std::string> actions) {
        core.ui().SetModalPump([this, &actions] {
            if (actions.empty()) {
                return false;
            }
            results.push_back(act(actions.front()));
            actions.pop_front();
            return true;
        });
        click(IDC_SELECT_SETS);
        core.ui().SetModalPump(nullptr);
    }
    std::vector<std::string> list_items() {
        std::vector<std::string> out;
        for (const ListEntry& e : dialog_list) {
            out.push_back((e.selected ? "*" : "") + WideToUtf8(e.text));
        }
        return out;
    }
    // A copy of the dialog's list as the last action left it.
    void keep_list() { dialog_list = control(1074).items; }

    std::vector<ActionResult> results;
    std::vector<ListEntry> dialog_list;
};

TEST_F(SelectionSetsTest, OkTakesTheSelectedSetsInListOrder) {
    core.scene().AddNamedSelSet(L"Walls", {boxes[0]});
    core.scene().AddNamedSelSet(L"Doors", {boxes[1]});
    core.scene().AddNamedSelSet(L"Roof", {boxes[2]});
    click(IDC_SELECTION_SETS);
    EXPECT_FALSE(enabled(IDC_UNWRAP));
    core.ui().SetCursor({120, 500});
    core.ui().SetModalPump([&] {
        if (results.empty()) {
            keep_list();
            const Window* d = core.ui().TopModal();
            EXPECT_EQ(d->x, 0); // the cursor less 300, never below 0
            EXPECT_EQ(d->y, 200);
        }
        if (results.size() == 3) {
            return false;
        }
        const char* steps[] = {"click 1077", "select 1074 0,2", "click 1"};
        results.push_back(act(steps[results.size()]));
        return true;
    });
    click(IDC_SELECT_SETS);
    core.ui().SetModalPump(nullptr);
    // Sorted, and nothing picked yet.
    EXPECT_EQ(list_items(), (std::vector<std::string>{"Doors", "Roof", "Walls"}));
    EXPECT_EQ(panel().unwrapper().chosen_sets, (std::vector<std::wstring>{L"Doors", L"Walls"}));
    EXPECT_TRUE(enabled(IDC_UNWRAP));
    EXPECT_EQ(core.ui().TopModal(), nullptr);
}

TEST_F(SelectionSetsTest, InvertSelectsAllAndAGoneSetIsDroppedByOk) {
    core.scene().AddNamedSelSet(L"A", {boxes[0]});
    core.scene().AddNamedSelSet(L"B", {boxes[1]});
    click(IDC_SELECTION_SETS);
    panel().unwrapper().chosen_sets = {L"B", L"Gone"};
    run_dialog({"click 1077", "click 1077", "click 1077", "click 1"});
    // B was shown picked; Invert three times leaves A picked only.
    EXPECT_EQ(panel().unwrapper().chosen_sets, std::vector<std::wstring>{L"A"});

    panel().unwrapper().chosen_sets = {L"Gone"};
    run_dialog({"click 1076", "click 1077", "click 1"});
    EXPECT_EQ(panel().unwrapper().chosen_sets, (std::vector<std::wstring>{L"A", L"B"}));

    // Cancel, the close box and a script that stops all keep the list.
    run_dialog({"click 1075", "click 2"});
    run_dialog({"click 1076"});
    EXPECT_EQ(panel().unwrapper().chosen_sets, (std::vector<std::wstring>{L"A", L"B"}));
    // While the dialog runs, the panel behind it takes no action.
    run_dialog({"click 1002", "click 2"});
    EXPECT_EQ(results.back().kind, ActionResult::Done);
    EXPECT_EQ(results[results.size() - 2].kind, ActionResult::Failed); // 1002 is not in it
}

TEST_F(SelectionSetsTest, CreateSelectionSetsPerMapOrPerGroupAndReplaces) {
    act("set 1071 3");
    act("type 1102 Chairs");
    click(IDC_UNWRAP);
    act("set 1071 1");
    act("set 1136 2"); // another channel: box 0 stays in Chairs
    act("type 1102 Table");
    select({boxes[0]});
    click(IDC_UNWRAP);

    click(IDC_CREATE_SELECTION_SETS);
    INamedSelectionSetManager& sets = core.scene();
    std::map<std::string, std::vector<INode*>> made;
    for (int i = 0; i < sets.GetNumNamedSelSets(); ++i) {
        for (int k = 0; k < sets.GetNamedSelSetItemCount(i); ++k) {
            made[WideToUtf8(sets.GetNamedSelSetName(i))].push_back(sets.GetNamedSelSetItem(i, k));
        }
    }
    std::string names;
    for (const auto& [name, nodes] : made) {
        names += name + "(" + std::to_string(nodes.size()) + ") ";
    }
    ASSERT_EQ(made.size(), 4u) << names;
    EXPECT_EQ(made["vl_Table"], std::vector<INode*>{boxes[0]});
    std::size_t members = 0;
    for (const char* name : {"vl_Chairs_1", "vl_Chairs_2", "vl_Chairs_3"}) {
        members += made[name].size();
    }
    EXPECT_EQ(members, 3u);

    act("check 1084");
    click(IDC_CREATE_SELECTION_SETS);
    click(IDC_CREATE_SELECTION_SETS); // again: replaced, not added
    EXPECT_EQ(sets.GetNumNamedSelSets(), 5);
    int chairs = -1;
    for (int i = 0; i < sets.GetNumNamedSelSets(); ++i) {
        if (std::wstring(sets.GetNamedSelSetName(i)) == L"vl_Chairs") {
            chairs = i;
        }
    }
    ASSERT_GE(chairs, 0);
    EXPECT_EQ(sets.GetNamedSelSetItemCount(chairs), 3);
}

TEST_F(SelectionSetsTest, NoGroupsMakeNoSets) {
    click(IDC_CREATE_SELECTION_SETS);
    EXPECT_EQ(core.scene().GetNumNamedSelSets(), 0);
}

} // namespace

namespace {

TEST_F(PanelTest, PresetsThroughTheFileDialogs) {
    const std::string dir = ::testing::TempDir() + "panel_presets/";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "wide.vl";
    std::filesystem::remove(path);
    act("set 1137 9");
    act("answer cancel");
    click(IDC_SAVE_SETTINGS);
    EXPECT_FALSE(std::filesystem::exists(path));
    act("answer file " + path);
    click(IDC_SAVE_SETTINGS);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(core.ui().selector_titles().back(), L"Save preset");

    act("set 1137 3");
    act("answer file " + path);
    click(IDC_LOAD_SETTINGS);
    EXPECT_EQ(core.ui().selector_titles().back(), L"Load preset");
    EXPECT_EQ(settings().gutter, 9);
    EXPECT_EQ(value(IDC_GUTTER_SPIN), 9);

    // A file that is no preset reports and leaves everything; one that does
    // not exist is not taken by the dialog at all.
    { std::ofstream(dir + "broken.vl") << "<settings><gutter>"; }
    act("set 1137 5");
    act("answer file " + dir + "broken.vl");
    click(IDC_LOAD_SETTINGS);
    EXPECT_EQ(settings().gutter, 5);
    EXPECT_FALSE(settings().last_message.empty());
    act("answer file " + dir + "missing.vl");
    click(IDC_LOAD_SETTINGS);
    EXPECT_EQ(settings().gutter, 5);

    // Load Default: the defaults (no default preset here), on every control.
    click(IDC_LOAD_DEFAULT);
    EXPECT_EQ(settings().gutter, 4);
    EXPECT_EQ(value(IDC_GUTTER_SPIN), 4);
    EXPECT_EQ(act("answer sideways").kind, ActionResult::Failed);
}

TEST_F(PanelTest, ShellSwitchesActOnTheSelectedObjects) {
    std::vector<ShellMaterial*> shells;
    for (SceneNode* box : boxes) {
        auto* shell = new ShellMaterial;
        shell->SetSubMtl(
            0, static_cast<Mtl*>(core.CreateInstance(MATERIAL_CLASS_ID, standardMaterialClassID)));
        shell->SetSubMtl(
            1, static_cast<Mtl*>(core.CreateInstance(MATERIAL_CLASS_ID, standardMaterialClassID)));
        box->SetMtl(shell);
        shells.push_back(shell);
    }
    select({boxes[0], boxes[2]});
    click(IDC_VIEWPORT_BAKED);
    EXPECT_EQ(shells[0]->ViewportIndex(), 1);
    EXPECT_EQ(shells[1]->ViewportIndex(), 0); // not selected
    EXPECT_EQ(shells[2]->ViewportIndex(), 1);
    click(IDC_RENDER_ORIGINAL);
    EXPECT_EQ(shells[2]->RenderIndex(), 0);

    // Keep Source: the selected objects get their original material back.
    Mtl* original = shells[0]->GetSubMtl(0);
    click(IDC_KEEP_SOURCE);
    EXPECT_FALSE(settings().keepshell);
    click(IDC_CLEAR_SHELLS);
    EXPECT_EQ(boxes[0]->GetMtl(), original);
    EXPECT_EQ(boxes[1]->GetMtl(), shells[1]);
}

} // namespace
