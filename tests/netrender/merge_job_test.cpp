#include "netrender/job_description.h"
#include "netrender/net_render.h"
#include "support/temp_folder.h"
#include "support/test_host.h"

#include <fstream>
#include <sstream>

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
    ASSERT_TRUE(MergeJob("/net", folder()));
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
    ASSERT_TRUE(MergeJob("/net", folder()));
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
    EXPECT_TRUE(boost::filesystem::exists(job.file("job.desc")));
    settings().delete_temp_files = true;
}

TEST_F(MergeJobTest, BrokenDescriptionsAreRefusedWithTheirMessage) {
    image("P.png", 0, 8, {1, 1, 1, 1});
    const std::string good = JobDescriptionText("/net", folder(), {{out.file("t.png"), {"P.png"}}});
    write("job.desc", good.substr(0, good.size() - 3));
    EXPECT_FALSE(MergeJob("/net", folder()));
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    write("job.desc", "===== Vellumar merge script ====\n" + good.substr(34));
    EXPECT_FALSE(MergeJob("/net", folder()));
    EXPECT_EQ(last_message(),
              "Vellumar Netrender: job.desc file structure is invalid. Merge operation failed.");
    write("job.desc", std::string(kJobDescHeader) + "\n/net\n" + kJobDescFooter);
    EXPECT_FALSE(MergeJob("/net", folder()));
    EXPECT_EQ(last_message(), "Vellumar Netrender: job.desc file contains no files to be merged. "
                              "Merge operation failed");
    EXPECT_FALSE(MergeJob("/net", job.file("gone/")));
    EXPECT_EQ(last_message(), "Vellumar Netrender: Output directory " + job.file("gone/") +
                                  " does not exist. Merge operation failed.");
    EXPECT_FALSE(boost::filesystem::exists(out.file("t.png")));
    EXPECT_TRUE(boost::filesystem::exists(job.file("P.png")));
}

// A bad part stops the merge there: earlier sections' textures are written,
// the failed section's target keeps its last good version, nothing is tidied.
TEST_F(MergeJobTest, BadPartsStopTheMergeAndKeepWhatCameBefore) {
    image("Good.png", 0, 8, {1, 1, 1, 1});
    write("NotAnImage.png", "this is text");
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
        {{"Missing.png"},
         "Vellumar Netrender: File '" + folder() +
             "Missing.png' could not be copied to target location '" + out.file("second.png") +
             "'. Error code: 2"},
    };
    for (const auto& c : cases) {
        describe({{out.file("first.png"), {"Good.png"}}, {out.file("second.png"), c.parts}});
        EXPECT_FALSE(MergeJob("/net", folder()));
        EXPECT_EQ(last_message(), c.message);
        EXPECT_EQ(read_text(out.file("first.png")), read_text(job.file("Good.png")));
        EXPECT_EQ(read_text(out.file("second.png")), "last good texture");
        EXPECT_TRUE(boost::filesystem::exists(job.file("job.desc")));
        boost::filesystem::remove(out.file("first.png"));
    }
}

} // namespace
