#include "QtSocketWatcher.h"

#include <poll.h>

#include <QCoreApplication>

#include "SocketApi.h"

namespace torvane {
namespace {
constexpr int kCloseCheckMs = 200;
}  // namespace

QtSocketWatcher::QtSocketWatcher() : context_(std::make_unique<QObject>()) {
  closeCheck_ = new QTimer(context_.get());
  closeCheck_->setInterval(kCloseCheckMs);
  QObject::connect(closeCheck_, &QTimer::timeout, context_.get(), [this] { CheckClosed(); });
}

QtSocketWatcher::~QtSocketWatcher() {
  client_ = nullptr;
  context_.reset();
}

int QtSocketWatcher::Watch(SocketHandle socket) {
  // The old notifiers may be the ones whose signal is running right now.
  for (QSocketNotifier* notifier : {read_, write_}) {
    if (notifier == nullptr) continue;
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
  }
  read_ = nullptr;
  write_ = nullptr;
  closeCheck_->stop();
  socket_ = socket;
  closeTold_ = false;
  if (socket == kNoSocket) return 0;
  const auto fd = static_cast<qintptr>(socket);
  read_ = new QSocketNotifier(fd, QSocketNotifier::Read, context_.get());
  write_ = new QSocketNotifier(fd, QSocketNotifier::Write, context_.get());
  read_->setEnabled(false);
  write_->setEnabled(false);
  QObject::connect(read_, &QSocketNotifier::activated, context_.get(), [this] {
    if (client_ != nullptr) client_->OnReadable();
  });
  QObject::connect(write_, &QSocketNotifier::activated, context_.get(), [this] {
    if (client_ != nullptr) client_->OnWritable();
  });
  return 0;
}

void QtSocketWatcher::EnableRead(bool on) {
  if (read_ != nullptr) read_->setEnabled(on);
  // With read on, the read notifier fires at the close and the reads find it.
  if (on || socket_ == kNoSocket || closeTold_) {
    closeCheck_->stop();
  } else if (!closeCheck_->isActive()) {
    closeCheck_->start();
  }
}

void QtSocketWatcher::CheckClosed() {
  if (socket_ == kNoSocket || closeTold_ || client_ == nullptr) return;
  pollfd entry{static_cast<int>(socket_), POLLRDHUP, 0};
  if (poll(&entry, 1, 0) <= 0 || (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) return;
  closeTold_ = true;
  closeCheck_->stop();
  client_->OnClosed(Sockets().connectError(socket_));
}

void QtSocketWatcher::EnableWrite(bool on) {
  if (write_ != nullptr) write_->setEnabled(on);
}

void QtSocketWatcher::PostRead() {
  QMetaObject::invokeMethod(
      context_.get(),
      [this] {
        if (client_ != nullptr) client_->OnReadable();
      },
      Qt::QueuedConnection);
}

void QtSocketWatcher::PostTask(std::function<void()> task) {
  // Queued on the application, not on this watcher: the task may destroy it.
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

SocketWatcher::WaitResult QtSocketWatcher::WaitStep(int maxMs) {
  if (QCoreApplication::closingDown()) return WaitResult::kQuit;
  // The timer bounds the wait when no other event arrives.
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(maxMs);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return QCoreApplication::closingDown() ? WaitResult::kQuit : WaitResult::kContinue;
}

}  // namespace torvane
