// The Baking and Network Rendering commands, Load Default, and every label
// and tooltip of the panel against their golden text.
#include "ui/panel_fixture.h"

#include "support/golden.h"

#include "bake/bake_element.h"
#include "netrender/net_render.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

bool reported(StandaloneCore& core, const std::string& part) {
    for (const MessageRecord& m : core.messages()) {
        if (WideToUtf8(m.text).find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(PanelTest, OutputFolderMovesTheElementFiles) {
    settings().elements = {CreateEntry(AvailableElementClasses()[1])};
    const std::string before = settings().outpath;
    const std::string dir = ::testing::TempDir() + "baked_maps";
    std::filesystem::create_directories(dir);
    for (const std::string& answer :
         {std::string("answer cancel"), "answer folder " + dir + "/missing"}) {
        act(answer);
        click(IDC_MAP_PATH_BROWSE);
        EXPECT_EQ(settings().outpath, before) << answer;
    }
    act("answer folder " + dir);
    click(IDC_MAP_PATH_BROWSE);
    EXPECT_EQ(settings().outpath, dir);
    EXPECT_EQ(text(IDC_MAP_PATH), dir);
    EXPECT_EQ(WideToUtf8(settings().elements[0].file.Name()), dir + "\\DiffuseMap.png");
}

TEST_F(PanelTest, TargetMaterialResetsSlotsOnlyWhenItChanges) {
    settings().elements = {CreateEntry(AvailableElementClasses()[1])};
    settings().elements[0].slot = "Diffuse Color";
    const std::vector<std::string> standard = panel().slot_names();
    act("select 1091 0"); // the material already chosen
    EXPECT_EQ(settings().elements[0].slot, "Diffuse Color");
    act("select 1091 1");
    EXPECT_EQ(settings().target_material, "Double Sided");
    EXPECT_EQ(settings().elements[0].slot, "NONE");
    EXPECT_NE(panel().slot_names(), standard);
    // Load Default goes back to Standard, and so do the slots offered.
    click(IDC_LOAD_DEFAULT);
    EXPECT_EQ(panel().slot_names(), standard);

    click(IDC_RENDERER_SETTINGS);
    EXPECT_EQ(core.ui().host_dialogs(), std::vector<std::wstring>{L"Render Setup"});
}

TEST_F(PanelTest, NetworkFolderManualMergeAndStatus) {
    const std::string dir = ::testing::TempDir() + "net_share";
    std::filesystem::create_directories(dir + "/job");
    act("answer folder " + dir);
    click(IDC_NETPATH_BROWSE);
    EXPECT_EQ(settings().netpath, dir);
    EXPECT_EQ(text(IDC_NETPATH), dir);

    // A folder without a job description is refused as a merge does.
    act("answer folder " + dir + "/job");
    click(IDC_MANUAL_MERGE);
    EXPECT_TRUE(reported(core, "job.desc file"));
    EXPECT_FALSE(reported(core, "has been merged"));

    // The monitor's thread posts; the status changes on this thread only.
    EXPECT_EQ(text(IDC_NET_STATUS), "--");
    std::thread([] { netRender().IdentifyJob({}, "x"); }).join(); // never identified
    EXPECT_EQ(text(IDC_NET_STATUS), "--");
    EXPECT_GT(core.ui().DispatchPosted(), 0);
    EXPECT_EQ(text(IDC_NET_STATUS), "failed");
    ReleaseNetRender();
}

TEST_F(PanelTest, LoadDefaultResetsEveryControl) {
    const std::string fresh = core.ui().Dump();
    for (const char* line :
         {"click 1090", "set 1137 9", "set 1138 512", "check 1053", "uncheck 1079", "click 1145",
          "set 1147 5", "check 1062", "type 1036 4000", "click 1021", "click 1023"}) {
        EXPECT_EQ(act(line).kind, ActionResult::Done) << line;
    }
    EXPECT_NE(core.ui().Dump(), fresh);
    click(IDC_LOAD_DEFAULT);
    EXPECT_EQ(core.ui().Dump(), fresh);
}

// Every rollout's controls with their labels and tooltips.
TEST_F(PanelTest, LabelsAndTooltipsMatchTheirGoldenText) {
    std::string all;
    for (const Rollout& r : core.ui().rollouts()) {
        const Window* w = core.ui().Find(r.window);
        all += "rollout " + std::to_string(w->template_id) + " \"" + WideToUtf8(r.title) + "\"\n";
        for (const Window* c : w->children) {
            all += "  " + std::to_string(c->id) + " \"" + WideToUtf8(c->text) + "\"";
            if (!c->tooltip.empty()) {
                all += " tip \"" + WideToUtf8(c->tooltip) + "\"";
            }
            all += "\n";
        }
    }
    ExpectGolden("panel_texts.txt", all);
}

} // namespace

namespace {

// Cancel on the progress bar stops an organic unwrap inside the atlas
// engine; no group is made, and the next unwrap runs.
TEST_F(PanelTest, CancelStopsTheUnwrap) {
    core.SetProgressListener([this](const ProgressBar& bar) {
        if (bar.open() && bar.percent() > 0) {
            core.SetCancel(1);
        }
    });
    click(IDC_ORGANIC);
    click(IDC_UNWRAP);
    EXPECT_TRUE(control(IDC_UNWRAP_GROUP).items.empty());
    EXPECT_FALSE(core.messages().empty());
    core.SetProgressListener(nullptr);
    click(IDC_UNWRAP);
    EXPECT_EQ(control(IDC_UNWRAP_GROUP).items.size(), 1u);
}

} // namespace
