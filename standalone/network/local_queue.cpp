// The client side of the embedded local manager.
#include "standalone/network/child_process.h"
#include "standalone/network/local_manager.h"

#include "host/text.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void fail(int code, const std::string& text) {
    throw MaxNet(code, Utf8ToWide(text));
}

// The IPv4 address of a host name; loopback names need no resolver.
bool resolve(const std::string& name, in_addr& out) {
    if (name.empty() || IsLocalHost(name)) {
        out.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    if (::inet_pton(AF_INET, name.c_str(), &out) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

} // namespace

std::string LocalQueue::request(const std::string& line) {
    in_addr address{};
    if (!resolve(name_, address)) {
        fail(MAXNET_ERR_CONNECT, "unknown manager host " + name_);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port_));
    addr.sin_addr = address;
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
    while (sent && ::poll(&p, 1, 5000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
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
    const std::string reply =
        request("SUBMIT\t" + EscapeField(SafeJobName(job.name)) + "\t" + EscapeField(job.folder) +
                "\t" + EscapeField(job.log) + "\t" + EscapeField(job.command));
    if (reply.rfind("OK\t", 0) != 0) {
        fail(MAXNET_ERR_SUBMIT, "the manager refused the job: " + reply);
    }
    return static_cast<HJOB>(std::stoul(reply.substr(3)));
}

std::vector<JobList> LocalQueue::List() {
    std::vector<JobList> jobs;
    std::istringstream lines(request("LIST"));
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
    const char* argv[] = {exe.c_str(),   "manager", "--port", port.c_str(),
                          "--idle-exit", "600",     nullptr};
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
            ::execv(argv[0], const_cast<char* const*>(argv));
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
