#include "studio/http_server.h"

#include "studio/request_guard.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

class WsSession;

} // namespace

struct StudioServer::Impl {
    std::string token;
    Handlers handlers;
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    std::thread thread;
    int port = 0;
    std::mutex sessions_mutex;
    std::set<std::shared_ptr<WsSession>> sessions;

    void accept();
};

namespace {

class WsSession : public std::enable_shared_from_this<WsSession> {
  public:
    WsSession(tcp::socket&& socket, StudioServer::Impl& server)
        : ws_(std::move(socket)), server_(server) {}

    void run(http::request<http::string_body> request) {
        ws_.read_message_max(StudioServer::kMaxMessage);
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
            if (ec) {
                return;
            }
            {
                std::lock_guard lock(self->server_.sessions_mutex);
                self->server_.sessions.insert(self);
            }
            if (self->server_.handlers.connected) {
                self->server_.handlers.connected();
            }
            self->read();
        });
    }

    // From any thread.
    void send(std::shared_ptr<const std::string> text) {
        net::post(ws_.get_executor(), [self = shared_from_this(), text] {
            self->queue_.push_back(text);
            if (self->queue_.size() == 1) {
                self->write();
            }
        });
    }

  private:
    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec) {
                self->close();
                return;
            }
            if (self->ws_.got_text() && self->server_.handlers.message) {
                self->server_.handlers.message(beast::buffers_to_string(self->buffer_.data()));
            }
            self->buffer_.consume(self->buffer_.size());
            self->read();
        });
    }
    void write() {
        ws_.text(true);
        ws_.async_write(net::buffer(*queue_.front()),
                        [self = shared_from_this()](beast::error_code ec, std::size_t) {
                            if (ec) {
                                self->close();
                                return;
                            }
                            self->queue_.pop_front();
                            if (!self->queue_.empty()) {
                                self->write();
                            }
                        });
    }
    void close() {
        std::lock_guard lock(server_.sessions_mutex);
        server_.sessions.erase(shared_from_this());
    }

    websocket::stream<beast::tcp_stream> ws_;
    StudioServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::deque<std::shared_ptr<const std::string>> queue_;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    HttpSession(tcp::socket&& socket, StudioServer::Impl& server)
        : stream_(std::move(socket)), server_(server) {}

    void run() {
        parser_.emplace();
        parser_->body_limit(StudioServer::kMaxBody);
        parser_->header_limit(StudioServer::kMaxHeader);
        stream_.expires_after(std::chrono::seconds(30));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             if (!ec) {
                                 self->serve(self->parser_->release());
                             } else if (ec == http::error::body_limit ||
                                        ec == http::error::header_limit) {
                                 self->send({413, "text/plain", "request too large"}, false);
                             }
                         });
    }

  private:
    void serve(http::request<http::string_body> request) {
        const std::string host(request[http::field::host]);
        const std::string origin(request[http::field::origin]);
        const std::string target(request.target());
        const Refusal refusal = CheckRequest(host, origin, target, server_.token, server_.port);
        if (refusal != Refusal::None) {
            static const char* why[] = {"", "wrong host", "foreign origin", "no valid token"};
            send({403, "text/plain", std::string("refused: ") + why[static_cast<int>(refusal)]},
                 false);
            return;
        }
        if (websocket::is_upgrade(request)) {
            if (TargetPath(target) != "/ws" || origin.empty()) {
                send({403, "text/plain", "refused: no origin"}, false);
                return;
            }
            stream_.expires_never();
            std::make_shared<WsSession>(stream_.release_socket(), server_)->run(std::move(request));
            return;
        }
        if (request.method() != http::verb::get) {
            send({405, "text/plain", "only GET"}, request.keep_alive());
            return;
        }
        const bool keep = request.keep_alive();
        server_.handlers.get(target, [self = shared_from_this(), keep](HttpReply reply) {
            net::post(self->stream_.get_executor(),
                      [self, keep, reply = std::move(reply)]() mutable {
                          self->send(std::move(reply), keep);
                      });
        });
    }

    void send(HttpReply reply, bool keep) {
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(reply.status), 11);
        response->set(http::field::content_type, reply.type);
        response->set(http::field::cache_control, "no-store");
        response->set("X-Content-Type-Options", "nosniff");
        response->set("Content-Security-Policy",
                      "default-src 'self'; img-src 'self' data: blob:; connect-src 'self' "
                      "ws://127.0.0.1:* ws://localhost:*; style-src 'self' 'unsafe-inline'");
        response->keep_alive(keep);
        response->body() = std::move(reply.body);
        response->prepare_payload();
        // The reading deadline is long past when the answer waited for the
        // user-interface thread; the write gets its own.
        stream_.expires_after(std::chrono::seconds(30));
        http::async_write(
            stream_, *response,
            [self = shared_from_this(), response, keep](beast::error_code ec, std::size_t) {
                if (!ec && keep) {
                    self->buffer_.consume(self->buffer_.size());
                    self->run();
                } else {
                    beast::error_code ignored;
                    self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                }
            });
    }

    beast::tcp_stream stream_;
    StudioServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
};

} // namespace

void StudioServer::Impl::accept() {
    acceptor.async_accept(net::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted) {
            return;
        }
        if (!ec) {
            // Small messages go out at once: a state answering a click
            // must not wait for the page's acknowledgement.
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), *this)->run();
        }
        accept();
    });
}

StudioServer::StudioServer(std::string token, Handlers handlers) : impl_(std::make_unique<Impl>()) {
    impl_->token = std::move(token);
    impl_->handlers = std::move(handlers);
}

StudioServer::~StudioServer() {
    Stop();
}

bool StudioServer::Start(int port, std::string& error) {
    beast::error_code ec;
    const tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"),
                                 static_cast<unsigned short>(port));
    impl_->acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        impl_->acceptor.set_option(net::socket_base::reuse_address(true), ec);
    }
    if (!ec) {
        impl_->acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        impl_->acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + ec.message();
        return false;
    }
    impl_->port = impl_->acceptor.local_endpoint().port();
    impl_->accept();
    impl_->thread = std::thread([this] { impl_->io.run(); });
    return true;
}

int StudioServer::port() const {
    return impl_->port;
}

void StudioServer::Broadcast(const std::string& text) {
    auto shared = std::make_shared<const std::string>(text);
    std::lock_guard lock(impl_->sessions_mutex);
    for (const auto& s : impl_->sessions) {
        s->send(shared);
    }
}

void StudioServer::Stop() {
    if (!impl_->thread.joinable()) {
        return;
    }
    impl_->io.stop();
    impl_->thread.join();
    std::lock_guard lock(impl_->sessions_mutex);
    impl_->sessions.clear();
}
