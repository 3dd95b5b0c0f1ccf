// The embedded local manager as its clients meet it: a real server in a
// child process, spoken to over its socket.
#include "standalone/network/local_manager.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int connect_to(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends the bytes and reads the answer until the manager closes, within
// `wait` seconds; "" when nothing came.
std::string ask(const std::string& path, const std::string& bytes, int wait = 3) {
    const int fd = connect_to(path);
    if (fd < 0) {
        return "";
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string reply;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, wait * 1000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
}

class LocalManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime.file("").c_str(), 1);
        std::string error;
        socket = LocalManagerSocket(kPort, error);
        ASSERT_FALSE(socket.empty()) << error;
        pid = ::fork();
        if (pid == 0) {
            ::_exit(RunLocalManager({kPort, 2, 0, "/bin/true"}));
        }
        for (int i = 0; i < 100 && ask(socket, "PING\n").empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::string submit(const std::string& folder) {
        return ask(socket, "SUBMIT\tjob\t" + EscapeField(folder) + "\n");
    }

    static constexpr int kPort = 3277;
    TempFolder runtime, jobs;
    std::string socket;
    pid_t pid = -1;
};

TEST_F(LocalManagerTest, RunsRenderJobsOfSnapshotsAndNothingElse) {
    ASSERT_EQ(ask(socket, "PING\n"), "VELLUMAR-MANAGER 2\n");
    const boost::filesystem::path folder = jobs.file("scene_1");
    boost::filesystem::create_directories(folder);
    // No snapshot yet: no job.
    EXPECT_EQ(submit(folder.string()), "ERR\tno snapshot.vlscene in " + folder.string() + "\n");
    write_text((folder / "snapshot.vlscene").string(), "scene");
    EXPECT_EQ(submit("scene_1"), "ERR\tthe job folder must be an absolute path\n");
    EXPECT_EQ(submit(folder.string() + "/../scene_1"),
              "ERR\tthe job folder must not climb with ..\n");
    // A command line, as the manager once took, is no request.
    EXPECT_EQ(ask(socket, "SUBMIT\tjob\t" + folder.string() + "\t/tmp/log\ttouch /tmp/owned\n"),
              "ERR\tunknown request\n");
    EXPECT_EQ(submit(folder.string()), "OK\t1\n");
    std::string list;
    for (int i = 0; i < 100 && list.find("1|0|job") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        list = ask(socket, "LIST\n");
    }
    EXPECT_EQ(list, "1|0|job\nEND\n"); // the render server ran and succeeded
    EXPECT_TRUE(boost::filesystem::exists(folder / "render.log"));
}

// Idle, slow and flooding clients hold up nobody.
TEST_F(LocalManagerTest, SlowClientsDoNotStallOthers) {
    std::vector<int> idle;
    for (int i = 0; i < 10; ++i) {
        idle.push_back(connect_to(socket));
        ASSERT_GE(idle.back(), 0);
    }
    const int trickle = connect_to(socket);
    ASSERT_EQ(::send(trickle, "PI", 2, MSG_NOSIGNAL), 2);
    // Served while the others hold their connections: a manager serving one
    // client at a time would not answer before they time out (5 s).
    const auto start = Clock::now();
    EXPECT_EQ(ask(socket, "PING\n"), "VELLUMAR-MANAGER 2\n");
    EXPECT_EQ(ask(socket, "LIST\n"), "END\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    // A line far too long is refused without being read to its end.
    EXPECT_EQ(ask(socket, std::string(2 << 20, 'x') + "\n"), "ERR\trequest too long\n");
    for (int fd : idle) {
        ::close(fd);
    }
    ::close(trickle);
}

// Another user gets no answer, even where the folder's and the socket's
// modes would let them in.
TEST_F(LocalManagerTest, AnotherUserCannotSubmit) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a second user needs root to become one";
    }
    const boost::filesystem::path folder = jobs.file("scene_2");
    boost::filesystem::create_directories(folder);
    write_text((folder / "snapshot.vlscene").string(), "scene");
    ::chmod(runtime.file("").c_str(), 0755);
    ::chmod(boost::filesystem::path(socket).parent_path().c_str(), 0755);
    ::chmod(socket.c_str(), 0777);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        const std::string reply = ask(socket, "SUBMIT\tjob\t" + folder.string() + "\n", 2);
        ::_exit(reply.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the manager answered";
    EXPECT_EQ(ask(socket, "LIST\n"), "END\n") << "no job went in";
    // Clients refuse a socket folder that others may enter.
    std::string error;
    EXPECT_TRUE(LocalManagerSocket(kPort, error).empty());
    EXPECT_NE(error.find("is not private to this user"), std::string::npos) << error;
}

} // namespace
