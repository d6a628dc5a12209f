#include "LoopbackServer.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>

namespace torvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The few calls that differ: the server uses the system's own sockets
// (ws2_32 on Windows), never the engine's table.
#ifdef _WIN32
using Native = SOCKET;
using socklen_t = int;
constexpr int kNoSignal = 0;
void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
int PollOne(intptr_t fd, short events, int ms) {
  WSAPOLLFD entry{static_cast<Native>(fd), events, 0};
  return WSAPoll(&entry, 1, ms);
}
void CloseSocket(intptr_t fd) { closesocket(static_cast<Native>(fd)); }
int LastError() { return WSAGetLastError(); }
intptr_t OpenStream() { return static_cast<intptr_t>(::socket(AF_INET, SOCK_STREAM, 0)); }
intptr_t AcceptOne(intptr_t fd) {
  return static_cast<intptr_t>(::accept(static_cast<Native>(fd), nullptr, nullptr));
}
#else
using Native = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
void StartSockets() {}
int PollOne(intptr_t fd, short events, int ms) {
  pollfd entry{static_cast<Native>(fd), events, 0};
  return poll(&entry, 1, ms);
}
void CloseSocket(intptr_t fd) { ::close(static_cast<Native>(fd)); }
int LastError() { return errno; }
intptr_t OpenStream() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
intptr_t AcceptOne(intptr_t fd) {
  return ::accept4(static_cast<Native>(fd), nullptr, nullptr, SOCK_CLOEXEC);
}
#endif

Native N(intptr_t fd) { return static_cast<Native>(fd); }

int MillisecondsLeft(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

// Waits for input in short slices so a stopping server is noticed; false when
// time runs out or the server stops.
bool Peer::WaitReadable(Clock::time_point end) const {
  while (stop_ == nullptr || !*stop_) {
    int left = MillisecondsLeft(end);
    int ready = PollOne(fd_, POLLIN, std::min(left, 50));
    if (ready > 0) return true;
    if (left == 0) return false;
  }
  return false;
}

Peer::~Peer() { Close(); }

bool Peer::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    auto n = ::send(N(fd_), bytes.data(), static_cast<int>(bytes.size()), kNoSignal);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string Peer::ReceiveExactly(size_t n, int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string received;
  char buffer[4096];
  while (received.size() < n && WaitReadable(end)) {
    auto got =
        ::recv(N(fd_), buffer, static_cast<int>(std::min(sizeof buffer, n - received.size())), 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

std::string Peer::ReceiveUntil(std::string_view marker, int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string received;
  char byte;
  while (!received.ends_with(marker) && WaitReadable(end)) {
    if (::recv(N(fd_), &byte, 1, 0) != 1) break;
    received += byte;
  }
  return received;
}

std::string Peer::ReceiveAll(int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string received;
  char buffer[65536];
  while (WaitReadable(end)) {
    auto got = ::recv(N(fd_), buffer, static_cast<int>(sizeof buffer), 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

int Peer::WaitClosed(int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  while (WaitReadable(end)) {
    auto got = ::recv(N(fd_), buffer, static_cast<int>(sizeof buffer), 0);
    if (got == 0) return 0;
    if (got < 0) return LastError();
  }
  return -1;
}

void Peer::Reset() {
  if (fd_ < 0) return;
  linger option{1, 0};
  setsockopt(N(fd_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
  Close();
}

void Peer::Close() {
  if (fd_ != -1) CloseSocket(fd_);
  fd_ = -1;
}

LoopbackServer::LoopbackServer(Script script, int connections, uint16_t port) {
  StartSockets();
  listenFd_ = OpenStream();
#ifndef _WIN32
  // On Windows this option would let two servers share a port.
  int one = 1;
  setsockopt(N(listenFd_), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(N(listenFd_), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::listen(N(listenFd_), 8) == 0 &&
      getsockname(N(listenFd_), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
  thread_ = std::thread(&LoopbackServer::Run, this, std::move(script), connections);
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  Join();
  if (listenFd_ != -1) CloseSocket(listenFd_);
}

void LoopbackServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void LoopbackServer::Run(Script script, int connections) {
  for (int i = 0; i < connections && !stop_; ++i) {
    intptr_t fd = -1;
    // Accept with a bounded wait so a test that never connects ends anyway.
    auto end = Clock::now() + std::chrono::seconds(10);
    while (!stop_ && fd == -1 && Clock::now() < end) {
      if (PollOne(listenFd_, POLLIN, 50) > 0) fd = AcceptOne(listenFd_);
    }
    if (fd == -1) return;
    ++accepted_;
    Peer peer(fd, &stop_);
    script(peer);
  }
}

uint16_t UnusedLoopbackPort() {
  StartSockets();
  intptr_t fd = OpenStream();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(N(fd), reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(N(fd), reinterpret_cast<sockaddr*>(&address), &length);
  CloseSocket(fd);
  return ntohs(address.sin_port);
}

void Signal::Notify() {
  std::lock_guard lock(mutex_);
  set_ = true;
  condition_.notify_all();
}

bool Signal::Wait(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return condition_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

}  // namespace torvane::testing
