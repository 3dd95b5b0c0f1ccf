#include "standalone/files/output_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_text(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::uint8_t> bytes_of(const std::string& s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

// A fresh, empty folder per test.
class OutputFileTest : public ::testing::Test {
  protected:
    OutputFileTest() {
        dir = fs::path(::testing::TempDir()) /
              ("output_file_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~OutputFileTest() override { fs::remove_all(dir); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    fs::path dir;
};

} // namespace

TEST_F(OutputFileTest, TheTargetKeepsItsOldBytesUntilCommitAndTheTemporaryIsGoneAfter) {
    const fs::path target = dir / "out.glb";
    write_text(target, "old");
    OutputFile a(target.string());
    OutputFile b(target.string());
    a.write(bytes_of("new"));
    b.write(bytes_of("other"));
    ASSERT_EQ(a.finish(), "");
    ASSERT_EQ(b.finish(), "");
    EXPECT_NE(a.temporary(), b.temporary()) << "two writers never share a temporary file";
    EXPECT_EQ(fs::path(a.temporary()).parent_path(), dir) << "beside the target, for rename";
    EXPECT_EQ(read_text(target), "old");
    EXPECT_EQ(a.commit(), "");
    EXPECT_EQ(read_text(target), "new");
    EXPECT_EQ(entries(), 2u) << "b's temporary is still there until b goes";
}

TEST_F(OutputFileTest, AnAbandonedOrFailedWriteLeavesTheOldFileAndNoTemporary) {
    const fs::path target = dir / "report.json";
    write_text(target, "old");
    {
        OutputFile abandoned(target.string());
        abandoned.write(bytes_of("half"));
    }
    EXPECT_EQ(read_text(target), "old");
    EXPECT_EQ(entries(), 1u);

    // A file size limit makes the write fail the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = write_output_file(target.string(), bytes_of(std::string(100, 'x')));
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_NE(error.find("Cannot write '" + target.string() + "'"), std::string::npos) << error;
    EXPECT_EQ(read_text(target), "old");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, ALinkStaysALinkAndTheFileItPointsToIsReplaced) {
    const fs::path real = dir / "real.obj";
    const fs::path link = dir / "link.obj";
    write_text(real, "old");
    fs::create_symlink(real, link);
    ASSERT_EQ(write_output_file(link.string(), bytes_of("new")), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_text(real), "new");
}

TEST_F(OutputFileTest, DevicesAreWrittenThroughAndTheirErrorsReported) {
    EXPECT_EQ(write_output_file("/dev/null", bytes_of("x")), "");
    const std::string full = write_output_file("/dev/full", bytes_of("x"));
    EXPECT_NE(full.find("Cannot write '/dev/full'"), std::string::npos) << full;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    const std::string folder = write_output_file(dir.string(), bytes_of("x"));
    EXPECT_NE(folder.find("Cannot write"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(OutputFileTest, ANewFileGetsTheUsualPermissionsAndAReplacedOneKeepsItsOwn) {
    const fs::path fresh = dir / "fresh.png";
    ASSERT_EQ(write_output_file(fresh.string(), bytes_of("x")), "");
    const fs::perms p = fs::status(fresh).permissions();
    EXPECT_NE(p & fs::perms::others_read, fs::perms::none) << "not the 0600 of a temporary file";
    const fs::path kept = dir / "kept.png";
    write_text(kept, "old");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(write_output_file(kept.string(), bytes_of("x")), "");
    EXPECT_EQ(fs::status(kept).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
