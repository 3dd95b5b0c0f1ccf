#include "netrender/job_description.h"
#include "netrender/net_render.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

class MergeJobTest : public HostTest {
  protected:
    // A w x h 16-bit image: colour c inside [x0, x1) x [0, h), transparent
    // elsewhere (an object's islands).
    std::string image(const std::string& name, int x0, int x1, BMM_Color_fl c) {
        const std::string path = job.file(name);
        BitmapInfo info;
        info.SetName(Utf8ToWide(path).c_str());
        info.SetWidth(8);
        info.SetHeight(4);
        info.SetType(BMM_TRUE_64);
        Bitmap* bm = core.Create(&info);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                const BMM_Color_fl p = x >= x0 && x < x1 ? c : BMM_Color_fl{0, 0, 0, 0};
                bm->PutLinearPixels(x, y, 1, &p);
            }
        }
        bm->OpenOutput(&info);
        bm->Write(&info);
        bm->Close(&info);
        bm->DeleteThis();
        return path;
    }
    void describe(const std::vector<JobSection>& sections) {
        write("job.desc", JobDescriptionText("/net", folder(), sections));
    }
    void write(const std::string& name, const std::string& text) {
        write_text(job.file(name), text);
    }
    std::string folder() const { return job.file("") + "/"; }
    // The merge as a bake that wrote its textures into `out` runs it.
    bool merge() { return MergeJob("/net", folder(), MergeTargets{{}, out.file("")}); }
    std::string last_message() { return WideToUtf8(core.messages().back().text); }

    TempFolder job, out;
};

TEST_F(MergeJobTest, OnePartIsCopiedManyAreMergedThenTheFolderIsTidied) {
    image("BoxDiffuseMap.png", 0, 8, {1, 0, 0, 1});
    image("AMapN.png", 0, 2, {1, 0, 0, 1});
    image("BMapN.png", 2, 5, {0, 1, 0, 1});
    image("CMapN.png", 4, 8, {0, 0, 1, 1});
    describe({{out.file("diffuse.png"), {"BoxDiffuseMap.png"}},
              {out.file("normals.png"), {"AMapN.png", "BMapN.png", "CMapN.png"}},
              {out.file("nothing.png"), {}}});
    const std::string copied = read_text(job.file("BoxDiffuseMap.png"));
    ASSERT_TRUE(merge());
    EXPECT_EQ(read_text(out.file("diffuse.png")), copied); // not re-encoded
    EXPECT_EQ(pixel(out.file("normals.png"), 0, 0).r, 65535);
    EXPECT_EQ(pixel(out.file("normals.png"), 3, 1).g, 65535);
    const BMM_Color_64 overlap = pixel(out.file("normals.png"), 4, 2); // green + blue
    EXPECT_EQ(overlap.g, 65535);
    EXPECT_EQ(overlap.b, 65535);
    EXPECT_EQ(pixel(out.file("normals.png"), 7, 3).b, 65535);
    EXPECT_FALSE(boost::filesystem::exists(out.file("nothing.png")));
    EXPECT_FALSE(boost::filesystem::exists(job.file(""))); // parts, job.desc and folder gone
}

TEST_F(MergeJobTest, PartsStayWhenTemporaryFilesAreKept) {
    settings().delete_temp_files = false;
    image("P.png", 0, 8, {1, 1, 1, 1});
    describe({{out.file("t.png"), {"P.png"}}});
    ASSERT_TRUE(merge());
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
    EXPECT_TRUE(boost::filesystem::exists(job.file("job.desc")));
    settings().delete_temp_files = true;
}

TEST_F(MergeJobTest, BrokenDescriptionsAreRefusedWithTheirMessage) {
    image("P.png", 0, 8, {1, 1, 1, 1});
    const std::string good = JobDescriptionText("/net", folder(), {{out.file("t.png"), {"P.png"}}});
    write("job.desc", good.substr(0, good.size() - 3));
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    write("job.desc", "===== Vellumar merge script ====\n" + good.substr(34));
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    write("job.desc", std::string(kJobDescHeader) + "\n/net\n" + kJobDescFooter);
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(), "Vellumar Netrender: job.desc file contains no files to be merged. "
                              "Merge operation failed");
    EXPECT_FALSE(MergeJob("/net", job.file("gone/")));
    EXPECT_EQ(last_message(), "Vellumar Netrender: Output directory " + job.file("gone/") +
                                  " does not exist. Merge operation failed.");
    EXPECT_FALSE(boost::filesystem::exists(out.file("t.png")));
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
}

