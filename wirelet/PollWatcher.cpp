#include "PollWatcher.h"

#include <poll.h>

#include <chrono>

#include "SocketApi.h"

namespace torvane {

int PollWatcher::Watch(SocketHandle socket) {
  fd_ = socket == kNoSocket ? -1 : static_cast<int>(socket);
  ++generation_;
  read_ = false;
  write_ = false;
  closeTold_ = false;
  return 0;
}

SocketWatcher::WaitResult PollWatcher::WaitStep(int maxMs) {
  if (!tasks_.empty()) {
    // A task may destroy this watcher, so nothing of it is touched afterwards.
    std::function<void()> task = std::move(tasks_.front());
    tasks_.erase(tasks_.begin());
    task();
    return WaitResult::kContinue;
  }
  if (postedRead_) {
    postedRead_ = false;
    if (client_ != nullptr) client_->OnReadable();
    return WaitResult::kContinue;
  }
  if (fd_ < 0 || (!read_ && !write_ && closeTold_)) {
    // Hang-up and error are reported even when not asked for, so a socket
    // with nothing left to watch is left out rather than polled.
    poll(nullptr, 0, maxMs);
    return WaitResult::kContinue;
  }
  const short closing = POLLRDHUP | POLLHUP | POLLERR;
  pollfd entry{fd_,
               static_cast<short>((read_ ? POLLIN : 0) | (write_ ? POLLOUT : 0) |
                                  (closeTold_ ? 0 : POLLRDHUP)),
               0};
  if (poll(&entry, 1, maxMs) <= 0 || client_ == nullptr) return WaitResult::kContinue;
  const unsigned generation = generation_;
  if (write_ && (entry.revents & (POLLOUT | POLLERR | POLLHUP)) != 0) client_->OnWritable();
  if (generation_ == generation && read_ && (entry.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
    client_->OnReadable();
  }
  if (generation_ == generation && !closeTold_ && (entry.revents & closing) != 0) {
    closeTold_ = true;
    // SO_ERROR: the reset or time-out that ended the connection, 0 for the
    // peer's normal close.
    client_->OnClosed(Sockets().connectError(fd_));
  }
  return WaitResult::kContinue;
}

void PollWatcher::RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

bool PollWatcher::RunUntil(const std::function<bool()>& done, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return done();
    WaitStep(static_cast<int>(left < 20 ? left : 20));
  }
  return true;
}

}  // namespace torvane
