// The host's network manager on this machine: a connection to a farm's job
// queue, watched by a thread of its own that polls the job list about once
// a second and tells the callback object what changed.
#pragma once

#include "host/maxnet.h"
#include "standalone/network/job_queue.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class StandaloneNetManager : public MaxNetManager {
  public:
    StandaloneNetManager() = default;
    ~StandaloneNetManager() override;
    StandaloneNetManager(const StandaloneNetManager&) = delete;
    StandaloneNetManager& operator=(const StandaloneNetManager&) = delete;

    void SetCallBack(MaxNetCallBack* callback) override { callback_ = callback; }
    void Connect(int port, const char* manager, bool enableCallbacks) override;
    void Disconnect() override;
    bool FindManager(int port, std::string& manager, const char* netmask) override;
    bool RequestControl(bool wait) override;
    bool TakeMasterControl() override;
    void GrantControl(bool grant) override { granted_ = grant; }
    int GetJobCount() override;
    std::vector<JobList> ListJobs() override;
    void DeleteJob(HJOB job) override;

  private:
    void watch();
    void stop_watching();
    JobQueue& queue();

    MaxNetCallBack* callback_ = nullptr;
    std::mutex mutex_; // guards queue_ and connected_ against the watcher
    std::unique_ptr<JobQueue> queue_;
    bool connected_ = false;
    std::atomic<bool> granted_{true};
    std::thread watcher_;
    std::mutex wake_mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};
