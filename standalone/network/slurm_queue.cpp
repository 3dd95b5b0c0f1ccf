// Slurm behind the job queue, driven through its command-line tools. The
// tools find the cluster through SLURM_CONF (or /etc/slurm/slurm.conf); the
// manager name and port a user gives must be that cluster's controller.
#include "standalone/network/slurm_queue.h"
#include "standalone/network/child_process.h"

#include "host/text.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string conf_path() {
    const char* env = std::getenv("SLURM_CONF");
    return env != nullptr && *env != 0 ? env : "/etc/slurm/slurm.conf";
}

std::string trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r\n");
    const std::size_t b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

[[noreturn]] void fail(int code, const std::string& text) {
    throw MaxNet(code, Utf8ToWide(text));
}

// The tool's own words when it fails, else the exit status.
std::string failure_text(const std::string& tool, const ProcessResult& r) {
    if (!r.started) {
        return tool + " could not be run (is Slurm installed?)";
    }
    const std::string said = trim(r.err.empty() ? r.out : r.err);
    return tool + ": " + (said.empty() ? "exit status " + std::to_string(r.exitCode) : said);
}

// Every Slurm tool is told the configuration it is to use: without one, a
// client looks for a default controller on the network.
ProcessResult slurm(const std::vector<std::string>& argv) {
    if (!ReadSlurmController().found) {
        fail(MAXNET_ERR_CONNECT, "no Slurm cluster is configured (no " + conf_path() +
                                     "; set SLURM_CONF to the cluster's slurm.conf)");
    }
    return RunProcess(argv, {"SLURM_CONF=" + conf_path()});
}

} // namespace

std::string SlurmConfigPath() {
    return conf_path();
}

SlurmController ReadSlurmController() {
    SlurmController c;
    std::ifstream in(conf_path());
    if (!in) {
        return c;
    }
    c.found = true;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line.substr(0, line.find('#')));
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string key = trim(line.substr(0, eq));
        for (char& ch : key) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        const std::string value = trim(line.substr(eq + 1));
        if ((key == "slurmctldhost" || key == "controlmachine") && c.host.empty()) {
            c.host = value.substr(0, value.find('('));
        } else if (key == "slurmctldport") {
            c.port = std::atoi(value.c_str());
        }
    }
    return c;
}

SlurmQueue::SlurmQueue(std::string name, int port) : name_(std::move(name)), port_(port) {}

void SlurmQueue::Ping() {
    const SlurmController c = ReadSlurmController();
    if (!c.found) {
        fail(MAXNET_ERR_CONNECT, "no Slurm configuration at " + conf_path());
    }
    const bool same_host = c.host == name_ || (IsLocalHost(c.host) && IsLocalHost(name_));
    if (!name_.empty() && (!same_host || (port_ > 0 && c.port != port_))) {
        fail(MAXNET_ERR_CONNECT, "the Slurm controller is " + c.host + ":" +
                                     std::to_string(c.port) + ", not " + name_ + ":" +
                                     std::to_string(port_));
    }
    const ProcessResult r = slurm({"scontrol", "ping"});
    if (r.exitCode != 0 || r.out.find("is UP") == std::string::npos) {
        fail(MAXNET_ERR_CONNECT, failure_text("scontrol ping", r));
    }
}

HJOB SlurmQueue::Submit(const JobSubmission& job) {
    // Slurm runs a job whose folder is missing in /tmp instead, so the
    // command checks its folder itself.
    const ProcessResult r =
        slurm({"sbatch", "--parsable", "-J", SafeJobName(job.name), "--chdir", job.folder, "-o",
               job.log, "--wrap", "cd " + ShellQuote(job.folder) + " || exit 1\n" + job.command});
    const std::string id = trim(r.out.substr(0, r.out.find(';')));
    if (r.exitCode != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
        fail(MAXNET_ERR_SUBMIT, failure_text("sbatch", r));
    }
    return static_cast<HJOB>(std::stoul(id));
}

std::vector<JobList> SlurmQueue::List() {
    // Without "-t all" finished jobs are not listed, and a job that is
    // watched for its end would never be seen ending.
    const ProcessResult r = slurm({"squeue", "-t", "all", "-h", "-o", "%i|%T|%j"});
    if (r.exitCode != 0) {
        fail(MAXNET_ERR_CONNECT, failure_text("squeue", r));
    }
    std::vector<JobList> jobs;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t a = line.find('|');
        const std::size_t b = a == std::string::npos ? a : line.find('|', a + 1);
        if (b == std::string::npos) {
            continue;
        }
        const std::string id = line.substr(0, a);
        if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
            continue; // array tasks and the like are not jobs we submit
        }
        jobs.push_back({static_cast<HJOB>(std::stoul(id)), Utf8ToWide(line.substr(b + 1)),
                        SlurmJobState(line.substr(a + 1, b - a - 1))});
    }
    return jobs;
}

void SlurmQueue::Cancel(HJOB job) {
    const ProcessResult r = slurm({"scancel", std::to_string(job)});
    if (r.exitCode != 0) {
        fail(MAXNET_ERR_CONNECT, failure_text("scancel", r));
    }
}

std::optional<std::string> SlurmQueue::Find(int port) {
    const SlurmController c = ReadSlurmController();
    if (!c.found || c.port != port) {
        return std::nullopt;
    }
    const ProcessResult r = RunProcess({"scontrol", "ping"}, {"SLURM_CONF=" + conf_path()});
    if (r.exitCode != 0 || r.out.find("is UP") == std::string::npos) {
        return std::nullopt;
    }
    return c.host;
}

std::uint32_t SlurmJobState(const std::string& state) {
    if (state == "COMPLETED") {
        return JOB_STATE_COMPLETE;
    }
    if (state == "PENDING" || state == "CONFIGURING" || state == "REQUEUED" ||
        state == "REQUEUE_HOLD" || state == "RESV_DEL_HOLD") {
        return JOB_STATE_WAITING;
    }
    if (state == "RUNNING" || state == "COMPLETING" || state == "STAGE_OUT" ||
        state == "RESIZING" || state == "SIGNALING") {
        return JOB_STATE_BUSY;
    }
    if (state == "SUSPENDED" || state == "STOPPED") {
        return JOB_STATE_SUSPENDED;
    }
    // FAILED, CANCELLED, TIMEOUT, NODE_FAIL, OUT_OF_MEMORY, BOOT_FAIL,
    // DEADLINE, PREEMPTED: the job ended without its images.
    return JOB_STATE_ERROR;
}
