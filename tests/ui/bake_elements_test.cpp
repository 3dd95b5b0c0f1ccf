// Choose Bake Elements and Add as a user works them: rows, the element's
// fields and parameter editors, the file selector and removal.
#include "ui/panel_fixture.h"

#include "ui/param_editors.h"

#include <deque>
#include <filesystem>

namespace {

class BakeElementsTest : public PanelTest {
  protected:
    BakeElementsTest() { settings().elements.clear(); }

    // Opens the dialog with Choose Bake Elements and runs the actions in it;
    // `inside` runs after them, before the dialog closes.
    void run_dialog(std::deque<std::string> actions, const std::function<void()>& inside = {}) {
        results.clear();
        core.ui().SetModalPump([&] {
            if (actions.empty()) {
                if (inside) {
                    inside();
                }
                return false;
            }
            // Taken off first: the action may open a dialog that pumps too.
            const std::string line = actions.front();
            actions.pop_front();
            results.push_back(act(line));
            return true;
        });
        click(IDC_BAKE_ELEMENTS);
        core.ui().SetModalPump(nullptr);
    }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        Window& list = control(IDC_ELEMENT_LIST);
        for (std::size_t i = 0; i < list.items.size(); ++i) {
            std::string row = WideToUtf8(list.items[i].text);
            for (const std::wstring& cell : list.subitems[i]) {
                row += " | " + WideToUtf8(cell);
            }
            out.push_back(row);
        }
        return out;
    }
    std::vector<BakeElementEntry>& elements() { return settings().elements; }

    std::vector<ActionResult> results;
};

TEST_F(BakeElementsTest, AddTakesSeveralClassesInListOrderAndCancelNone) {
    run_dialog({"click 1107", "select 1124 3", "click 1123", "click 1107", "select 1124 2,0",
                "click 1122"},
               [&] {
                   EXPECT_EQ(rows(), (std::vector<std::string>{
                                         "CompleteMap | CompleteMap.png | 1024 x 1024 | NONE",
                                         "NormalsMap | NormalsMap.png | 1024 x 1024 | NONE"}));
                   // Nothing is edited yet: the fields wait for a row.
                   EXPECT_FALSE(enabled(IDC_ELEMENT_FILE));
                   EXPECT_FALSE(enabled(IDC_ELEMENT_WIDTH_SPIN));
                   EXPECT_FALSE(enabled(IDC_ELEMENT_REMOVE));
               });
    for (const ActionResult& r : results) {
        EXPECT_EQ(r.kind, ActionResult::Done) << r.message;
    }
    ASSERT_EQ(elements().size(), 2u);
    EXPECT_EQ(WideToUtf8(elements()[0].elementClass->ClassName()), "CompleteMap");
    EXPECT_EQ(WideToUtf8(elements()[1].elementClass->ClassName()), "NormalsMap");
    // Opened again, the list shows the settings' elements.
    run_dialog({}, [&] { EXPECT_EQ(rows().size(), 2u); });
}

