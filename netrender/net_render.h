// Network bakes: the connection to the host's network render manager, the
// jobs handed to it, and what happens when they end. One process-wide
// object; the manager's callbacks reach it from the manager's own thread,
// so every job-list access holds its lock.
#pragma once

#include "bake/bake_element.h"
#include "host/maxnet.h"
#include "netrender/job_description.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A job handed to the manager and watched until its outcome was handled.
struct MonitoredJob {
    std::uint32_t handle = 0xFFFFFFFFu; // all bits set: never identified
    std::uint32_t state = 1;            // 0 complete, 3 error, 7 not identified
    bool processed = false;
    std::string name;
    std::string outpath;
    std::string netpath;
    std::string jobFolder;            // script form: first backslash doubled
    bool merged = false;              // its textures were made
    std::vector<std::string> targets; // the textures its description names
};

// Where a merge may write: the targets a bake described itself, or else
// any file inside one folder.
struct MergeTargets {
    std::vector<std::string> exact;
    std::string folder;
};

class NetRender;

class NetrenderCallback : public MaxNetCallBack {
  public:
    explicit NetrenderCallback(NetRender& owner) : owner_(owner) {}
    bool Progress(int, int) override { return false; }
    void ManagerDown() override;
    void Update() override;
    void ControlRequest(const wchar_t* station) override;

  private:
    NetRender& owner_;
};

class NetRender {
  public:
    NetRender();
    ~NetRender();
    NetRender(const NetRender&) = delete;
    NetRender& operator=(const NetRender&) = delete;

    bool Connect(const std::string& managerName, int port);
    void Disconnect();
    // In place of a local render: submits the current selection as one job.
    bool SubmitNetworkBake(const std::vector<BakeElementEntry>& elements, int mapCount,
                           int mapIndex, int frame, const std::string& groupName);
    void WriteJobDescription(const std::string& scriptFolder,
                             const std::vector<BakeElementEntry>& elements, int mapCount,
                             int mapIndex, int frame, const std::string& groupName);
    void IdentifyJob(const std::vector<JobList>& snapshot, const std::string& scriptFolder,
                     const std::vector<std::string>& targets = {});
    // Takes every job that is still open off the farm (their folders stay
    // for a merge by hand) and marks it processed; the number taken off.
    int CancelOpenJobs();

    // Job states from the manager, then ProcessJobs. Never runs twice at once.
    void UpdateJobs();
    // Merges completed jobs and reports failed ones, each exactly once.
    void ProcessJobs();
    // The manager went away: forget the connection without calling it.
    void ManagerDown();

    bool connected() const { return connected_; }
    bool busy() const { return busy_; }
    MaxNetManager* manager() { return manager_; }
    // A copy of the job list, for whoever waits on the jobs.
    std::vector<MonitoredJob> Jobs();

  private:
    void add_unidentified(std::uint32_t state);
    // The description's sections: per element its target and the parts the
    // render servers write for it.
    std::vector<JobSection> DescriptionSections(const std::vector<BakeElementEntry>& elements,
                                                int mapCount, int mapIndex, int frame,
                                                const std::string& groupName);
    // Writes "job.desc" into the folder (plain form) unless a line of it
    // would break; a file that cannot be opened is not written.
    void write_description(const std::string& folder, const std::vector<JobSection>& sections);

    std::recursive_mutex mutex_;
    std::vector<MonitoredJob> jobs_;
    MaxNetManager* manager_ = nullptr;
    NetrenderCallback callback_;
    std::atomic<bool> connected_{false};
    std::atomic<bool> busy_{false};
};

// Told, on whichever thread it happens (the manager's, mostly), that a job
// was added or its state or outcome changed; it must not wait for the
// user-interface thread. nullptr stops the calls.
void SetJobStateListener(std::function<void()> listener);
void NotifyJobStates();

// The process-wide object, made on first use.
NetRender& netRender();
// Disconnects and destroys the manager; what unloading the module does.
void ReleaseNetRender();

// Merges the job whose folder (script form) is given into its targets; false
// with a report when it could not. Without `allowed`, targets must lie in
// the settings' output folder.
bool MergeJob(const std::string& netpath, const std::string& jobFolder);
bool MergeJob(const std::string& netpath, const std::string& jobFolder,
              const MergeTargets& allowed);

// The script that hands the selection to the host's network submission.
std::string SubmitScript(const std::string& scriptFolder, const std::string& fileType);
