#include "apps/vellumar/network_commands.h"

#include "apps/vellumar/scene_io.h"
#include "bake/render_selection.h"
#include "host/bake_properties.h"
#include "host/script.h"
#include "host/text.h"
#include "netrender/job_description.h"
#include "netrender/net_render.h"
#include "settings/settings.h"
#include "standalone/network/local_manager.h"
#include "standalone/network/network_rtt.h"

#include <boost/filesystem/operations.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <thread>
#include <unistd.h>

namespace fs = boost::filesystem;

namespace {

std::string extension_of(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string element_class_name(StandaloneCore& core, MaxBakeElement* e) {
    ClassEntry* entry =
        core.GetClassDirectory().FindClassEntry(BAKE_ELEMENT_CLASS_ID, e->ClassID());
    return entry != nullptr ? WideToUtf8(entry->CD()->ClassName()) : WideToUtf8(e->ElementName());
}

const char* state_name(std::uint32_t state) {
    switch (state) {
    case JOB_STATE_COMPLETE:
        return "complete";
    case JOB_STATE_WAITING:
        return "waiting";
    case JOB_STATE_BUSY:
        return "rendering";
    case JOB_STATE_ERROR:
        return "failed";
    case JOB_STATE_SUSPENDED:
        return "suspended";
    default:
        return "not identified";
    }
}

} // namespace

int run_render_job_command(const std::string& snapshot) {
    StandaloneCore core(false);
    register_plugin_classes(core);
    std::vector<INode*> meshes;
    if (!open_scene(core, snapshot, meshes)) {
        return 2;
    }
    // Images go beside the snapshot, in the folder the farm checked and ran
    // the job in, whatever the snapshot's own properties say.
    const std::string folder = fs::absolute(snapshot).parent_path().string() + "/";
    const std::string* type = core.scene().FileProperty("RTT_Default_FileType");
    const std::string defaultType = type != nullptr && !type->empty() ? *type : ".png";
    // The names the job's description expects: node name, element name,
    // the element's own extension.
    std::vector<std::string> expected;
    int width = 1, height = 1;
    for (int i = 0; i < core.GetSelNodeCount(); ++i) {
        INode* node = core.GetSelNode(i);
        auto* props =
            static_cast<INodeBakeProperties*>(node->GetInterface(NODE_BAKE_PROPERTIES_INTERFACE));
        for (int k = 0; props != nullptr && k < props->GetBakeElementCount(); ++k) {
            MaxBakeElement* e = props->GetBakeElement(k);
            std::string ext = extension_of(WideToUtf8(e->FileType()));
            const std::string name =
                PartFileName(WideToUtf8(node->GetName()), element_class_name(core, e),
                             ext.empty() ? defaultType : ext);
            e->SetFileType(Utf8ToWide(folder + name).c_str());
            e->GetOutputSz(width, height);
            if (e->IsEnabled() != 0) {
                expected.push_back(folder + name);
            }
        }
    }
    if (expected.empty()) {
        std::fprintf(stderr, "vellumar render-job: nothing to bake in '%s'\n", snapshot.c_str());
        return 1;
    }
    const int frame = core.GetTime() / core.GetTicksPerFrame();
    std::printf("render-job: baking %zu image%s of frame %d into %s\n", expected.size(),
                expected.size() == 1 ? "" : "s", frame, folder.c_str());
    std::fflush(stdout);
    const bool rendered =
        ExecuteMAXScriptScript(Utf8ToWide(RenderScript(width, height, frame)).c_str(), 0) != 0;
    print_messages(core);
    bool complete = rendered;
    // A texture the render server cannot read would bake a wrong map that
    // looks right; the job fails with the texture's name instead.
    for (const MessageRecord& m : core.messages()) {
        const std::string text = WideToUtf8(m.text);
        const std::string prefix = "Warning: Texture image ";
        if (text.rfind(prefix, 0) == 0) {
            std::fprintf(stderr, "vellumar render-job: %s\n", text.substr(9).c_str());
            complete = false;
        }
    }
    for (const std::string& image : expected) {
        boost::system::error_code ec;
        if (!fs::exists(image, ec)) {
            std::fprintf(stderr, "vellumar render-job: %s was not written\n", image.c_str());
            complete = false;
        }
    }
    if (!complete) {
        return 1;
    }
    // Done: the folder keeps only the images, which the merge then tidies.
    boost::system::error_code ec;
    fs::remove(snapshot, ec);
    fs::remove(fs::path(snapshot).parent_path() / kRenderLogName, ec);
    return 0;
}

int run_merge_command(const std::string& folder, const std::string& out) {
    StandaloneCore core(false);
    register_plugin_classes(core);
    const std::string allowed = out.empty() ? settings().outpath : out;
    boost::system::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        std::fprintf(stderr, "vellumar: no job folder '%s'\n", folder.c_str());
        return 2;
    }
    std::string withSeparator = folder;
    if (withSeparator.back() != '/' && withSeparator.back() != '\\') {
        withSeparator += '/';
    }
    const bool merged = MergeJob("", withSeparator, MergeTargets{{}, allowed});
    print_messages(core);
    return merged ? 0 : 1;
}

int run_manager_command(int port, int slots, int idleSeconds, const std::string& renderServer) {
    return RunLocalManager({port, slots, idleSeconds, renderServer});
}

namespace {

// Set from the signal handler, read by the waiting loop; a lock-free atomic
// is safe in both, whichever thread the signal lands on.
std::atomic<int> interrupted{0};
void on_interrupt(int) {
    interrupted = 1;
}

// Ctrl+C while waiting takes the submitted jobs off the farm: nobody would
// merge what they make. Their folders stay for a merge by hand.
bool cancel_on_interrupt(NetRender& net) {
    if (interrupted == 0) {
        return false;
    }
    const int cancelled = net.CancelOpenJobs();
    std::fprintf(stderr,
                 "vellumar: interrupted; %d job%s cancelled on the farm. Their folders stay; "
                 "`vellumar merge FOLDER` merges one whose images are complete.\n",
                 cancelled, cancelled == 1 ? "" : "s");
    return true;
}

} // namespace

bool wait_for_jobs() {
    NetRender& net = netRender();
    std::map<std::size_t, std::uint32_t> shown;
    interrupted = 0;
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous);
    struct Restore {
        struct sigaction old;
        ~Restore() { ::sigaction(SIGINT, &old, nullptr); }
    } restore{previous};
    for (;;) {
        if (cancel_on_interrupt(net)) {
            return false;
        }
        const std::vector<MonitoredJob> jobs = net.Jobs();
        bool open = false;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const MonitoredJob& job = jobs[i];
            const auto seen = shown.find(i);
            if (seen == shown.end() || seen->second != job.state) {
                std::printf("job %s: %s\n", job.name.c_str(), state_name(job.state));
                std::fflush(stdout);
                shown[i] = job.state;
            }
            open = open || !job.processed;
        }
        if (!open) {
            return std::all_of(jobs.begin(), jobs.end(),
                               [](const MonitoredJob& j) { return j.merged; });
        }
        if (!net.connected()) {
            std::fprintf(stderr, "vellumar: the manager is gone; once the jobs have finished, "
                                 "merge their folders with `vellumar merge FOLDER`\n");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}
