#include "support/test_host.h"

#include "bake/output_names.h"

namespace {

BakeElementEntry entry_with_file(const std::string& path) {
    BakeElementEntry e;
    e.file.SetName(Utf8ToWide(path).c_str());
    return e;
}

} // namespace

TEST_F(HostTest, PartNamesOfTheBakeOfAGroupCalledProps) {
    const BakeElementEntry e = entry_with_file("C:\\out\\Diffuse.png");
    const std::string base = EntryOutputName(e, "Props");
    EXPECT_EQ(base, "C:\\out\\Props_Diffuse.png");
    EXPECT_EQ(InsertBeforeExtension(base, "_0"), "C:\\out\\Props_Diffuse_0.png");
    EXPECT_EQ(InsertBeforeExtension(InsertBeforeExtension(base, "_1"), "_" + FrameText(10)),
              "C:\\out\\Props_Diffuse_1_0010.png");
}

TEST_F(HostTest, UnnamedGroupsAndTheSwitchedOffPrefixLeaveNamesAlone) {
    const BakeElementEntry e = entry_with_file("/maps/AO.exr");
    for (const char* group : {"unnamed", "unnamed3", "unnamed07"}) {
        EXPECT_EQ(EntryOutputName(e, group), "/maps/AO.exr") << group;
    }
    EXPECT_EQ(EntryOutputName(e, "unnamed_props2"), "/maps/unnamed_props2_AO.exr");
    EXPECT_EQ(EntryOutputName(e, "2024"), "/maps/2024_AO.exr");
    settings().add_group_name_to_textures = false;
    EXPECT_EQ(EntryOutputName(e, "Props"), "/maps/AO.exr");
}

TEST(OutputNames, SuffixesGoBeforeTheLastPointOfTheFileNameOnly) {
    EXPECT_EQ(InsertBeforeExtension("a.b\\c.d.png", "_3"), "a.b\\c.d_3.png");
    EXPECT_EQ(InsertBeforeExtension("dir.v2/noext", "_3"), "dir.v2/noext_3");
    EXPECT_EQ(InsertBeforeExtension("plain", "_0"), "plain_0");
    EXPECT_EQ(FrameText(0), "0000");
    EXPECT_EQ(FrameText(7), "0007");
    EXPECT_EQ(FrameText(-5), "00-5");
    EXPECT_EQ(FrameText(12345), "12345");
    EXPECT_EQ(FrameText(-1234), "-1234");
    EXPECT_EQ(FileNamePart("C:\\out/x\\Diffuse.png"), "Diffuse.png");
}
