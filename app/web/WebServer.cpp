#include "WebServer.h"

#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <deque>
#include <limits>
#include <list>
#include <optional>
#include <thread>

#include "CardsPage.h"
#include "CardsRenderer.h"

namespace torvane {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Message = std::shared_ptr<const std::string>;

// Start line and headers together; a browser's are well under 2 KB.
constexpr uint32_t kHeaderLimit = 8 * 1024;
constexpr size_t kTargetLimit = 1024;

constexpr std::string_view kRefused =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 20\r\n"
    "Connection: close\r\nRetry-After: 5\r\n\r\ntoo many connections";

constexpr std::string_view kStreamHeader =
    "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\nConnection: keep-alive\r\n\r\nretry: 1000\n\n";

std::string EventOf(uint64_t sequence, const std::string& json) {
  return "id: " + std::to_string(sequence) + "\ndata: " + json + "\n\n";
}

}  // namespace

class WebServer::Impl {
 public:
  class Session;

  Impl(std::shared_ptr<const StationSnapshots> snapshots, WebServerOptions options)
      : snapshots_(std::move(snapshots)), options_(std::move(options)) {}
  ~Impl() {
    Stop();
    // Their sockets go while the io_context they belong to is still there.
    streams_.clear();
  }

  bool Start(std::string* error);
  void Stop();
  WebFigures Figures() const;

  // Everything below runs on the server's thread.
  void Accept();
  void Poll();
  // The card stream's first message for a new viewer.
  Message FullEvent() const { return fullEvent_; }
  void AddStream(const std::shared_ptr<Session>& session) { streams_.push_back(session); }
  void Broadcast(const Message& message);
  std::string Body(const std::string& path, const char** contentType) const;

  std::shared_ptr<const StationSnapshots> snapshots_;
  const WebServerOptions options_;
  std::atomic<uint64_t> connections_{0};
  std::atomic<uint64_t> eventStreams_{0};
  std::atomic<uint64_t> requests_{0};
  std::atomic<uint64_t> refused_{0};
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> acceptFailures_{0};
  static constexpr int kAcceptPauseMs = 100;
  std::atomic<uint64_t> cardSequence_{0};
  std::atomic<uint16_t> port_{0};
  std::list<std::shared_ptr<Session>> streams_;
  CardsRenderer renderer_;
  Message fullEvent_;
  Message heartbeat_ = std::make_shared<const std::string>(": still here\n\n");
  std::chrono::steady_clock::time_point lastSent_ = std::chrono::steady_clock::now();
  bool started_ = false;

  // Destroyed before the state above: handlers still queued hold sessions,
  // and a session's destructor counts itself out.
  net::io_context ioc_{1};
  tcp::acceptor acceptor_{ioc_};
  net::steady_timer poll_{ioc_};
  net::steady_timer acceptPause_{ioc_};
  std::thread thread_;
};

