// The local manager's server loop: every client is served as its bytes
// arrive, so a slow or idle one holds up nobody; waiting jobs start while
// slots are free, and the ones that ended are collected.
#include "standalone/network/child_process.h"
#include "standalone/network/local_manager.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLongestLine = 64 * 1024;
constexpr auto kClientTime = std::chrono::seconds(5);
constexpr std::size_t kMostClients = 64;

volatile std::sig_atomic_t stop_requested = 0;
void on_stop(int) {
    stop_requested = 1;
}

struct LocalJob {
    HJOB id = 0;
    std::string name, folder;
    std::uint32_t state = JOB_STATE_WAITING;
    pid_t pid = -1;
};

std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(UnescapeField(line.substr(start, tab - start)));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

bool is_real_folder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_real_file(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why a folder cannot hold a job, or "" when it can: an absolute folder of
// its own (no link) that holds a snapshot file.
std::string job_folder_problem(const std::string& folder) {
    if (folder.empty() || folder[0] != '/') {
        return "the job folder must be an absolute path";
    }
    if (folder.find("/../") != std::string::npos || folder.ends_with("/..")) {
        return "the job folder must not climb with ..";
    }
    if (!is_real_folder(folder)) {
        return "no folder " + folder;
    }
    if (!is_real_file(folder + "/" + kSnapshotName)) {
        return "no " + std::string(kSnapshotName) + " in " + folder;
    }
    return "";
}

class Server {
  public:
    Server(int slots, std::string renderServer)
        : slots_(slots), render_server_(std::move(renderServer)) {}

    std::string answer(const std::string& line) {
        const std::vector<std::string> f = split_fields(line);
        if (f[0] == "PING") {
            return "VELLUMAR-MANAGER 2\n";
        }
        if (f[0] == "LIST") {
            std::string out;
            for (const LocalJob& job : jobs_) {
                out += std::to_string(job.id) + "|" + std::to_string(job.state) + "|" +
                       EscapeField(job.name) + "\n";
            }
            return out + "END\n"; // an empty list is still an answer
        }
        if (f[0] == "SUBMIT" && f.size() == 3) {
            std::string folder = f[2];
            while (folder.size() > 1 && folder.back() == '/') {
                folder.pop_back();
            }
            const std::string problem = job_folder_problem(folder);
            if (!problem.empty()) {
                return "ERR\t" + EscapeField(problem) + "\n";
            }
            LocalJob job;
            job.id = next_id_++;
            job.name = SafeJobName(f[1]);
            job.folder = folder;
            jobs_.push_back(job);
            return "OK\t" + std::to_string(job.id) + "\n";
        }
        if (f[0] == "CANCEL" && f.size() == 2) {
            for (LocalJob& job : jobs_) {
                if (std::to_string(job.id) == f[1]) {
                    if (job.pid > 0) {
                        ::kill(-job.pid, SIGTERM);
                    } else if (job.state == JOB_STATE_WAITING) {
                        job.state = JOB_STATE_ERROR;
                    }
                    return "OK\n";
                }
            }
            return "ERR\tno job " + EscapeField(f[1]) + "\n";
        }
        return "ERR\tunknown request\n";
    }

    void reap() {
        int status = 0;
        pid_t pid = 0;
        while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
            for (LocalJob& job : jobs_) {
                if (job.pid == pid) {
                    job.pid = -1;
                    job.state = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? JOB_STATE_COMPLETE
                                                                              : JOB_STATE_ERROR;
                }
            }
        }
    }

    void start_waiting() {
        for (LocalJob& job : jobs_) {
            if (running() >= slots_) {
                return;
            }
            if (job.state == JOB_STATE_WAITING) {
                start(job);
            }
        }
    }

    int running() const {
        int n = 0;
        for (const LocalJob& job : jobs_) {
            n += job.state == JOB_STATE_BUSY ? 1 : 0;
        }
        return n;
    }

    bool idle() const {
        for (const LocalJob& job : jobs_) {
            if (job.state == JOB_STATE_WAITING || job.state == JOB_STATE_BUSY) {
                return false;
            }
        }
        return true;
    }

    void stop_all() {
        for (LocalJob& job : jobs_) {
            if (job.pid > 0) {
                ::kill(-job.pid, SIGTERM);
            }
        }
    }

  private:
    void start(LocalJob& job) {
        // Checked again: the folder may have changed since it was submitted.
        if (!job_folder_problem(job.folder).empty()) {
            job.state = JOB_STATE_ERROR;
            return;
        }
        const std::string snapshot = job.folder + "/" + kSnapshotName;
        const std::string log = job.folder + "/" + kRenderLogName;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const int in = ::open("/dev/null", O_RDONLY);
            // Never through a link someone left in the folder, and never a
            // pipe that would hold the job before it starts.
            const int out =
                ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK, 0600);
            struct stat st {};
            if (in < 0 || out < 0 || ::fstat(out, &st) != 0 || !S_ISREG(st.st_mode) ||
                ::fcntl(out, F_SETFL, O_WRONLY | O_APPEND) != 0 ||
                ::chdir(job.folder.c_str()) != 0) {
                ::_exit(1);
            }
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::close(in);
            ::close(out);
            ::execl(render_server_.c_str(), render_server_.c_str(), "render-job", snapshot.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0) {
            job.state = JOB_STATE_ERROR;
            return;
        }
        // In the parent too: a cancel right after the start must find the
        // group the child is about to make.
        ::setpgid(pid, pid);
        job.pid = pid;
        job.state = JOB_STATE_BUSY;
    }

    int slots_;
    std::string render_server_;
    HJOB next_id_ = 1;
    std::deque<LocalJob> jobs_;
};