TEST_F(BakeElementsTest, EditingARowWritesOnlyThatElement) {
    run_dialog({"click 1107", "select 1124 0,2", "click 1122"});
    ASSERT_EQ(elements().size(), 2u);
    elements()[0].background[0] = 0.3f; // finer than a swatch holds
    const BakeElementEntry first = elements()[0];
    run_dialog({"select 1106 1", "set 1116 300", "select 1110 2", "set 10001 7", "check 10000",
                "set 1126 #FF8000", "select 1106 0"},
               [&] {
                   EXPECT_EQ(rows()[1], "NormalsMap | NormalsMap.png | 300 x 300 | Diffuse Color");
                   // Row 0 is shown now: its own values, and its editors.
                   EXPECT_EQ(value(IDC_ELEMENT_WIDTH_SPIN), 1024);
                   EXPECT_EQ(control(kParamEditorBase + 1).kind, ControlKind::ColorSwatch);
                   // Changing its width keeps its finer background.
                   EXPECT_EQ(act("set 1116 512").kind, ActionResult::Done);
               });
    const BakeElementEntry& normals = elements()[1];
    EXPECT_EQ(normals.width, 300);
    EXPECT_EQ(normals.height, 300); // the lock brought it along
    EXPECT_EQ(normals.slot, "Diffuse Color");
    EXPECT_EQ(normals.parameters[1].intValue, 2); // Normal Space keeps its range 0..2
    EXPECT_EQ(normals.parameters[0].flagValue, 1);
    EXPECT_FLOAT_EQ(normals.background[0], 1.0f);
    EXPECT_NEAR(normals.background[1], 128 / 255.0, 1e-6);
    EXPECT_NE(results[3].message.find("outside 0..2"), std::string::npos) << results[3].message;
    // Showing row 0 wrote nothing into it; its own change came through.
    EXPECT_EQ(elements()[0].width, 512);
    EXPECT_EQ(elements()[0].slot, first.slot);
    EXPECT_FLOAT_EQ(elements()[0].background[0], 0.3f);
    EXPECT_EQ(elements()[0].parameters[0].flagValue, first.parameters[0].flagValue);
}

TEST_F(BakeElementsTest, ParameterEditorsFollowTheirTypes) {
    // Added in list order: AlphaMap (a legacy flag and a type without
    // editor), then HeightMap (two floats).
    run_dialog({"click 1107", "select 1124 4,3", "click 1122", "select 1106 1",
                "set 10000 -5000000", "select 1106 0"},
               [&] {
                   EXPECT_EQ(control(kParamEditorBase).kind, ControlKind::CheckBox);
                   EXPECT_EQ(core.ui().FindControl(kParamEditorBase + 1), nullptr);
                   // The height map's editors went with its row.
                   EXPECT_EQ(core.ui().FindControl(kParamEditBase), nullptr);
               });
    EXPECT_FLOAT_EQ(elements()[1].parameters[0].floatValue, -1000000.0f);
    EXPECT_EQ(elements()[0].parameters[1].type, 8);
    bool reported = false;
    for (const MessageRecord& m : core.messages()) {
        reported =
            reported || WideToUtf8(m.text).find("Cannot create control: Unknown type 8 for "
                                                "parameter Source Slot") != std::string::npos;
    }
    EXPECT_TRUE(reported);
}

TEST_F(BakeElementsTest, FileSelectorAndRemove) {
    const std::string dir = ::testing::TempDir() + "element_files";
    std::filesystem::create_directories(dir);
    run_dialog({"click 1107", "select 1124 1", "click 1122", "click 1108", "select 1106 0",
                "answer cancel", "click 1112", "answer file " + dir + "/nowhere/x.png",
                "click 1112", "answer file " + dir + "/diffuse.exr", "click 1112"},
               [&] {
                   EXPECT_EQ(text(IDC_ELEMENT_FILE), dir + "/diffuse.exr");
                   EXPECT_EQ(rows()[0], "DiffuseMap | diffuse.exr | 1024 x 1024 | NONE");
               });
    ASSERT_EQ(elements().size(), 1u); // Remove before a row was chosen did nothing
    EXPECT_EQ(WideToUtf8(elements()[0].file.Name()), dir + "/diffuse.exr");
    EXPECT_EQ(elements()[0].file.Type(), BMM_FLOAT_RGBA_32);
    EXPECT_EQ(core.ui().selector_titles().back(), L"Select File Name and Type");

    run_dialog({"select 1106 0", "click 1108"}, [&] {
        EXPECT_TRUE(rows().empty());
        EXPECT_FALSE(enabled(IDC_ELEMENT_FILE));
        EXPECT_FALSE(enabled(IDC_ELEMENT_SLOT));
        EXPECT_EQ(act("click 1108").kind, ActionResult::Ignored);
    });
    EXPECT_TRUE(elements().empty());
}

} // namespace
