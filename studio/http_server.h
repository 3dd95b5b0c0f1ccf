// The studio's server: HTTP and WebSocket on one loopback port, run by one
// I/O thread. Requests pass the request guard first; the handler may answer
// later from any thread (the scene is exported on the user-interface
// thread), and messages to the page may be sent from any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

struct HttpReply {
    int status = 200;
    std::string type = "text/plain; charset=utf-8";
    std::string body;
};

class StudioServer {
  public:
    using Reply = std::function<void(HttpReply)>;
    struct Handlers {
        // A GET that passed the guard; `reply` may be called from any thread, once.
        std::function<void(const std::string& target, Reply reply)> get;
        // A text message from a page.
        std::function<void(const std::string& text)> message;
        // A page connected: it needs the whole state.
        std::function<void()> connected;
    };

    StudioServer(std::string token, Handlers handlers);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Listens on 127.0.0.1:port (0: a free port) and starts the I/O thread;
    // false with the reason when the port cannot be had.
    bool Start(int port, std::string& error);
    int port() const;
    // To every connected page.
    void Broadcast(const std::string& text);
    void Stop();

    // The largest request body, header block and page message taken.
    static constexpr std::size_t kMaxBody = 64 * 1024;
    static constexpr std::size_t kMaxHeader = 16 * 1024;
    static constexpr std::size_t kMaxMessage = 64 * 1024;

    // The server's state, which its sessions share.
    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};
