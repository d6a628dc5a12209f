#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace torvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

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
    pollfd entry{fd_, POLLIN, 0};
    int ready = poll(&entry, 1, std::min(left, 50));
    if (ready > 0) return true;
    if (left == 0) return false;
  }
  return false;
}

Peer::~Peer() { Close(); }

bool Peer::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
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
    ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - received.size()), 0);
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
    if (::recv(fd_, &byte, 1, 0) != 1) break;
    received += byte;
  }
  return received;
}

std::string Peer::ReceiveAll(int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string received;
  char buffer[65536];
  while (WaitReadable(end)) {
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

int Peer::WaitClosed(int timeoutMs) {
  auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  while (WaitReadable(end)) {
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got == 0) return 0;
    if (got < 0) return errno;
  }
  return -1;
}

void Peer::Reset() {
  if (fd_ < 0) return;
  linger option{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  Close();
}

void Peer::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

LoopbackServer::LoopbackServer(Script script, int connections, uint16_t port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::listen(listenFd_, 8) == 0 &&
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
  thread_ = std::thread(&LoopbackServer::Run, this, std::move(script), connections);
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  Join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

void LoopbackServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void LoopbackServer::Run(Script script, int connections) {
  for (int i = 0; i < connections && !stop_; ++i) {
    int fd = -1;
    // Accept with a bounded wait so a test that never connects ends anyway.
    auto end = Clock::now() + std::chrono::seconds(10);
    while (!stop_ && fd < 0 && Clock::now() < end) {
      pollfd entry{listenFd_, POLLIN, 0};
      if (poll(&entry, 1, 50) > 0) fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (fd < 0) return;
    ++accepted_;
    Peer peer(fd, &stop_);
    script(peer);
  }
}

uint16_t UnusedLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
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
