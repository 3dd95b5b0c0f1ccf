// Watching submitted jobs: the manager's notifications, job states, and the
// merge or failure report each job gets once.
#include "netrender/net_render.h"

#include "bake/local_path.h"
#include "netrender/job_folder.h"

#include "host/text.h"
#include "settings/settings.h"

#include <algorithm>
#include <boost/filesystem/operations.hpp>

#include <fstream>
#include <sstream>

namespace {

// What the render server said when it gave up (its own lines in the log it
// leaves in the job folder), so that the user learns why, not only that.
std::string failure_reason(const MonitoredJob& job) {
    if (job.jobFolder.empty()) {
        return "";
    }
    // The log lies in a shared folder: only a plain file is read, and only
    // its start.
    const boost::filesystem::path path = LocalPath(PlainFolder(job.jobFolder) + kRenderLogName);
    boost::system::error_code ec;
    if (!boost::filesystem::is_regular_file(boost::filesystem::symlink_status(path, ec))) {
        return "";
    }
    std::ifstream file(path.string(), std::ios::binary);
    std::string start(64 * 1024, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(file.gcount()));
    std::istringstream log(start);
    std::string line, reason;
    int lines = 0;
    while (std::getline(log, line) && lines < 20) {
        if (line.rfind("vellumar render-job: ", 0) == 0) {
            reason += "\n" + line.substr(21);
            ++lines;
        }
    }
    return reason;
}

} // namespace

void NetrenderCallback::ManagerDown() {
    owner_.ManagerDown();
    report("Netrender Manager has been shut down.", 0);
}

void NetrenderCallback::Update() {
    owner_.UpdateJobs();
}

void NetrenderCallback::ControlRequest(const wchar_t*) {
    if (MaxNetManager* manager = owner_.manager()) {
        manager->GrantControl(!owner_.busy());
    }
}

void NetRender::UpdateJobs() {
    static std::atomic<bool> running{false};
    if (running.exchange(true)) {
        return;
    }
    struct Clear {
        ~Clear() { running = false; }
    } clear;
    // A submission holds the lock and may be waiting for the manager's
    // thread, which is the caller here: that update is skipped, and the
    // manager's next one catches up.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || manager_ == nullptr || !connected_ ||
        std::all_of(jobs_.begin(), jobs_.end(),
                    [](const MonitoredJob& j) { return j.processed; })) {
        return;
    }
    try {
        const std::vector<JobList> listed = manager_->ListJobs();
        for (MonitoredJob& job : jobs_) {
            if (job.processed) {
                continue;
            }
            for (const JobList& entry : listed) {
                if (entry.hJob == job.handle) {
                    job.state = entry.state;
                    break;
                }
            }
        }
    } catch (const MaxNet& e) {
        report("[update_netrender_jobs] error:\n" + WideToUtf8(e.GetErrorText()) + " (" +
                   std::to_string(e.GetErrorCode()) + ")\n",
               2);
    }
    ProcessJobs();
}

void NetRender::ProcessJobs() {
    std::lock_guard lock(mutex_);
    for (MonitoredJob& job : jobs_) {
        if (job.processed) {
            continue;
        }
        if (job.state == JOB_STATE_COMPLETE) {
            job.merged =
                MergeJob(job.netpath, job.jobFolder, MergeTargets{job.targets, job.outpath});
            if (job.merged) {
                report("Vellumar Netrender: network job " + job.name +
                           " has been completed. Resulting image has been saved to: " + job.outpath,
                       0);
            }
            job.processed = true;
        } else if (job.state == JOB_STATE_ERROR) {
            report("Vellumar Netrender: network job " + job.name +
                       " reported an error. Network baking has failed." + failure_reason(job),
                   0);
            job.processed = true;
        }
    }
    NotifyJobStates();
}

int NetRender::CancelOpenJobs() {
    std::lock_guard lock(mutex_);
    int cancelled = 0;
    for (MonitoredJob& job : jobs_) {
        if (job.processed || job.handle == 0xFFFFFFFFu || manager_ == nullptr) {
            continue;
        }
        try {
            manager_->DeleteJob(job.handle);
            ++cancelled;
        } catch (const MaxNet&) {
            // Gone already, or the manager is: nothing runs on for it here.
        }
        job.processed = true;
    }
    return cancelled;
}