// A bad part anywhere fails the whole merge before any texture is touched:
// every target keeps its last good version and the job folder stays as it
// was, so the job can be merged again once its parts are there.
TEST_F(MergeJobTest, BadPartsFailTheMergeAndTouchNothing) {
    image("Good.png", 0, 8, {1, 1, 1, 1});
    image("Other.png", 0, 2, {0, 1, 0, 1});
    write("NotAnImage.png", "this is text");
    write_text(out.file("first.png"), "last good first");
    write_text(out.file("second.png"), "last good texture");
    const struct {
        std::vector<std::string> parts;
        std::string message;
    } cases[] = {
        {{"NotAnImage.png"},
         "Vellumar Netrender: Failed to open image " + folder() + "NotAnImage.png" +
             ". Merge operation failed."},
        {{"NotAnImage.png", "Good.png"},
         "Vellumar Netrender: Failed to open image " + folder() + "NotAnImage.png" +
             ". Merge operation failed."},
        {{"Good.png", "Missing.png", "Other.png"},
         "Vellumar Netrender: Failed to open image " + folder() + "Missing.png" +
             ". Merge operation failed."},
        {{"Good.png", "NotAnImage.png", "Other.png"},
         "Vellumar Netrender: Failed to open image " + folder() + "NotAnImage.png" +
             ". Merge operation failed."},
        {{"Missing.png"},
         "Vellumar Netrender: File '" + folder() +
             "Missing.png' could not be copied to target location '" + out.file("second.png") +
             "'. Error code: 2"},
    };
    for (const auto& c : cases) {
        describe({{out.file("first.png"), {"Good.png", "Other.png"}},
                  {out.file("second.png"), c.parts}});
        const std::string desc = read_text(job.file("job.desc"));
        EXPECT_FALSE(merge());
        EXPECT_EQ(last_message(), c.message);
        EXPECT_EQ(read_text(out.file("first.png")), "last good first");
        EXPECT_EQ(read_text(out.file("second.png")), "last good texture");
        EXPECT_EQ(read_text(job.file("job.desc")), desc);
        for (const char* part : {"Good.png", "Other.png", "NotAnImage.png"}) {
            EXPECT_TRUE(boost::filesystem::exists(job.file(part))) << part;
        }
        std::size_t files = 0;
        for (const auto& f : boost::filesystem::directory_iterator(out.file(""))) {
            files += f.path().filename().string().front() == '.' ? 100 : 1;
        }
        EXPECT_EQ(files, 2u) << "no half-made texture stays beside its target";
    }
}

// A section that never closes is no description to merge; the job folder
// stays for a merge once it is mended.
TEST_F(MergeJobTest, UnclosedSectionIsRefusedAndKeepsTheJob) {
    image("P.png", 0, 8, {1, 1, 1, 1});
    write("job.desc", std::string(kJobDescHeader) + "\n/net\n" + folder() + "\n=====\n" +
                          out.file("t.png") + "\nP.png\n" + kJobDescFooter);
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    EXPECT_TRUE(boost::filesystem::exists(job.file("job.desc")));
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
    EXPECT_FALSE(boost::filesystem::exists(out.file("t.png")));
}

// What leaves nothing to merge, or cannot be merged whole, is refused before
// any target changes: a job.desc that is a pipe (it would hold the merge
// forever), sections that list no part, a texture the bake described but
// the description leaves out, a folder where a texture should go.
TEST_F(MergeJobTest, DescriptionsThatCannotBeMergedWholeTouchNothing) {
    image("P.png", 0, 8, {1, 1, 1, 1});
    write_text(out.file("first.png"), "last good first");
    ASSERT_EQ(::mkfifo(job.file("job.desc").c_str(), 0600), 0);
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    boost::filesystem::remove(job.file("job.desc"));
    describe({{out.file("first.png"), {}}, {out.file("second.png"), {}}});
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(), "Vellumar Netrender: job.desc file contains no files to be merged. "
                              "Merge operation failed");
    describe({{out.file("first.png"), {"P.png"}}});
    EXPECT_FALSE(MergeJob("/net", folder(),
                          MergeTargets{{out.file("first.png"), out.file("second.png")}, ""}));
    EXPECT_EQ(last_message(), "Vellumar Netrender: job.desc leaves out the texture " +
                                  out.file("second.png") +
                                  " that the bake described. Merge operation failed.");
    boost::filesystem::create_directory(out.file("second.png"));
    describe({{out.file("first.png"), {"P.png"}}, {out.file("second.png"), {"P.png"}}});
    EXPECT_FALSE(merge());
    EXPECT_EQ(last_message(), "Vellumar Netrender: the merged image cannot replace " +
                                  out.file("second.png") +
                                  ", which is a folder. Merge operation failed.");
    EXPECT_EQ(read_text(out.file("first.png")), "last good first");
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
}

