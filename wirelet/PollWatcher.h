// A SocketWatcher with its own poll() loop, for a thread without a Qt event
// loop: notifications are delivered only from WaitStep() (the engine's waits,
// DoEvents, or RunFor/RunUntil). The peer's close (end of its data, a hang-up
// or an error) is told once with the socket's pending error, as WinSock's
// FD_CLOSE, whichever directions are on.
#ifndef TORVANE_WIRELET_POLLWATCHER_H_
#define TORVANE_WIRELET_POLLWATCHER_H_

#include <functional>
#include <vector>

#include "SocketWatcher.h"

namespace torvane {

class PollWatcher : public SocketWatcher {
 public:
  void SetClient(Client* client) override { client_ = client; }
  int Watch(SocketHandle socket) override;
  void EnableRead(bool on) override { read_ = on; }
  void EnableWrite(bool on) override { write_ = on; }
  void PostRead() override { postedRead_ = true; }
  void PostTask(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  WaitResult WaitStep(int maxMs) override;

  // Runs wait steps for about ms milliseconds.
  void RunFor(int ms);
  // Runs wait steps until done() holds or about ms milliseconds pass;
  // returns done().
  bool RunUntil(const std::function<bool()>& done, int ms);

  int WatchedFd() const { return fd_; }
  bool ReadEnabled() const { return read_; }
  bool WriteEnabled() const { return write_; }

 private:
  Client* client_ = nullptr;
  int fd_ = -1;
  unsigned generation_ = 0;  // counts Watch() calls, so a reused fd is told apart
  bool read_ = false;
  bool write_ = false;
  bool postedRead_ = false;
  bool closeTold_ = false;
  std::vector<std::function<void()>> tasks_;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_POLLWATCHER_H_