// A connected client: what it sent so far, and what is still to go back.
struct Client {
    int fd = -1;
    Clock::time_point since;
    std::string in, out;
    bool answered = false;
};

bool same_user(int fd) {
    ucred cred{};
    socklen_t size = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 && cred.uid == ::geteuid();
}

// Reads what the client sent; once its line is complete (or can never be:
// too long, or the client stopped sending) the client is answered.
void read_client(Client& c, Server& server) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (n <= 0) {
            c.answered = true; // closed before its line ended: nothing to answer
            c.out.clear();
            return;
        }
        c.in.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = c.in.find('\n');
        if (end != std::string::npos) {
            c.out = server.answer(c.in.substr(0, end));
            c.answered = true;
            return;
        }
        if (c.in.size() > kLongestLine) {
            c.out = "ERR\trequest too long\n";
            c.answered = true;
            return;
        }
    }
}

// Sends what it can without waiting; true when all of it went.
bool write_client(Client& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return false;
        }
        if (n <= 0) {
            c.out.clear();
            return true;
        }
        c.out.erase(0, static_cast<std::size_t>(n));
    }
    return true;
}

int listen_on(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof addr.sun_path) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // A socket left by a manager that died answers nobody: take its place.
    // One that answers is another manager's, and stays.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
        errno == ECONNREFUSED) {
        ::unlink(path.c_str());
    }
    if (probe >= 0) {
        ::close(probe);
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int RunLocalManager(const LocalManagerOptions& options) {
    std::string error;
    const std::string path = LocalManagerSocket(options.port, error);
    if (path.empty()) {
        std::fprintf(stderr, "vellumar manager: %s\n", error.c_str());
        return 1;
    }
    const int listener = listen_on(path);
    if (listener < 0) {
        std::fprintf(stderr, "vellumar manager: cannot listen on %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::signal(SIGTERM, on_stop);
    std::signal(SIGINT, on_stop);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("vellumar manager: listening on %s (port %d) with %d slot%s\n", path.c_str(),
                options.port, options.slots, options.slots == 1 ? "" : "s");
    std::fflush(stdout);
    Server server(options.slots,
                  options.renderServer.empty() ? SelfExecutable() : options.renderServer);
    std::vector<Client> clients;
    auto last_activity = Clock::now();
    while (stop_requested == 0) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const Client& c : clients) {
            fds.push_back({c.fd, static_cast<short>(c.answered ? POLLOUT : POLLIN), 0});
        }
        if (::poll(fds.data(), fds.size(), 200) > 0) {
            for (std::size_t i = 0; i < clients.size(); ++i) {
                Client& c = clients[i];
                if ((fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !c.answered) {
                    read_client(c, server);
                    last_activity = Clock::now();
                }
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0 && (clients.size() >= kMostClients || !same_user(fd))) {
                    ::close(fd);
                } else if (fd >= 0) {
                    clients.push_back({fd, Clock::now(), {}, {}, false});
                }
            }
        }
        // Answered clients get their answer; those that took too long to
        // send a line, or to take the answer, are let go.
        const auto now = Clock::now();
        for (std::size_t i = 0; i < clients.size();) {
            Client& c = clients[i];
            const bool done = c.answered && write_client(c);
            if (done || now - c.since > kClientTime) {
                ::close(c.fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
        server.reap();
        server.start_waiting();
        if (!server.idle() || !clients.empty()) {
            last_activity = Clock::now();
        } else if (options.idleSeconds > 0 &&
                   Clock::now() - last_activity > std::chrono::seconds(options.idleSeconds)) {
            break;
        }
    }
    server.stop_all();
    for (const Client& c : clients) {
        ::close(c.fd);
    }
    ::close(listener);
    ::unlink(path.c_str());
    return 0;
}
