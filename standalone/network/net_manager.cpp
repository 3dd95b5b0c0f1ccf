#include "standalone/network/net_manager.h"

#include "standalone/network/local_manager.h"

#include <chrono>

MaxNetManager* CreateManager() {
    return new StandaloneNetManager;
}

void DestroyManager(MaxNetManager* manager) {
    delete manager;
}

StandaloneNetManager::~StandaloneNetManager() {
    Disconnect();
    stop_watching();
}

JobQueue& StandaloneNetManager::queue() {
    std::lock_guard lock(mutex_);
    if (!connected_ || !queue_) {
        throw MaxNet(MAXNET_ERR_NOTCONNECTED, L"not connected to a manager");
    }
    return *queue_;
}

void StandaloneNetManager::Connect(int port, const char* manager, bool enableCallbacks) {
    Disconnect();
    stop_watching();
    const std::string name = manager != nullptr ? manager : "";
    std::unique_ptr<JobQueue> q = MakeJobQueue(name, port);
    if (auto* local = dynamic_cast<LocalQueue*>(q.get());
        local != nullptr && farmConfig().startLocal) {
        local->EnsureRunning();
    }
    q->Ping(); // raises when nothing answers there
    // The host's own submissions go to the manager it is connected to.
    if (dynamic_cast<LocalQueue*>(q.get()) != nullptr) {
        farmConfig().localPort = port;
    }
    {
        std::lock_guard lock(mutex_);
        queue_ = std::move(q);
        connected_ = true;
    }
    if (enableCallbacks && callback_ != nullptr) {
        stop_ = false;
        watcher_ = std::thread([this] { watch(); });
    }
}

void StandaloneNetManager::Disconnect() {
    {
        std::lock_guard lock(mutex_);
        connected_ = false;
    }
    stop_watching();
}

void StandaloneNetManager::stop_watching() {
    if (!watcher_.joinable()) {
        return;
    }
    if (watcher_.get_id() == std::this_thread::get_id()) {
        watcher_.detach(); // the callback itself let go of the connection
        return;
    }
    {
        std::lock_guard lock(wake_mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    watcher_.join();
}

void StandaloneNetManager::watch() {
    std::vector<std::pair<HJOB, std::uint32_t>> last;
    for (int poll = 0;; ++poll) {
        {
            std::unique_lock lock(wake_mutex_);
            if (wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
                return;
            }
        }
        std::vector<JobList> jobs;
        try {
            jobs = queue().List();
        } catch (const MaxNet& e) {
            bool was_connected = false;
            {
                std::lock_guard lock(mutex_);
                was_connected = connected_;
                connected_ = false;
            }
            if (was_connected && e.GetErrorCode() != MAXNET_ERR_NOTCONNECTED) {
                callback_->ManagerDown();
            }
            return;
        }
        std::vector<std::pair<HJOB, std::uint32_t>> now;
        for (const JobList& job : jobs) {
            now.emplace_back(job.hJob, job.state);
        }
        // Every few seconds even without a change: a client busy when the
        // change came hears of it this way.
        if (now != last || poll % 5 == 4) {
            last = std::move(now);
            callback_->Update();
        }
    }
}

bool StandaloneNetManager::FindManager(int port, std::string& manager, const char*) {
    const std::optional<std::string> found = MakeJobQueue(manager, port)->Find(port);
    if (found) {
        manager = *found;
    }
    return found.has_value();
}

bool StandaloneNetManager::RequestControl(bool) {
    std::lock_guard lock(mutex_);
    return connected_;
}

bool StandaloneNetManager::TakeMasterControl() {
    std::lock_guard lock(mutex_);
    return connected_;
}

int StandaloneNetManager::GetJobCount() {
    return static_cast<int>(ListJobs().size());
}

std::vector<JobList> StandaloneNetManager::ListJobs() {
    return queue().List();
}

void StandaloneNetManager::DeleteJob(HJOB job) {
    queue().Cancel(job);
}