class WebServer::Impl::Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Impl& server, tcp::socket socket) : server_(server), stream_(std::move(socket)) {
    ++server_.connections_;
  }
  ~Session() {
    --server_.connections_;
    if (streaming_) --server_.eventStreams_;
  }

  void ReadRequest() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    // A body is never read; its size matters only for the answer.
    parser_->body_limit(std::numeric_limits<uint64_t>::max());
    stream_.expires_after(std::chrono::milliseconds(server_.options_.requestTimeoutMs));
    http::async_read_header(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, size_t) { self->OnHeader(ec); });
  }

  bool Closed() const { return closed_; }

  // Queues a card stream message; a viewer too far behind is let go, and its
  // browser comes back for the whole card.
  void Send(const Message& message) {
    if (closed_) return;
    if (queue_.size() >= server_.options_.maxQueuedMessages) {
      ++server_.dropped_;
      Close();
      return;
    }
    queue_.push_back(message);
    if (!writing_) WriteNext();
  }

 private:
  void OnHeader(beast::error_code ec) {
    if (ec == http::error::end_of_stream || ec == net::error::eof ||
        ec == net::error::connection_reset) {
      return Close();
    }
    if (ec == beast::error::timeout) {
      // Idle between requests is ordinary; a header that never ends is not.
      if (buffer_.size() > 0) ++server_.dropped_;
      return Close();
    }
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
      ++server_.dropped_;
      return Answer(Simple(http::status::request_header_fields_too_large, "header too large\n"),
                    true);
    }
    if (ec) {
      ++server_.dropped_;
      return Answer(Simple(http::status::bad_request, "bad request\n"), true);
    }
    const auto& request = parser_->get();
    version_ = request.version();
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      auto response = Simple(http::status::method_not_allowed, "only GET and HEAD\n");
      response.set(http::field::allow, "GET, HEAD");
      return Answer(std::move(response), true);
    }
    if (!parser_->is_done()) {
      // A body on a GET: not read, so the connection cannot go on.
      return Answer(Simple(http::status::bad_request, "no body expected\n"), true);
    }
    ++server_.requests_;
    const bool head = request.method() == http::verb::head;
    const bool keepAlive = request.keep_alive();
    std::string_view target = request.target();
    if (target.size() > kTargetLimit) {
      return Answer(Simple(http::status::uri_too_long, "target too long\n"), true);
    }
    const std::string path(target.substr(0, target.find('?')));
    if (path == "/events") {
      if (head) {
        auto response = Simple(http::status::ok, "");
        response.set(http::field::content_type, "text/event-stream");
        return Answer(std::move(response), !keepAlive);
      }
      return StartStream();
    }
    const char* contentType = nullptr;
    std::string body = server_.Body(path, &contentType);
    auto response = contentType == nullptr ? Simple(http::status::not_found, "not found\n")
                                           : Simple(http::status::ok, std::move(body));
    if (contentType != nullptr) response.set(http::field::content_type, contentType);
    if (head) {
      const size_t length = response.body().size();
      response.body().clear();
      response.content_length(length);
    }
    Answer(std::move(response), !keepAlive);
  }

  http::response<http::string_body> Simple(http::status status, std::string body) {
    http::response<http::string_body> response{status, version_ == 10 ? 10 : 11};
    response.set(http::field::server, "TorvaneTX");
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
  }

  void Answer(http::response<http::string_body>&& response, bool close) {
    response.keep_alive(!close);
    auto message = std::make_shared<http::response<http::string_body>>(std::move(response));
    stream_.expires_after(std::chrono::milliseconds(server_.options_.writeTimeoutMs));
    http::async_write(stream_, *message,
                      [self = shared_from_this(), message, close](beast::error_code ec, size_t) {
                        if (ec == beast::error::timeout) ++self->server_.dropped_;
                        if (ec || close) return self->Close();
                        self->ReadRequest();
                      });
  }

  void StartStream() {
    streaming_ = true;
    ++server_.eventStreams_;
    parser_.reset();
    buffer_.clear();
    buffer_.shrink_to_fit();
    server_.AddStream(shared_from_this());
    Send(std::make_shared<const std::string>(kStreamHeader));
    Send(server_.FullEvent());
  }

  void WriteNext() {
    writing_ = true;
    stream_.expires_after(std::chrono::milliseconds(server_.options_.writeTimeoutMs));
    // The handler keeps the message: a write the system still holds (Windows'
    // overlapped I/O) reads it until the handler runs, even after a close.
    const Message message = queue_.front();
    net::async_write(stream_, net::buffer(*message),
                     [self = shared_from_this(), message](beast::error_code ec, size_t) {
                       self->writing_ = false;
                       if (ec) {
                         if (ec == beast::error::timeout) ++self->server_.dropped_;
                         return self->Close();
                       }
                       self->queue_.pop_front();
                       if (!self->queue_.empty() && !self->closed_) self->WriteNext();
                     });
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
  }

  Impl& server_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_{2 * kHeaderLimit};
  std::optional<http::request_parser<http::empty_body>> parser_;
  unsigned version_ = 11;
  bool streaming_ = false;
  bool writing_ = false;
  bool closed_ = false;
  std::deque<Message> queue_;
};

bool WebServer::Impl::Start(std::string* error) {
  const std::string where = options_.bind + ":" + std::to_string(options_.port);
  beast::error_code ec;
  const net::ip::address address = net::ip::make_address(options_.bind, ec);
  if (ec) {
    *error = "cannot serve the web view on " + where + ": not an IP address";
    return false;
  }
  const tcp::endpoint endpoint(address, options_.port);
  acceptor_.open(endpoint.protocol(), ec);
#ifndef _WIN32
  // A restart binds again past the last run's closing connections. (On
  // Windows the option would let another program take the port from us.)
  if (!ec) acceptor_.set_option(net::socket_base::reuse_address(true), ec);
#endif
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
  if (ec) {
    *error = "cannot serve the web view on " + where + ": " + ec.message();
    beast::error_code ignored;
    acceptor_.close(ignored);
    return false;
  }
  port_ = acceptor_.local_endpoint(ec).port();
  renderer_.Update(*snapshots_->Cards());
  fullEvent_ = std::make_shared<const std::string>(EventOf(renderer_.Sequence(), renderer_.Full()));
  cardSequence_ = renderer_.Sequence();
  Accept();
  Poll();
  started_ = true;
  thread_ = std::thread([this] { ioc_.run(); });
  return true;
}

