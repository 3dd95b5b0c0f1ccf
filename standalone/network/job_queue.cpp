#include "standalone/network/job_queue.h"

#include "standalone/network/local_manager.h"
#include "standalone/network/slurm_queue.h"

#include <cstdlib>
#include <unistd.h>

FarmConfig& farmConfig() {
    static FarmConfig config = [] {
        FarmConfig c;
        c.kind = DefaultFarmKind();
        return c;
    }();
    return config;
}

FarmKind DefaultFarmKind() {
    const char* conf = std::getenv("SLURM_CONF");
    const bool slurm =
        (conf != nullptr && *conf != 0) || ::access("/etc/slurm/slurm.conf", R_OK) == 0;
    return slurm ? FarmKind::Slurm : FarmKind::Local;
}

std::unique_ptr<JobQueue> MakeJobQueue(const std::string& name, int port) {
    if (farmConfig().kind == FarmKind::Slurm) {
        return std::make_unique<SlurmQueue>(name, port);
    }
    return std::make_unique<LocalQueue>(name, port);
}

std::unique_ptr<JobQueue> SubmissionQueue() {
    const FarmConfig& farm = farmConfig();
    if (farm.kind == FarmKind::Slurm) {
        return std::make_unique<SlurmQueue>("", 0);
    }
    auto queue = std::make_unique<LocalQueue>("localhost", farm.localPort);
    if (farm.startLocal) {
        queue->EnsureRunning();
    }
    return queue;
}

std::string SafeJobName(const std::string& name) {
    std::string safe;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
        safe += ok ? c : '_';
    }
    return safe.empty() ? std::string("job") : safe;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

bool IsLocalHost(const std::string& name) {
    if (name == "localhost" || name == "127.0.0.1" || name == "::1" || name == ".") {
        return true;
    }
    char host[256] = {};
    return ::gethostname(host, sizeof host - 1) == 0 && name == host;
}

std::string EscapeField(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\\'   ? std::string("\\\\")
               : c == '\t' ? std::string("\\t")
               : c == '\n' ? std::string("\\n")
                           : std::string(1, c);
    }
    return out;
}

std::string UnescapeField(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char e = text[++i];
            out += e == 't' ? '\t' : e == 'n' ? '\n' : e;
        } else {
            out += text[i];
        }
    }
    return out;
}
