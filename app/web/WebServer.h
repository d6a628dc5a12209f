// The web view's server: the cards and the link health over HTTP, read from
// the station's published snapshots on a thread of its own. One thread serves
// every connection (asynchronous I/O), so long-lived card streams take no
// thread each. Nothing it does changes the station.
#ifndef TORVANE_APP_WEB_WEBSERVER_H_
#define TORVANE_APP_WEB_WEBSERVER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "HealthReport.h"
#include "StationSnapshots.h"

namespace torvane {

struct WebServerOptions {
  std::string bind = "127.0.0.1";
  uint16_t port = 0;  // 0: any free port (tests)
  // Connections past this many get 503 and are closed.
  size_t maxConnections = 1024;
  // A request's header must arrive whole within this; an idle connection is
  // closed after it.
  int requestTimeoutMs = 10000;
  // A write that the client does not take within this closes the connection.
  int writeTimeoutMs = 10000;
  // Card streams: how often the snapshots are looked at, how often a silent
  // stream gets a comment (so a dead phone is found), and how many unsent
  // messages a stream may fall behind before it is closed.
  int pollMs = 100;
  int heartbeatMs = 5000;
  size_t maxQueuedMessages = 16;
  // The kernel's send buffer per connection: what a phone that stopped
  // reading can hold up, beside the queue.
  int sendBufferBytes = 64 * 1024;
};

class WebServer {
 public:
  WebServer(std::shared_ptr<const StationSnapshots> snapshots, WebServerOptions options = {});
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds, listens and starts serving; false with *error set when the address
  // cannot be had. Once only.
  bool Start(std::string* error);
  // Closes every connection and joins the thread; the destructor calls it.
  void Stop();

  uint16_t Port() const;
  // "http://127.0.0.1:8080/".
  std::string Address() const;
  WebFigures Figures() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane

#endif  // TORVANE_APP_WEB_WEBSERVER_H_
