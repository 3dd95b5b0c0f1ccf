#include "bake/produced_files.h"
#include "bake/script_string.h"
#include "host/bake_element.h"
#include "host/script.h"
#include "netrender/job_description.h"
#include "netrender/job_folder.h"
#include "netrender/net_render.h"
#include "standalone/render/bake_elements.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <algorithm>
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
              "\"\\\\\\\\server\\\\\\\\scene.max_1234\\\\\" \n"
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

// Whatever a folder or file type holds, the script reads back exactly that
// text and runs no statement of it.
TEST_F(JobDescriptionTest, ScriptTextsReadBackExactlyWhateverTheyHold) {
    const std::string texts[] = {
        "\\\\server\\\\scene.max_1234\\",
        "/farm/q\"uote\\",
        "/farm\" \n fileproperties.addproperty #custom \"RTT_Default_Path\" \"/REDIRECTED",
        "tab\there\r\nand \\\" -- not a comment",
        "",
    };
    for (const std::string& text : texts) {
        FPValue value;
        ASSERT_TRUE(
            ExecuteMAXScriptScript(Utf8ToWide("t = " + ScriptString(text)).c_str(), 1, &value))
            << text;
        EXPECT_EQ(WideToUtf8(value.s), text);
    }
    // The whole submission script: its folder property is the folder.
    const std::string hostile = texts[2] + "\\";
    const std::string script = SubmitScript(ScriptFolder(hostile), ".p\"ng");
    const std::string key = "\"RTT_Default_Path\" ";
    const std::size_t from = script.find(key) + key.size();
    const std::string literal = script.substr(from, script.find(" \n", from) - from);
    FPValue folder;
    ASSERT_TRUE(ExecuteMAXScriptScript(Utf8ToWide("x = " + literal).c_str(), 1, &folder));
    EXPECT_EQ(WideToUtf8(folder.s), hostile);
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 11) << script;
}

// Part names are what the render server writes and what the merge reads:
// one file name inside the job folder, whatever the node is called.
TEST(JobDescriptionParts, NamesStayInsideTheFolderAndApart) {
    EXPECT_EQ(PartFileName("Box01", "DiffuseMap", ".png"), "Box01DiffuseMap.png");
    EXPECT_EQ(PartFileName("Box 01 (copy)", "CompleteMap", " _MR_.tga"),
              "Box 01 (copy)CompleteMap _MR_.tga");
    const std::string hostile[] = {"../../../../../OUTSIDE/ESCAPED2",
                                   "q\"uote\\ back",
                                   "line\n=====\n/tmp/x.png\n-----",
                                   "..",
                                   ".hidden",
                                   std::string("nul\0byte", 8),
                                   "a%2Fb",
                                   "a/b",
                                   "a_b"};
    std::vector<std::string> names;
    for (const std::string& node : hostile) {
        const std::string name = PartFileName(node, "DiffuseMap", ".png");
        EXPECT_TRUE(IsPlainPartName(name)) << name;
        EXPECT_EQ(name.find_first_of(std::string("\"\n\r\0=", 5)), std::string::npos) << name;
        EXPECT_NE(name[0], '.') << name;
        EXPECT_TRUE(name.ends_with(".png")) << name;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "two nodes, one file";

    // Long names fit a file system and stay apart by their whole text.
    const std::string a = PartFileName(std::string(400, 'x') + "a", "DiffuseMap", ".png");
    const std::string b = PartFileName(std::string(400, 'x') + "b", "DiffuseMap", ".png");
    const std::string c = PartFileName(std::string(300, '/'), "DiffuseMap", ".png");
    EXPECT_LE(a.size(), 220u);
    EXPECT_LE(c.size(), 220u);
    EXPECT_NE(a, b);
    EXPECT_TRUE(a.ends_with(".png") && c.ends_with(".png") && IsPlainPartName(c));

    for (const char* bad : {"", ".", "..", "../x.png", "/etc/passwd", "a/b.png", "a\\b.png"}) {
        EXPECT_FALSE(IsPlainPartName(bad)) << bad;
    }
}

// A node name holding line breaks adds no line to the description.
TEST_F(JobDescriptionTest, NoNameAddsALine) {
    TempFolder net;
    UnwrapSettings& s = settings();
    s.netpath = net.file("");
    s.job_name = "scene_8";
    const std::vector<BakeElementEntry> elements = {entry(L"DiffuseMap", net.file("D.png"))};
    ProducedFiles() = {{"A\n-----\n=====\n/tmp/evil.png\nA", "D.png", "DiffuseMap", 0},
                       {"B", "D.png", "DiffuseMap", 0}};
    netRender().WriteJobDescription(ScriptFolder(JobFolder(1, 0)), elements, 1, 0, 0, "unnamed");
    const JobDescription desc = ParseJobDescription(read_text(net.file("scene_8/job.desc")));
    ASSERT_EQ(desc.status, JobDescStatus::Ok);
    ASSERT_EQ(desc.sections.size(), 1u);
    EXPECT_EQ(desc.sections[0].target, net.file("D.png"));
    EXPECT_EQ(desc.sections[0].parts,
              (std::vector<std::string>{
                  "A%0A-----%0A%3D%3D%3D%3D%3D%0A%2Ftmp%2Fevil.png%0AADiffuseMap.png",
                  "BDiffuseMap.png"}));
    // A target that would break the description is not written at all.
    s.job_name = "scene_9";
    const std::vector<BakeElementEntry> broken = {entry(L"DiffuseMap", net.file("D\n.png"))};
    netRender().WriteJobDescription(ScriptFolder(JobFolder(1, 0)), broken, 1, 0, 0, "unnamed");
    EXPECT_FALSE(boost::filesystem::exists(net.file("scene_9/job.desc")));
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

    // A section that never closes, or opens inside another, has lost its
    // end: nothing of the description is merged.
    const std::string open = std::string(kJobDescHeader) +
                             "\n/net\n/net/job/\n=====\n/out/a.png\n" +
                             "A1.png\n=====\n/out/b.png\nB1.png\n-----\n" + kJobDescFooter;
    EXPECT_EQ(ParseJobDescription(open).status, JobDescStatus::BadStructure);
    const std::string unclosed = std::string(kJobDescHeader) +
                                 "\n/net\n/net/job/\n=====\n/out/a.png\nA1.png\n" + kJobDescFooter;
    EXPECT_EQ(ParseJobDescription(unclosed).status, JobDescStatus::BadStructure);
}

} // namespace
