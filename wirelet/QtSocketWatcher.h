// The SocketWatcher of a thread with a Qt event loop: socket notifiers on the
// creating thread, queued calls for posted work, and processEvents() as the
// wait step. Needs a QCoreApplication. While read is off, a timer looks for
// the peer's close a few times a second, so it is told (OnClosed) even when
// nothing reads the socket.
#ifndef TORVANE_WIRELET_QTSOCKETWATCHER_H_
#define TORVANE_WIRELET_QTSOCKETWATCHER_H_

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "SocketWatcher.h"

namespace torvane {

class QtSocketWatcher : public SocketWatcher {
 public:
  QtSocketWatcher();
  ~QtSocketWatcher() override;

  void SetClient(Client* client) override { client_ = client; }
  int Watch(SocketHandle socket) override;
  void EnableRead(bool on) override;
  void EnableWrite(bool on) override;
  void PostRead() override;
  void PostTask(std::function<void()> task) override;
  WaitResult WaitStep(int maxMs) override;

 private:
  void CheckClosed();

  Client* client_ = nullptr;
  // Owns the notifiers and the queued calls: destroying it drops both.
  std::unique_ptr<QObject> context_;
  QSocketNotifier* read_ = nullptr;
  QSocketNotifier* write_ = nullptr;
  QTimer* closeCheck_ = nullptr;
  SocketHandle socket_ = kNoSocket;
  bool closeTold_ = false;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_QTSOCKETWATCHER_H_
