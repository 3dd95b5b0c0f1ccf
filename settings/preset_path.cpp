// The default preset's place on this operating system: the user's
// configuration folder stands in for the shared documents folder.
#include "settings/settings.h"

#include <boost/filesystem.hpp>

#include <cstdlib>

namespace {

const char* kDefaultPresetName = "VellumarDefault.vl";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

} // namespace

std::string DefaultPresetPath() {
    const std::string chosen = env("VELLUMAR_DEFAULT_PRESET");
    if (!chosen.empty()) {
        return chosen;
    }
    std::string folder = env("XDG_CONFIG_HOME");
    if (folder.empty() || folder[0] != '/') { // relative values are to be ignored
        const std::string home = env("HOME");
        folder = home.empty() ? "" : home + "/.config";
    }
    if (folder.empty()) {
        return kDefaultPresetName;
    }
    folder += "/Tavik";
    boost::system::error_code ec;
    boost::filesystem::create_directories(folder, ec);
    return folder + "/" + kDefaultPresetName;
}
