// The client side of the embedded local manager.
#include "standalone/network/child_process.h"
#include "standalone/network/local_manager.h"

#include "host/text.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void fail(int code, const std::string& text) {
    throw MaxNet(code, Utf8ToWide(text));
}

std::string socket_folder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/vellumar";
    }
    return "/tmp/vellumar-" + std::to_string(::geteuid());
}

} // namespace

std::string LocalManagerSocket(int port, std::string& error) {
    const std::string folder = socket_folder();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "the folder " + folder + " cannot be made: " + std::strerror(errno);
        return "";
    }
    // Whoever can enter the folder can talk to the manager, and whoever
    // owns it can put a manager of their own there.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = "the folder " + folder + " is not private to this user (owner " +
                std::to_string(st.st_uid) + ", mode " + mode +
                "); remove it, or set XDG_RUNTIME_DIR to a folder of your own";
        return "";
    }
    return folder + "/manager-" + std::to_string(port) + ".sock";
}

std::string LocalQueue::request(const std::string& line) {
    if (!name_.empty() && !IsLocalHost(name_)) {
        fail(MAXNET_ERR_CONNECT, "the local manager serves this machine only, not " + name_);
    }
    std::string error;
    const std::string path = LocalManagerSocket(port_, error);
    if (path.empty()) {
        fail(MAXNET_ERR_CONNECT, error);
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        fail(MAXNET_ERR_CONNECT, "the socket path " + path + " is too long");
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        fail(MAXNET_ERR_CONNECT, "no manager answers at " + name_ + ":" + std::to_string(port_));
    }
    const std::string out = line + "\n";
    bool sent =
        ::send(fd, out.data(), out.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(out.size());
    std::string reply;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int ready = sent ? ::poll(&p, 1, 5000) : 0;
        if (ready < 0 && errno == EINTR) {
            continue; // a signal (Ctrl+C) is for the waiting loop to see
        }
        if (ready <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!sent || reply.empty()) {
        fail(MAXNET_ERR_CONNECT,
             "the manager at " + name_ + ":" + std::to_string(port_) + " did not answer");
    }
    return reply;
}

void LocalQueue::Ping() {
    if (request("PING").rfind("VELLUMAR-MANAGER", 0) != 0) {
        fail(MAXNET_ERR_PROTOCOL,
             "what answers at " + name_ + ":" + std::to_string(port_) + " is no Vellumar manager");
    }
}

HJOB LocalQueue::Submit(const JobSubmission& job) {
    // The manager runs its own render server on the folder's snapshot; the
    // command and log of the submission are the farm's business, not ours.
    const std::string reply =
        request("SUBMIT\t" + EscapeField(SafeJobName(job.name)) + "\t" + EscapeField(job.folder));
    if (reply.rfind("OK\t", 0) != 0) {
        fail(MAXNET_ERR_SUBMIT, "the manager refused the job: " + reply);
    }
    try {
        return static_cast<HJOB>(std::stoul(reply.substr(3)));
    } catch (const std::exception&) {
        fail(MAXNET_ERR_PROTOCOL, "the manager's answer is unreadable: " + reply);
    }
}

std::vector<JobList> LocalQueue::List() {
    std::vector<JobList> jobs;
    const std::string reply = request("LIST");
    // A list cut short is no list: a finished job missing from it would
    // look like one that vanished.
    if (reply.size() < 4 || reply.compare(reply.size() - 4, 4, "END\n") != 0) {
        fail(MAXNET_ERR_PROTOCOL, "the manager's job list is incomplete");
    }
    std::istringstream lines(reply);
    std::string line;
    while (std::getline(lines, line) && line != "END") {
        const std::size_t a = line.find('|');
        const std::size_t b = a == std::string::npos ? a : line.find('|', a + 1);
        if (b == std::string::npos) {
            fail(MAXNET_ERR_PROTOCOL, "the manager's job list is unreadable");
        }
        try {
            jobs.push_back({static_cast<HJOB>(std::stoul(line.substr(0, a))),
                            Utf8ToWide(UnescapeField(line.substr(b + 1))),
                            static_cast<std::uint32_t>(std::stoul(line.substr(a + 1, b - a - 1)))});
        } catch (const std::exception&) {
            fail(MAXNET_ERR_PROTOCOL, "the manager's job list is unreadable");
        }
    }
    return jobs;
}

void LocalQueue::Cancel(HJOB job) {
    const std::string reply = request("CANCEL\t" + std::to_string(job));
    if (reply.rfind("OK", 0) != 0) {
        fail(MAXNET_ERR_PROTOCOL, reply);
    }
}

bool LocalQueue::answers() {
    try {
        Ping();
        return true;
    } catch (const MaxNet&) {
        return false;
    }
}

std::optional<std::string> LocalQueue::Find(int port) {
    LocalQueue here("localhost", port);
    return here.answers() ? std::optional<std::string>("localhost") : std::nullopt;
}

bool LocalQueue::EnsureRunning() {
    if (answers()) {
        return true;
    }
    if (!IsLocalHost(name_)) {
        return false;
    }
    const FarmConfig& farm = farmConfig();
    const std::string exe = farm.executable.empty() ? SelfExecutable() : farm.executable;
    const std::string port = std::to_string(port_);
    std::vector<const char*> argv = {exe.c_str(),  "manager",     "--port",
                                     port.c_str(), "--idle-exit", "600"};
    if (!farm.executable.empty()) {
        argv.push_back("--render-server");
        argv.push_back(farm.executable.c_str());
    }
    argv.push_back(nullptr);
    // Detached twice over, so that the manager outlives this process and
    // never waits as its zombie.
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(argv[0], const_cast<char* const*>(argv.data()));
        }
        ::_exit(0);
    }
    if (child > 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (answers()) {
            return true;
        }
    }
    return false;
}
