// The job queue of a Slurm cluster.
#pragma once

#include "standalone/network/job_queue.h"

struct SlurmController {
    bool found = false; // a configuration file was read
    std::string host;
    int port = 6817;
};
// The controller the Slurm tools of this machine talk to.
SlurmController ReadSlurmController();
// The configuration file they read: SLURM_CONF, or Slurm's own default.
std::string SlurmConfigPath();

class SlurmQueue : public JobQueue {
  public:
    // name and port: the controller the user means; empty name: whichever
    // the configuration names.
    SlurmQueue(std::string name, int port);
    void Ping() override;
    HJOB Submit(const JobSubmission& job) override;
    std::vector<JobList> List() override;
    void Cancel(HJOB job) override;
    std::optional<std::string> Find(int port) override;

  private:
    std::string name_;
    int port_;
};
