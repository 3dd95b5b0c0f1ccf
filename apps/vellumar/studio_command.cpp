#include "apps/vellumar/studio_command.h"

#include "apps/vellumar/scene_io.h"
#include "plugin/module.h"
#include "settings/settings.h"
#include "studio/studio.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::atomic<bool> interrupted{false};
void on_interrupt(int) {
    interrupted = true;
}

// The desktop's opener, where there is a desktop; never waited for.
void open_in_browser(const std::string& address) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return;
    }
    pid_t pid = 0;
    const char* argv[] = {"xdg-open", address.c_str(), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) == 0) {
        // Reaped when it ends, so that it leaves no zombie.
        std::signal(SIGCHLD, SIG_IGN);
    }
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
    if (!cmd.no_open) {
        open_in_browser(studio.address());
    }
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    const int status = studio.Run(interrupted);
    core.ui().CloseUtility();
    return status;
}
