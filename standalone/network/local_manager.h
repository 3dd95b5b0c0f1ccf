// The embedded local manager: a small server on this machine that runs
// network jobs as its child processes, for users without a render farm.
//
// It serves its owner only. It listens on a Unix socket in a folder that
// only the owner may enter ($XDG_RUNTIME_DIR/vellumar, else
// /tmp/vellumar-UID, mode 0700, refused when anyone else owns it or may
// enter it), one socket per port number, and answers no connection of
// another user. A job is a render job of the snapshot in a job folder, run
// by the manager's own render server; nobody hands it a command line.
// One request per connection, one line each way (at most 64 KiB, within 5
// seconds), fields separated by tabs (escaped as \t, \n, \\):
//   PING                 -> VELLUMAR-MANAGER 2
//   SUBMIT name folder   -> OK id | ERR text
//   LIST                 -> id|state|name per line, then END
//   CANCEL id            -> OK | ERR text
#pragma once

#include "standalone/network/job_queue.h"

struct LocalManagerOptions {
    int port = 3234;
    int slots = 1;
    int idleSeconds = 0;      // stop after this long with nothing to do; 0: never
    std::string renderServer; // the program whose render-job runs; this one when empty
};

// Serves until stopped by SIGTERM or SIGINT, or, with idleSeconds > 0, until
// nothing has run and nobody asked for that long. Returns the exit status.
int RunLocalManager(const LocalManagerOptions& options);

// The socket of the manager for this port; empty with `error` set when its
// folder cannot be made or is not private to this user.
std::string LocalManagerSocket(int port, std::string& error);

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
