// What the studio's server lets through: the token, Host and Origin of the
// loopback address, and file paths that stay inside the chosen folder.
#include "studio/file_browser.h"
#include "studio/request_guard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(RequestGuard, TokenHostAndOrigin) {
    const std::string token = NewToken();
    EXPECT_EQ(token.size(), 64u);
    EXPECT_NE(token, NewToken());
    const std::string ok = "/scene.glb?mode=baked&t=" + token;
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "", ok, token, 8080), Refusal::None);
    EXPECT_EQ(CheckRequest("localhost:8080", "http://localhost:8080", ok, token, 8080),
              Refusal::None);
    // DNS rebinding: a name that points here is still not this server's.
    EXPECT_EQ(CheckRequest("evil.example:8080", "", ok, token, 8080), Refusal::Host);
    EXPECT_EQ(CheckRequest("127.0.0.1:9090", "", ok, token, 8080), Refusal::Host);
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "http://evil.example", ok, token, 8080),
              Refusal::Origin);
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "null", ok, token, 8080), Refusal::Origin);
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "", "/scene.glb", token, 8080), Refusal::Token);
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "", "/?t=" + token.substr(1), token, 8080),
              Refusal::Token);
    EXPECT_EQ(CheckRequest("127.0.0.1:8080", "", "/?t=", "", 8080), Refusal::Token);

    EXPECT_EQ(TargetPath("/files%20x?dir=a"), "/files x");
    const auto query = TargetQuery("/files?dir=a%2Fb+c&t=1&flag");
    EXPECT_EQ(query.at("dir"), "a/b c");
    EXPECT_EQ(query.at("flag"), "");
    EXPECT_EQ(UrlDecode("%4"), "%4");
}

class FileBrowserTest : public ::testing::Test {
  protected:
    FileBrowserTest() {
        // A folder per test: the tests of the suite may run at once.
        base = fs::path(::testing::TempDir()) /
               ("studio_root_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(base);
        fs::create_directories(base / "root" / "maps");
        fs::create_directories(base / "outside");
        std::ofstream(base / "root" / "a.png") << "x";
        std::ofstream(base / "outside" / "secret.txt") << "x";
        fs::create_directory_symlink(base / "outside", base / "root" / "away");
        fs::create_directory_symlink(base / "root" / "maps", base / "root" / "here");
        root = base / "root";
    }
    fs::path base, root;
};

TEST_F(FileBrowserTest, PathsStayInsideTheRoot) {
    EXPECT_EQ(ConfinedPath(root, ""), fs::canonical(root));
    EXPECT_EQ(ConfinedPath(root, "maps"), fs::canonical(root / "maps"));
    EXPECT_EQ(ConfinedPath(root, "maps/new.vlscene"), fs::canonical(root / "maps") / "new.vlscene");
    EXPECT_EQ(ConfinedPath(root, "here"), fs::canonical(root / "maps")); // a link that stays
    for (const char* escape : {"..", "../outside", "maps/../../outside", "/etc", "away",
                               "away/secret.txt", "away/new.txt", "missing/x.png"}) {
        EXPECT_FALSE(ConfinedPath(root, escape)) << escape;
    }
    EXPECT_FALSE(ConfinedPath(root, std::string("a\0b", 3)));
}

TEST_F(FileBrowserTest, ListingsShowWhatStaysInside) {
    const auto listing = ListFolderJson(root, "");
    ASSERT_TRUE(listing);
    EXPECT_EQ(*listing, "{\"dir\":\"\",\"entries\":[{\"name\":\"here\",\"dir\":true,\"size\":0},"
                        "{\"name\":\"maps\",\"dir\":true,\"size\":0},"
                        "{\"name\":\"a.png\",\"dir\":false,\"size\":1}]}");
    EXPECT_EQ(*ListFolderJson(root, "here"), "{\"dir\":\"maps\",\"entries\":[]}");
    EXPECT_FALSE(ListFolderJson(root, "away"));
    EXPECT_FALSE(ListFolderJson(root, "a.png"));
}

} // namespace
