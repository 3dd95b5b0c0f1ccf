#include "netrender/net_render.h"

#include "bake/local_path.h"
#include "bake/output_names.h"
#include "bake/produced_files.h"
#include "bake/renderer_kind.h"
#include "bake/script_string.h"
#include "netrender/job_description.h"
#include "netrender/job_folder.h"

#include "host/bake_element.h"
#include "host/script.h"
#include "host/text.h"
#include "host/windows.h"
#include "settings/settings.h"

#include <boost/filesystem/operations.hpp>

#include <fstream>

namespace {

std::unique_ptr<NetRender>& instance() {
    static std::unique_ptr<NetRender> net;
    return net;
}

std::string extension_of(const std::string& file) {
    const std::string name = FileNamePart(file);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

bool is_mental_ray_complete_map(const BakeElementEntry& entry) {
    return CurrentRendererKind() == MentalRay && entry.elementClass != nullptr &&
           entry.elementClass->ClassID() == Class_ID(0x1000B, 0);
}

std::string question_text(const UnwrapSettings& s, const MaxNet& e) {
    return "Couldn't connect to the specified netrender manager: " + s.manager +
           " at port: " + std::to_string(s.port) +
           ".\nDo you want Vellumar to automatically connect to the first available manager in "
           "your network?\n(If you continue without hooking up with a manager, Vellumar will "
           "not be able to finalize network jobs.)\n[Error Code: " +
           std::to_string(e.GetErrorCode()) + "]";
}

} // namespace

namespace {

std::mutex& listener_mutex() {
    static std::mutex m;
    return m;
}
std::function<void()>& job_listener() {
    static std::function<void()> f;
    return f;
}

} // namespace

void SetJobStateListener(std::function<void()> listener) {
    std::lock_guard lock(listener_mutex());
    job_listener() = std::move(listener);
}

void NotifyJobStates() {
    std::lock_guard lock(listener_mutex());
    if (job_listener()) {
        job_listener()();
    }
}

NetRender& netRender() {
    if (!instance()) {
        instance() = std::make_unique<NetRender>();
    }
    return *instance();
}

void ReleaseNetRender() {
    instance().reset();
}

NetRender::NetRender() : callback_(*this) {}

NetRender::~NetRender() {
    Disconnect();
    if (manager_ != nullptr) {
        DestroyManager(manager_);
    }
}

std::vector<MonitoredJob> NetRender::Jobs() {
    std::lock_guard lock(mutex_);
    return jobs_;
}

bool NetRender::Connect(const std::string& managerName, int port) {
    if (manager_ == nullptr) {
        manager_ = CreateManager();
        if (manager_ == nullptr) {
            return false;
        }
        manager_->SetCallBack(&callback_);
    }
    if (connected_) {
        return true;
    }
    manager_->Connect(port, managerName.c_str(), true);
    connected_ = true;
    return true;
}

void NetRender::Disconnect() {
    if (!connected_) {
        return;
    }
    try {
        manager_->Disconnect();
    } catch (const MaxNet&) {
        // The manager may already be gone; the connection is over either way.
    }
    connected_ = false;
}

void NetRender::ManagerDown() {
    connected_ = false;
    NotifyJobStates();
}

bool NetRender::SubmitNetworkBake(const std::vector<BakeElementEntry>& elements, int mapCount,
                                  int mapIndex, int frame, const std::string& groupName) {
    // Held to the end: the manager's updates wait until the new job is listed.
    std::lock_guard lock(mutex_);
    const UnwrapSettings& s = settings();
    busy_ = true;
    Disconnect();
    try {
        Connect(s.manager, s.port);
    } catch (const MaxNet& e) {
        const int answer = MessageBoxW(nullptr, Utf8ToWide(question_text(s, e)).c_str(),
                                       L"Netrender manager not found.",
                                       MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
        if (answer == IDOK) {
            std::string found = s.manager;
            if (manager_ != nullptr && manager_->FindManager(s.port, found, "255.255.255.0")) {
                try {
                    Connect(found, s.port);
                } catch (const MaxNet&) {
                    report("Couldn't locate a netrender manager.", 0);
                }
            } else {
                report("Couldn't locate a netrender manager.", 0);
            }
        }
    }
    if (manager_ == nullptr) {
        report("Network rendering not possible. Creation of a MaxNetManager instance was refused "
               "by 3ds Max.",
               0);
        busy_ = false;
        return false;
    }
    std::vector<JobList> snapshot;
    if (connected_) {
        if (!manager_->RequestControl(true)) {
            report("Can't access manager. Control not granted.", 0);
            Disconnect();
            busy_ = false;
            return false;
        }
        if (!manager_->TakeMasterControl()) {
            report("Can't take control over manager.", 0);
            Disconnect();
            busy_ = false;
            return false;
        }
        try {
            snapshot = manager_->ListJobs();
        } catch (const MaxNet& e) {
            report("Error:\n" + WideToUtf8(e.GetErrorText()) + "(" +
                       std::to_string(e.GetErrorCode()) + ")\n",
                   0);
        }
    }
    const std::string scriptFolder = ScriptFolder(JobFolder(mapCount, mapIndex));
    const std::vector<JobSection> sections =
        DescriptionSections(elements, mapCount, mapIndex, frame, groupName);
    // Checked before anything goes to the farm: a job that cannot be
    // described could never be merged.
    if (!DescribableLines(s.netpath, PlainFolder(scriptFolder), sections)) {
        report("Vellumar Netrender: the network path, the job folder or a texture's path holds a "
               "line break, which the job description cannot hold. Nothing was submitted.",
               0);
        busy_ = false;
        return false;
    }
    const std::string fileType = elements.empty()
                                     ? std::string(".png")
                                     : "." + extension_of(WideToUtf8(elements.front().file.Name()));
    const bool ran =
        ExecuteMAXScriptScript(Utf8ToWide(SubmitScript(scriptFolder, fileType)).c_str(), 0) != 0;
    // The script tells the user itself when the host refused the job; the
    // bake must not go on as if it had gone in.
    FPValue submitted;
    ExecuteMAXScriptScript(L"res", 1, &submitted);
    if (!ran || (submitted.type == TYPE_BOOL && submitted.i == 0)) {
        busy_ = false;
        return false;
    }
    write_description(PlainFolder(scriptFolder), sections);
    std::vector<std::string> targets;
    for (const JobSection& section : sections) {
        targets.push_back(section.target);
    }
    IdentifyJob(snapshot, scriptFolder, targets);
    busy_ = false;
    return true;
}

std::string SubmitScript(const std::string& scriptFolder, const std::string& fileType) {
    const char* lines[] = {
        "prev_VFB = rendShowVFB",
        "rendShowVFB = true",
        nullptr, // the default path
        nullptr, // the default file type
        "fileproperties.addproperty #custom \"RTT_RenderTimeType\" 1",
        "res = NetworkRTT selection",
        "if not res do messagebox \"Network render submission failed\" title:\"Vellumar [network "
        "render]\"",
        "fileproperties.deleteproperty #custom \"RTT_Default_Path\"",
        "fileproperties.deleteproperty #custom \"RTT_Default_FileType\"",
        "fileproperties.deleteproperty #custom \"RTT_RenderTimeType\"",
        "rendShowVFB = prev_VFB",
    };
    std::string text;
    for (int i = 0; i < 11; ++i) {
        text += i == 0 ? " " : " \t\t";
        if (i == 2) {
            text += "fileproperties.addproperty #custom \"RTT_Default_Path\" " +
                    ScriptString(PlainFolder(scriptFolder));
        } else if (i == 3) {
            text += "fileproperties.addproperty #custom \"RTT_Default_FileType\" " +
                    ScriptString(fileType);
        } else {
            text += lines[i];
        }
        text += " \n";
    }
    return text;
}

std::vector<JobSection>
NetRender::DescriptionSections(const std::vector<BakeElementEntry>& elements, int mapCount,
                               int mapIndex, int frame, const std::string& groupName) {
    std::vector<JobSection> sections;
    for (const BakeElementEntry& entry : elements) {
        const std::string output = EntryOutputName(entry, groupName);
        JobSection section{MapFrameOutputName(output, mapCount, mapIndex, frame), {}};
        const std::string ext = extension_of(WideToUtf8(entry.file.Name()));
        const std::string suffix =
            (is_mental_ray_complete_map(entry) ? " _MR_" : "") + std::string(".") + ext;
        for (const ProducedFile& produced : ProducedFiles()) {
            if (produced.fileName == FileNamePart(output) &&
                (mapCount <= 1 || produced.mapIndex == mapIndex)) {
                section.parts.push_back(
                    PartFileName(produced.nodeName, produced.elementName, suffix));
            }
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

void NetRender::WriteJobDescription(const std::string& scriptFolder,
                                    const std::vector<BakeElementEntry>& elements, int mapCount,
                                    int mapIndex, int frame, const std::string& groupName) {
    write_description(PlainFolder(scriptFolder),
                      DescriptionSections(elements, mapCount, mapIndex, frame, groupName));
}

void NetRender::write_description(const std::string& folder,
                                  const std::vector<JobSection>& sections) {
    const UnwrapSettings& s = settings();
    if (!DescribableLines(s.netpath, folder, sections)) {
        return;
    }
    boost::system::error_code ec;
    boost::filesystem::create_directory(LocalPath(folder), ec);
    std::ofstream out(LocalPath(folder + "job.desc").string(), std::ios::binary | std::ios::trunc);
    if (out) {
        out << JobDescriptionText(s.netpath, folder, sections);
    }
}

void NetRender::add_unidentified(std::uint32_t state) {
    report("If you've submitted a job, it hasn't been identified by Vellumar. Vellumar will not "
           "be able to monitor \n and process your final baked image automatically. You will "
           "have to use \"Merge Images\" function manually once the job has been finished.",
           0);
    MonitoredJob job;
    job.state = state;
    job.processed = true;
    job.name = "N/A";
    jobs_.push_back(job);
    NotifyJobStates();
}

void NetRender::IdentifyJob(const std::vector<JobList>& snapshot, const std::string& scriptFolder,
                            const std::vector<std::string>& targets) {
    std::lock_guard lock(mutex_);
    if (!connected_) {
        add_unidentified(0);
        return;
    }
    std::vector<JobList> now;
    try {
        now = manager_->ListJobs();
    } catch (const MaxNet&) {
        // Listed as none: the job cannot be told apart.
    }
    for (const JobList& job : now) {
        const bool known = std::any_of(snapshot.begin(), snapshot.end(),
                                       [&](const JobList& old) { return old.hJob == job.hJob; });
        if (!known) {
            const UnwrapSettings& s = settings();
            jobs_.push_back({job.hJob, 1, false, WideToUtf8(job.name), s.outpath, s.netpath,
                             scriptFolder, false, targets});
            NotifyJobStates();
            return;
        }
    }
    add_unidentified(7);
}
