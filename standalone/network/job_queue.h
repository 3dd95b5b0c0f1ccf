// A render farm's job queue as the host's network manager sees it: ask the
// controller whether it answers, submit a command as a named job, list
// jobs with their states, cancel one. Every call that cannot reach the
// controller raises MaxNet. Safe to call from several threads.
#pragma once

#include "host/maxnet.h"

#include <memory>
#include <optional>
#include <string>

struct JobSubmission {
    std::string name;    // letters, digits, '_', '.', '-' only
    std::string folder;  // the job runs here; it must exist
    std::string command; // a shell command line
    std::string log;     // where its output goes
};

class JobQueue {
  public:
    virtual ~JobQueue() = default;
    // Raises MaxNet unless the controller at this queue's address answers.
    virtual void Ping() = 0;
    virtual HJOB Submit(const JobSubmission& job) = 0;
    virtual std::vector<JobList> List() = 0;
    virtual void Cancel(HJOB job) = 0;
    // The name of a controller that answers at the port, if any.
    virtual std::optional<std::string> Find(int port) = 0;
};

enum class FarmKind { Slurm, Local };

// The farm the host hands network jobs to. Slurm is used where a Slurm
// configuration can be found; the embedded local manager otherwise.
struct FarmConfig {
    FarmKind kind = FarmKind::Local;
    std::string executable; // the tool that serves jobs; this program when empty
    int localPort = 3234;   // where the host's own submissions find the local manager
    bool startLocal = true; // start the local manager when none answers
};
FarmConfig& farmConfig();
FarmKind DefaultFarmKind();

// A queue for the controller at name:port, of the configured farm.
std::unique_ptr<JobQueue> MakeJobQueue(const std::string& name, int port);
// The queue the host's own submissions go to.
std::unique_ptr<JobQueue> SubmissionQueue();

// Slurm's name for a state, as a state of the manager's job list.
std::uint32_t SlurmJobState(const std::string& state);
// Job names a scheduler prints back unchanged.
std::string SafeJobName(const std::string& name);
// The text as one word of a POSIX shell command line.
std::string ShellQuote(const std::string& text);
// Whether a host name names this machine.
bool IsLocalHost(const std::string& name);
