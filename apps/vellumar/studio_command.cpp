#include "apps/vellumar/studio_command.h"

#include "apps/vellumar/scene_io.h"
#include "plugin/module.h"
#include "settings/settings.h"
#include "studio/studio.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::atomic<bool> interrupted{false};
void on_interrupt(int) {
    interrupted = true;
}

// The desktop's opener, where there is a desktop; never waited for. The
// address holds the token, and another user can read a program's command
// line: the opener gets a file only this user can read, which sends the
// browser on. Returns that file's folder, to be removed at the end.
std::string open_in_browser(const std::string& address) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return "";
    }
    std::string folder =
        (std::filesystem::temp_directory_path() / "vellumar-studio-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) { // mode 0700
        return "";
    }
    const std::string page = folder + "/open.html";
    const int fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return folder;
    }
    const std::string html =
        "<!DOCTYPE html><meta http-equiv=\"refresh\" content=\"0; url=" + address +
        "\"><a href=\"" + address + "\">Vellumar Studio</a>\n";
    const bool written = ::write(fd, html.data(), html.size()) == static_cast<ssize_t>(html.size());
    ::close(fd);
    pid_t pid = 0;
    const char* argv[] = {"xdg-open", page.c_str(), nullptr};
    if (written &&
        posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
        // Reaped by a thread of its own: the rest of the tool waits for its
        // own children and must keep seeing their exit status.
        std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    }
    return folder;
}

} // namespace

int run_studio_command(const StudioCommand& cmd) {
    std::error_code ec;
    const std::filesystem::path root =
        std::filesystem::canonical(cmd.root.empty() ? "." : cmd.root, ec);
    if (ec || !std::filesystem::is_directory(root, ec)) {
        std::fprintf(stderr, "vellumar: --root '%s' is no folder\n", cmd.root.c_str());
        return 2;
    }
    StandaloneCore core(false);
    register_plugin_classes(core);
    core.SetHoldDisplayedImages(true);
    if (!cmd.scene.empty() && !open_and_select(core, cmd.scene, {}, cmd.up)) {
        return 2;
    }
    if (!cmd.options->apply(settings())) {
        print_messages(core);
        return 2;
    }
    settings().projection_camera = 0;
    core.ClearMessages();
    ClassEntry* utility = core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID);
    if (utility == nullptr || !core.ui().OpenUtility(utility->CD())) {
        std::fprintf(stderr, "vellumar: the plug-in offers no panel\n");
        return 2;
    }
    Studio studio(core, root, cmd.scene);
    std::string error;
    if (!studio.Listen(cmd.port, error)) {
        std::fprintf(stderr, "vellumar: %s\n", error.c_str());
        return 2;
    }
    std::printf("Vellumar Studio: %s\n", studio.address().c_str());
    std::fflush(stdout);
    const std::string opener = cmd.no_open ? "" : open_in_browser(studio.address());
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    const int status = studio.Run(interrupted);
    core.ui().CloseUtility();
    if (!opener.empty()) {
        std::filesystem::remove_all(opener, ec);
    }
    return status;
}
