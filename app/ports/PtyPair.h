// Test support: a pseudo-terminal pair. The program opens the slave as its
// serial device; the test plays the device on the master.
#ifndef TORVANE_APP_PORTS_PTYPAIR_H_
#define TORVANE_APP_PORTS_PTYPAIR_H_

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <string>

namespace torvane {

// Runs the event loop until done() holds or timeoutMs pass; returns done().
template <typename Done>
bool PumpUntil(Done done, int timeoutMs = 2000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) == 0) slaveName_ = name;
  }
  ~PtyPair() {
    CloseMaster();
    CloseSlaveCopy();
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return !slaveName_.empty(); }
  const std::string& slaveName() const { return slaveName_; }

  bool Write(const std::string& bytes) {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Up to count bytes, pumping the event loop (the program writes from it).
  std::string Read(size_t count, int timeoutMs = 2000) {
    std::string got;
    pollfd pfd{master_, POLLIN, 0};
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (poll(&pfd, 1, 5) <= 0) continue;
      char buffer[256];
      const size_t want = std::min(sizeof buffer, count - got.size());
      const ssize_t n = read(master_, buffer, want);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  // Up to count bytes that arrive within timeoutMs, without touching the event
  // loop (for a peer running on a thread of its own).
  std::string ReadRaw(size_t count, int timeoutMs) {
    pollfd pfd{master_, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0) return {};
    std::string got(count, '\0');
    const ssize_t n = read(master_, got.data(), count);
    got.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return got;
  }
  // Whatever has arrived, without waiting: one read call, for a peer that polls
  // the line as hardware does instead of sleeping between bytes.
  std::string ReadNow(size_t count) {
    if (!nonBlocking_) {
      fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
      nonBlocking_ = true;
    }
    std::string got(count, '\0');
    const ssize_t n = read(master_, got.data(), count);
    got.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return got;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  // The line's settings as the program left them; only while the slave copy is open.
  bool SlaveTermios(termios* settings) const {
    return slave_ >= 0 && tcgetattr(slave_, settings) == 0;
  }
  // openpty leaves the slave open here too; close it once the program has it.
  void CloseSlaveCopy() {
    if (slave_ >= 0) close(slave_);
    slave_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  bool nonBlocking_ = false;
  std::string slaveName_;
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_PTYPAIR_H_
