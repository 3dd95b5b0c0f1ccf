// The embedded local manager: a small server on this machine that runs
// network jobs as its child processes, for users without a render farm.
// It listens on the loopback interface only; one request per connection,
// one line each way, fields separated by tabs (escaped as \t, \n, \\):
//   PING                          -> VELLUMAR-MANAGER 1
//   SUBMIT name folder log command -> OK id | ERR text
//   LIST                          -> id|state|name per line, then END
//   CANCEL id                     -> OK | ERR text
#pragma once

#include "standalone/network/job_queue.h"

// Serves until stopped by SIGTERM or SIGINT, or, with idleSeconds > 0, until
// nothing has run and nobody asked for that long. Returns the exit status.
int RunLocalManager(int port, int slots, int idleSeconds);

class LocalQueue : public JobQueue {
  public:
    LocalQueue(std::string name, int port) : name_(std::move(name)), port_(port) {}
    void Ping() override;
    HJOB Submit(const JobSubmission& job) override;
    std::vector<JobList> List() override;
    void Cancel(HJOB job) override;
    std::optional<std::string> Find(int port) override;
    // Starts a manager in the background when none answers here; false when
    // none answers even then.
    bool EnsureRunning();

  private:
    std::string request(const std::string& line);
    bool answers();

    std::string name_;
    int port_;
};

std::string EscapeField(const std::string& text);
std::string UnescapeField(const std::string& text);