// Targets land in folders that do not exist yet, as a local bake's do.
TEST_F(MergeJobTest, MissingOutputFoldersAreMade) {
    image("P.png", 0, 8, {1, 1, 1, 1});
    image("A.png", 0, 4, {1, 0, 0, 1});
    image("B.png", 4, 8, {0, 0, 1, 1});
    describe({{out.file("maps/new/one.png"), {"P.png"}},
              {out.file("maps/two.png"), {"A.png", "B.png"}}});
    ASSERT_TRUE(merge()) << last_message();
    EXPECT_TRUE(boost::filesystem::exists(out.file("maps/new/one.png")));
    EXPECT_EQ(pixel(out.file("maps/two.png"), 7, 0).b, 65535);
}

// On another file system than the job folder (a tmpfs here), targets are
// made beside themselves and renamed there.
TEST_F(MergeJobTest, TargetsOnAnotherFileSystemAreWritten) {
    if (!boost::filesystem::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no /dev/shm";
    }
    const boost::filesystem::path shm =
        boost::filesystem::path("/dev/shm") / boost::filesystem::unique_path("vellumar-%%%%-%%%%");
    boost::filesystem::create_directories(shm);
    image("P.png", 0, 8, {1, 1, 1, 1});
    const std::string target = (shm / "maps" / "t.png").string();
    describe({{target, {"P.png"}}});
    const std::string copied = read_text(job.file("P.png"));
    const bool merged = MergeJob("/net", folder(), MergeTargets{{}, shm.string()});
    EXPECT_TRUE(merged) << last_message();
    EXPECT_EQ(read_text(target), copied);
    boost::filesystem::remove_all(shm);
}

// A description from a shared folder names nothing but files of its job
// folder as parts, and only targets where the bake said; the refused merge
// reads, writes and deletes nothing.
TEST_F(MergeJobTest, HostileDescriptionsReachNothingOutsideTheirFolders) {
    TempFolder outside;
    write_text(outside.file("secret.png"), "not yours");
    image("P.png", 0, 8, {1, 1, 1, 1});
    boost::filesystem::create_symlink(outside.file("secret.png"), job.file("Link.png"));
    const std::string up =
        "../" + boost::filesystem::path(outside.file("")).filename().string() + "/secret.png";
    const struct {
        JobSection section;
        std::string message;
    } cases[] = {
        {{out.file("t.png"), {up}},
         "Vellumar Netrender: job.desc names '" + up +
             "', which is no file of the job folder. Merge operation failed."},
        {{out.file("t.png"), {"P.png", outside.file("secret.png")}},
         "Vellumar Netrender: job.desc names '" + outside.file("secret.png") +
             "', which is no file of the job folder. Merge operation failed."},
        {{out.file("t.png"), {"P.png", ".."}},
         "Vellumar Netrender: job.desc names '..', which is no file of the job folder. Merge "
         "operation failed."},
        {{out.file("t.png"), {"Link.png"}},
         "Vellumar Netrender: Failed to open image " + folder() + "Link.png" +
             ". Merge operation failed."},
        {{out.file("t.png"), {"P.png", "Link.png"}},
         "Vellumar Netrender: Failed to open image " + folder() + "Link.png" +
             ". Merge operation failed."},
        {{outside.file("secret.png"), {"P.png"}},
         "Vellumar Netrender: the target '" + outside.file("secret.png") +
             "' of job.desc lies outside the output folder " + out.file("") +
             ". Merge operation failed."},
        {{out.file("../" + boost::filesystem::path(outside.file("")).filename().string() +
                   "/secret.png"),
          {"P.png"}},
         ""},
        // A NUL ends the path where the file system reads it: the output
        // folder itself, which a clean-up would then remove.
        {{out.file("") + std::string("/\0de/t.png", 10), {"P.png", "P.png"}}, ""},
    };
    for (const auto& c : cases) {
        describe({c.section});
        EXPECT_FALSE(merge());
        if (!c.message.empty()) {
            EXPECT_EQ(last_message(), c.message);
        }
        EXPECT_TRUE(boost::filesystem::is_directory(out.file("")));
        EXPECT_EQ(read_text(outside.file("secret.png")), "not yours");
        EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
        EXPECT_TRUE(boost::filesystem::exists(job.file("job.desc")));
        EXPECT_FALSE(boost::filesystem::exists(out.file("t.png")));
    }
    // The targets a bake described itself are the only ones its own merge
    // writes.
    describe({{out.file("t.png"), {"P.png"}}});
    EXPECT_FALSE(MergeJob("/net", folder(), MergeTargets{{out.file("other.png")}, ""}));
    EXPECT_TRUE(MergeJob("/net", folder(), MergeTargets{{out.file("t.png")}, ""}));
    EXPECT_TRUE(boost::filesystem::exists(out.file("t.png")));
    EXPECT_TRUE(boost::filesystem::exists(outside.file("secret.png")));
}

} // namespace
