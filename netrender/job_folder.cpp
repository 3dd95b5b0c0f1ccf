#include "netrender/job_folder.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

#include <chrono>

namespace {

std::string scene_name() {
    Interface* ip = GetCOREInterface();
    const MCHAR* name = ip != nullptr ? ip->GetCurFileName() : nullptr;
    return name != nullptr && *name != 0 ? WideToUtf8(name) : "Untitled";
}

std::string tick_count() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace

std::string JobFolder(int mapCount, int mapIndex) {
    UnwrapSettings& s = settings();
    if (s.job_name.empty()) {
        s.job_name = scene_name() + "_" + tick_count();
    }
    std::string name = s.job_name;
    if (mapCount > 1) {
        name += "_" + std::to_string(mapIndex);
    }
    return s.netpath + "\\" + name + "\\";
}

std::string ScriptFolder(const std::string& folder) {
    const std::size_t at = folder.find('\\');
    return at == std::string::npos ? folder : folder.substr(0, at) + "\\" + folder.substr(at);
}

std::string PlainFolder(const std::string& scriptFolder) {
    const std::size_t at = scriptFolder.find("\\\\");
    return at == std::string::npos ? scriptFolder
                                   : scriptFolder.substr(0, at) + scriptFolder.substr(at + 1);
}
