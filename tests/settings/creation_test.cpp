// The record's first use, which a process sees only once: this executable
// holds just this test.
#include "support/temp_folder.h"

#include "host/text.h"
#include "settings/settings.h"
#include "standalone/core.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(SettingsCreation, ReadsTheStartupOptionsAndThenTheWholeDefaultPreset) {
    TempFolder dir;
    const std::string path = dir.file("VellumarDefault.vl");
    // Start-up options are never saved; a user adds them by hand.
    write_text(path, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<settings><gutter>9</gutter>"
                     "<bake_debug>true</bake_debug><delete_temp_files>false</delete_temp_files>"
                     "</settings>");
    ::setenv("VELLUMAR_DEFAULT_PRESET", path.c_str(), 1);
    StandaloneCore core;
    UnwrapSettings& s = settings();
    EXPECT_EQ(s.gutter, 9);
    EXPECT_TRUE(s.bake_debug);
    EXPECT_FALSE(s.delete_temp_files);
    EXPECT_TRUE(core.messages().empty());

    // "Load Default": reset, then the default preset; the options stay as read.
    s.reset();
    EXPECT_EQ(s.gutter, 4);
    ASSERT_TRUE(s.load(""));
    EXPECT_EQ(s.gutter, 9);
    EXPECT_FALSE(s.delete_temp_files);
    s.save(path);
    EXPECT_EQ(read_text(path).find("delete_temp_files"), std::string::npos);
}
