// The studio's order of work: while the host's folder browser waits, only
// its answer runs; what the page sent meanwhile runs after it, and a path
// that leaves the studio's folder is refused however it is spaced.
#include "ui/panel_fixture.h"

#include "studio/studio.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST_F(PanelTest, ASelectorTakesOnlyItsAnswerAndTheRestWaits) {
    const fs::path root = fs::path(::testing::TempDir()) / "studio_queue";
    fs::create_directories(root / "maps");
    const std::string before = settings().outpath;
    Studio studio(core, root, "");
    std::atomic<bool> stop{false};
    act("type 1102 Queued");
    // Unwrap is clicked while the browser is open: it waits for the answer.
    studio.Receive("act click 1025");
    studio.Receive("act click 1002");
    studio.Receive("act answer folder maps");
    // An answer spaced oddly, naming a folder outside: refused, and the
    // browser it was meant for is cancelled.
    studio.Receive("act click 1025");
    studio.Receive("act  answer \tfolder " + ::testing::TempDir());
    studio.Receive("quit discard");
    EXPECT_EQ(studio.Run(stop), 0);
    EXPECT_EQ(settings().outpath, fs::canonical(root / "maps").string());
    EXPECT_NE(settings().outpath, before);
    EXPECT_EQ(control(IDC_UNWRAP_GROUP).items.size(), 1u);
}

} // namespace
