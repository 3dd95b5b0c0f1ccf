// The local manager's server loop: accept a request, answer it, start
// waiting jobs while slots are free, collect the ones that ended.
#include "standalone/network/local_manager.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stop_requested = 0;
void on_stop(int) {
    stop_requested = 1;
}

struct LocalJob {
    HJOB id = 0;
    std::string name, folder, log, command;
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

// One line from the client, waiting at most a second for it.
std::string read_line(int fd) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (line.size() < (1u << 20) && ::poll(&p, 1, 1000) > 0 && ::read(fd, &c, 1) == 1) {
        if (c == '\n') {
            break;
        }
        line += c;
    }
    return line;
}

void write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

class Server {
  public:
    explicit Server(int slots) : slots_(slots) {}

    std::string answer(const std::string& line) {
        const std::vector<std::string> f = split_fields(line);
        if (f[0] == "PING") {
            return "VELLUMAR-MANAGER 1\n";
        }
        if (f[0] == "LIST") {
            std::string out;
            for (const LocalJob& job : jobs_) {
                out += std::to_string(job.id) + "|" + std::to_string(job.state) + "|" +
                       EscapeField(job.name) + "\n";
            }
            return out + "END\n"; // an empty list is still an answer
        }
        if (f[0] == "SUBMIT" && f.size() == 5) {
            LocalJob job;
            job.id = next_id_++;
            job.name = f[1];
            job.folder = f[2];
            job.log = f[3];
            job.command = f[4];
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
            return "ERR\tno job " + f[1] + "\n";
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
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(job.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (in < 0 || out < 0 || ::chdir(job.folder.c_str()) != 0) {
                ::_exit(1);
            }
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execl("/bin/sh", "sh", "-c", job.command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0) {
            job.state = JOB_STATE_ERROR;
            return;
        }
        job.pid = pid;
        job.state = JOB_STATE_BUSY;
    }

    int slots_;
    HJOB next_id_ = 1;
    std::deque<LocalJob> jobs_;
};

} // namespace

int RunLocalManager(int port, int slots, int idleSeconds) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 16) != 0) {
        std::fprintf(stderr, "vellumar manager: cannot listen on 127.0.0.1:%d: %s\n", port,
                     std::strerror(errno));
        if (listener >= 0) {
            ::close(listener);
        }
        return 1;
    }
    std::signal(SIGTERM, on_stop);
    std::signal(SIGINT, on_stop);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("vellumar manager: listening on 127.0.0.1:%d with %d slot%s\n", port, slots,
                slots == 1 ? "" : "s");
    std::fflush(stdout);
    Server server(slots);
    auto last_activity = std::chrono::steady_clock::now();
    while (stop_requested == 0) {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                write_all(client, server.answer(read_line(client)));
                ::close(client);
                last_activity = std::chrono::steady_clock::now();
            }
        }
        server.reap();
        server.start_waiting();
        if (!server.idle()) {
            last_activity = std::chrono::steady_clock::now();
        } else if (idleSeconds > 0 && std::chrono::steady_clock::now() - last_activity >
                                          std::chrono::seconds(idleSeconds)) {
            break;
        }
    }
    server.stop_all();
    ::close(listener);
    return 0;
}
