// Vellumar Studio: the standalone host's panel and scene in a browser page.
// The user-interface thread runs the host, the plug-in and every action the
// page sends, one at a time; the server's thread only carries requests and
// messages. Modal dialogs and the host's selectors wait for the page's next
// action as they would for the user's.
#pragma once

#include "standalone/core.h"
#include "studio/http_server.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class Studio {
  public:
    // `root`: the folder the page's file browser may show; `scenePath`: where
    // the scene came from (a .vlscene is saved back there only when asked).
    Studio(StandaloneCore& core, std::filesystem::path root, std::string scenePath);
    ~Studio();
    Studio(const Studio&) = delete;
    Studio& operator=(const Studio&) = delete;

    // Listens (0: a free port); false with the reason.
    bool Listen(int port, std::string& error);
    std::string address() const;
    // Runs until the page quits or `stop` is set (Ctrl+C). 0, or 1 when the
    // scene had changes nobody saved.
    int Run(const std::atomic<bool>& stop);

    // Handles one page message as the server's thread does; for tests.
    void Receive(const std::string& text) { on_message(text); }

  private:
    struct Work {
        std::function<void()> run;
        bool action = false; // a user's action, not a request for data
        bool answer = false; // the answer to a waiting selector
    };
    void post(Work work);
    // Runs one item, waiting at most `wait`; the kind run, or none.
    enum class Ran { Nothing, Task, Action };
    Ran run_one(std::chrono::milliseconds wait);
    bool pump(); // the modal pump: until the next action
    void on_message(const std::string& text);
    void on_get(const std::string& target, StudioServer::Reply reply);
    void execute(const std::string& text);
    void flush(bool afterAction);
    void send_scene_state();
    void resend();
    std::string scene_glb(bool baked);
    std::uint64_t scene_hash();
    void send(const std::string& json) { server_.Broadcast(json); }
    void error(const std::string& text);

    StandaloneCore& core_;
    std::filesystem::path root_;
    std::string scene_path_;
    std::string token_;
    StudioServer server_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Work> queue_;
    std::atomic<bool> quit_{false};
    const std::atomic<bool>* stop_ = nullptr;
    std::uint64_t sent_seq_ = ~0ull;
    std::uint64_t saved_hash_ = 0;
    std::uint64_t shown_hash_ = 0;
    int scene_version_ = 0;
    std::string shown_nodes_;
    int last_percent_ = -1;
};
