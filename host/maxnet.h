// The host's network rendering library: a manager that render jobs are
// submitted to, the callback object through which it reports, and the
// exception its calls raise. One manager object talks to one manager
// (the controller of a render farm) at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using HJOB = std::uint32_t;

// What a render server writes into its job folder besides its images: the
// scene it bakes and the log of its run, which stays when the job fails.
inline constexpr char kSnapshotName[] = "snapshot.vlscene";
inline constexpr char kRenderLogName[] = "render.log";

// Job states as the manager lists them.
inline constexpr std::uint32_t JOB_STATE_COMPLETE = 0;
inline constexpr std::uint32_t JOB_STATE_WAITING = 1;
inline constexpr std::uint32_t JOB_STATE_BUSY = 2;
inline constexpr std::uint32_t JOB_STATE_ERROR = 3;
inline constexpr std::uint32_t JOB_STATE_SUSPENDED = 4;

// Error codes of MaxNet.
inline constexpr int MAXNET_ERR_CONNECT = 1; // no manager answers at that name and port
inline constexpr int MAXNET_ERR_NOTCONNECTED = 2;
inline constexpr int MAXNET_ERR_PROTOCOL = 3; // the manager's answer made no sense
inline constexpr int MAXNET_ERR_SUBMIT = 4;

class MaxNet {
  public:
    MaxNet(int code, std::wstring text) : code_(code), text_(std::move(text)) {}
    int GetErrorCode() const { return code_; }
    const wchar_t* GetErrorText() const { return text_.c_str(); }

  private:
    int code_;
    std::wstring text_;
};

// One entry of the manager's job list.
struct JobList {
    HJOB hJob = 0;
    std::wstring name;
    std::uint32_t state = JOB_STATE_WAITING;
};

// What the manager tells its client. The calls come from the manager's own
// thread while a connection with callbacks is open.
class MaxNetCallBack {
  public:
    virtual ~MaxNetCallBack() = default;
    virtual bool Progress(int /*total*/, int /*current*/) { return false; }
    virtual void ProgressMsg(const wchar_t* /*message*/) {}
    // The manager stopped answering; the connection is gone.
    virtual void ManagerDown() {}
    // Job states changed (or may have): read the job list again.
    virtual void Update() {}
    virtual void QueryControl(const wchar_t* /*station*/) {}
    // Another station asks for control; answer with GrantControl.
    virtual void ControlRequest(const wchar_t* /*station*/) {}
    virtual void QueueControl() {}
};

class MaxNetManager {
  public:
    virtual ~MaxNetManager() = default;

    virtual void SetCallBack(MaxNetCallBack* callback) = 0;
    // Raises MaxNet when no manager answers there.
    virtual void Connect(int port, const char* manager, bool enableCallbacks) = 0;
    virtual void Disconnect() = 0;
    // Looks for a manager at the port within the net mask; on success the
    // buffer holds its name.
    virtual bool FindManager(int port, std::string& manager, const char* netmask) = 0;
    virtual bool RequestControl(bool wait) = 0;
    virtual bool TakeMasterControl() = 0;
    virtual void GrantControl(bool grant) = 0;
    // Both raise MaxNet when the manager cannot be asked.
    virtual int GetJobCount() = 0;
    virtual std::vector<JobList> ListJobs() = 0;
    // Takes the job off the farm: stopped when it runs, never started when
    // it waits. Raises MaxNet when the manager cannot be asked.
    virtual void DeleteJob(HJOB job) = 0;
};

// The host's factory; nullptr when it refuses to make a manager.
MaxNetManager* CreateManager();
void DestroyManager(MaxNetManager* manager);