void WebServer::Impl::Stop() {
  if (!started_) return;
  started_ = false;
  ioc_.stop();
  thread_.join();
}

WebFigures WebServer::Impl::Figures() const {
  WebFigures figures;
  figures.connections = connections_;
  figures.eventStreams = eventStreams_;
  figures.requests = requests_;
  figures.refused = refused_;
  figures.dropped = dropped_;
  figures.acceptFailures = acceptFailures_;
  figures.cardSequence = cardSequence_;
  return figures;
}

void WebServer::Impl::Accept() {
  acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted) return;
    if (!ec) {
      if (connections_ >= options_.maxConnections) {
        ++refused_;
        auto refused = std::make_shared<tcp::socket>(std::move(socket));
        net::async_write(*refused, net::buffer(kRefused), [refused](beast::error_code, size_t) {
          beast::error_code ignored;
          refused->shutdown(tcp::socket::shutdown_both, ignored);
          refused->close(ignored);
        });
      } else {
        beast::error_code ignored;
        socket.set_option(net::socket_base::send_buffer_size(options_.sendBufferBytes), ignored);
        socket.set_option(tcp::no_delay(true), ignored);
        std::make_shared<Session>(*this, std::move(socket))->ReadRequest();
      }
    }
    if (!ec) {
      Accept();
      return;
    }
    // Out of descriptors and the like: the waiting connection stays in the
    // backlog and would fail again at once, so pause before the next try
    // rather than spin the thread.
    ++acceptFailures_;
    acceptPause_.expires_after(std::chrono::milliseconds(kAcceptPauseMs));
    acceptPause_.async_wait([this](beast::error_code wait) {
      if (!wait) Accept();
    });
  });
}

void WebServer::Impl::Poll() {
  poll_.expires_after(std::chrono::milliseconds(options_.pollMs));
  poll_.async_wait([this](beast::error_code ec) {
    if (ec) return;
    const auto now = std::chrono::steady_clock::now();
    if (renderer_.Update(*snapshots_->Cards())) {
      const uint64_t sequence = renderer_.Sequence();
      fullEvent_ = std::make_shared<const std::string>(EventOf(sequence, renderer_.Full()));
      cardSequence_ = sequence;
      Broadcast(std::make_shared<const std::string>(EventOf(sequence, renderer_.Delta())));
      lastSent_ = now;
    } else if (now - lastSent_ >= std::chrono::milliseconds(options_.heartbeatMs)) {
      Broadcast(heartbeat_);
      lastSent_ = now;
    }
    Poll();
  });
}

void WebServer::Impl::Broadcast(const Message& message) {
  for (auto it = streams_.begin(); it != streams_.end();) {
    if ((*it)->Closed()) {
      it = streams_.erase(it);
    } else {
      (*it)->Send(message);
      ++it;
    }
  }
}

std::string WebServer::Impl::Body(const std::string& path, const char** contentType) const {
  if (path == "/" || path == "/index.html") {
    *contentType = "text/html; charset=utf-8";
    return std::string(CardsPageHtml());
  }
  if (path == "/cards.json") {
    *contentType = "application/json";
    return renderer_.Full();
  }
  const std::shared_ptr<const HealthSnapshot> health = snapshots_->Health();
  if (path == "/status") {
    *contentType = "text/html; charset=utf-8";
    return StatusHtml(*health, Figures());
  }
  if (path == "/status.json") {
    *contentType = "application/json";
    return StatusJson(*health, Figures());
  }
  if (path == "/metrics") {
    *contentType = "text/plain; version=0.0.4; charset=utf-8";
    return MetricsText(*health, Figures());
  }
  *contentType = nullptr;
  return {};
}

WebServer::WebServer(std::shared_ptr<const StationSnapshots> snapshots, WebServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(snapshots), std::move(options))) {}

WebServer::~WebServer() { Stop(); }

bool WebServer::Start(std::string* error) { return impl_->Start(error); }

void WebServer::Stop() { impl_->Stop(); }

uint16_t WebServer::Port() const { return impl_->port_; }

std::string WebServer::Address() const {
  return "http://" + impl_->options_.bind + ":" + std::to_string(Port()) + "/";
}

WebFigures WebServer::Figures() const { return impl_->Figures(); }

}  // namespace torvane
