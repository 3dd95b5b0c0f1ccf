#include "bake/produced_files.h"
#include "netrender/job_description.h"
#include "netrender/job_folder.h"
#include "netrender/net_render.h"
#include "standalone/render/bake_elements.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <fstream>
#include <sstream>

namespace {

ClassDesc* element_class(const std::wstring& name) {
    for (ClassDesc* desc : BakeElementClassDescs()) {
        if (desc->ClassName() == name) {
            return desc;
        }
    }
    return nullptr;
}

BakeElementEntry entry(const std::wstring& cls, const std::string& file) {
    BakeElementEntry e = CreateEntry(element_class(cls));
    e.file.SetName(Utf8ToWide(file).c_str());
    return e;
}

using JobDescriptionTest = HostTest;

TEST_F(JobDescriptionTest, ShareFolderReachesTheScriptWithThreeBackslashes) {
    settings().netpath = "\\\\server\\";
    settings().job_name = "scene.max_1234";
    const std::string folder = JobFolder(1, 0);
    EXPECT_EQ(folder, "\\\\server\\\\scene.max_1234\\");
    EXPECT_EQ(ScriptFolder(folder), "\\\\\\server\\\\scene.max_1234\\");
    EXPECT_EQ(PlainFolder(ScriptFolder(folder)), folder);
    // Each map of a group with several gets its own folder, and so its own
    // description.
    EXPECT_EQ(JobFolder(2, 1), "\\\\server\\\\scene.max_1234_1\\");
}

TEST_F(JobDescriptionTest, SubmissionScriptIsExact) {
    EXPECT_EQ(SubmitScript("\\\\\\server\\\\scene.max_1234\\", ".tga"),
              " prev_VFB = rendShowVFB \n"
              " \t\trendShowVFB = true \n"
              " \t\tfileproperties.addproperty #custom \"RTT_Default_Path\" "
              "\"\\\\\\server\\\\scene.max_1234\\\" \n"
              " \t\tfileproperties.addproperty #custom \"RTT_Default_FileType\" \".tga\" \n"
              " \t\tfileproperties.addproperty #custom \"RTT_RenderTimeType\" 1 \n"
              " \t\tres = NetworkRTT selection \n"
              " \t\tif not res do messagebox \"Network render submission failed\" "
              "title:\"Vellumar [network render]\" \n"
              " \t\tfileproperties.deleteproperty #custom \"RTT_Default_Path\" \n"
              " \t\tfileproperties.deleteproperty #custom \"RTT_Default_FileType\" \n"
              " \t\tfileproperties.deleteproperty #custom \"RTT_RenderTimeType\" \n"
              " \t\trendShowVFB = prev_VFB \n");
}

// Two maps, a frame range, a .tga entry with parts of both maps (only map
// 1's are named) and an entry no object produced (its section holds only
// its target).
TEST_F(JobDescriptionTest, DescriptionOfOneMapIsExact) {
    TempFolder net;
    UnwrapSettings& s = settings();
    s.netpath = net.file("") + "/";
    s.job_name = "scene_7";
    s.bakerange = true;
    s.bakerangefrom = 1;
    s.bakerangeto = 3;
    const std::vector<BakeElementEntry> elements = {entry(L"DiffuseMap", "C:\\out\\Diffuse.tga"),
                                                    entry(L"NormalsMap", "C:\\out\\Normals.png")};
    ProducedFiles() = {{"Box01", "Diffuse.tga", "DiffuseMap", 1},
                       {"Box02", "Diffuse.tga", "DiffuseMap", 0},
                       {"Box03", "Diffuse.tga", "DiffuseMap", 1}};
    const std::string script = ScriptFolder(JobFolder(2, 1));
    netRender().WriteJobDescription(script, elements, 2, 1, 2, "unnamed");
    const std::string folder = s.netpath + "\\scene_7_1\\";
    EXPECT_EQ(read_text(net.file("scene_7_1/job.desc")),
              "===== Vellumar merge script =====\n" + s.netpath + "\n" + folder +
                  "\n=====\nC:\\out\\Diffuse_1_0002.tga\nBox01DiffuseMap.tga\nBox03DiffuseMap.tga\n"
                  "-----\n=====\nC:\\out\\Normals_1_0002.png\n-----\n"
                  "=================================");
    ProducedFiles().clear();
}

TEST(JobDescriptionParse, StructureAndSections) {
    const std::string good = JobDescriptionText(
        "/net", "/net/job/", {{"/out/a.png", {"A1.png", "A2.png"}}, {"/out/b.png", {}}});
    const JobDescription desc = ParseJobDescription(good);
    ASSERT_EQ(desc.status, JobDescStatus::Ok);
    ASSERT_EQ(desc.sections.size(), 2u);
    EXPECT_EQ(desc.sections[0].parts, (std::vector<std::string>{"A1.png", "A2.png"}));
    EXPECT_TRUE(desc.sections[1].parts.empty());

    // One equals sign short in the header, a truncated end, a final line feed.
    EXPECT_EQ(ParseJobDescription("===== Vellumar merge script ====" + good.substr(33)).status,
              JobDescStatus::BadStructure);
    EXPECT_EQ(ParseJobDescription(good.substr(0, good.size() - 20)).status,
              JobDescStatus::BadStructure);
    EXPECT_EQ(ParseJobDescription(good + "\n").status, JobDescStatus::BadStructure);
    EXPECT_EQ(
        ParseJobDescription(std::string(kJobDescHeader) + "\n/net\n/net/job/\n" + kJobDescFooter)
            .status,
        JobDescStatus::NoFiles);
    EXPECT_EQ(ParseJobDescription("").status, JobDescStatus::BadStructure);
}

} // namespace
