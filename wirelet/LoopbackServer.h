// Test peers on 127.0.0.1: a TCP server whose connections run a script on a
// thread of their own, and a one-shot signal to keep the script in step with
// the test. Used by the engine, control and proxy tests.
#ifndef TORVANE_WIRELET_LOOPBACKSERVER_H_
#define TORVANE_WIRELET_LOOPBACKSERVER_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace torvane::testing {

// The server side of one accepted connection. Every receive gives up after
// timeoutMs, so a script never blocks a test for long.
class Peer {
 public:
  // stop, when given, ends every wait early once it turns true.
  explicit Peer(intptr_t fd, const std::atomic<bool>* stop = nullptr) : fd_(fd), stop_(stop) {}
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool Send(std::string_view bytes);
  // Exactly n bytes, or fewer when the connection ends or time runs out.
  std::string ReceiveExactly(size_t n, int timeoutMs = 5000);
  // Up to and including marker.
  std::string ReceiveUntil(std::string_view marker, int timeoutMs = 5000);
  // Everything until the client closes.
  std::string ReceiveAll(int timeoutMs = 5000);
  // Waits for the client to close: 0 for a normal close, the error of a
  // reset (errno, or the WinSock code on Windows), or -1 when time runs out.
  int WaitClosed(int timeoutMs = 5000);
  // Closes with a reset (RST) instead of a normal close.
  void Reset();
  void Close();
  intptr_t Fd() const { return fd_; }

 private:
  bool WaitReadable(std::chrono::steady_clock::time_point end) const;

  intptr_t fd_;  // a socket of the system, -1 when closed
  const std::atomic<bool>* stop_;
};

class LoopbackServer {
 public:
  using Script = std::function<void(Peer&)>;

  // Listens on 127.0.0.1 at port (0: a free one); each of the first
  // `connections` accepted connections runs script (one after the other). A
  // port that cannot be had leaves Port() 0.
  explicit LoopbackServer(Script script, int connections = 1, uint16_t port = 0);
  ~LoopbackServer();  // stops accepting, ends the scripts' waits and joins
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t Port() const { return port_; }
  int Accepted() const { return accepted_; }
  // Waits for the scripts to finish (bounded by the scripts' own timeouts).
  void Join();

 private:
  void Run(Script script, int connections);

  intptr_t listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> accepted_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
uint16_t UnusedLoopbackPort();

// One-shot event between the test thread and a script.
class Signal {
 public:
  void Notify();
  // False when timeoutMs passed without Notify().
  bool Wait(int timeoutMs = 5000);

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool set_ = false;
};

}  // namespace torvane::testing

#endif  // TORVANE_WIRELET_LOOPBACKSERVER_H_
