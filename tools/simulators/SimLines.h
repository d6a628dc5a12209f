// Qt plumbing shared by the simulator executables: byte lines (a pseudo-terminal
// or a serial device), standard input read line by line, and SIGINT/SIGTERM
// delivered to the event loop. No simulator logic lives here.
#ifndef TORVANE_TOOLS_SIMULATORS_SIMLINES_H_
#define TORVANE_TOOLS_SIMULATORS_SIMLINES_H_

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "PseudoTerminal.h"

namespace torvane::sim {

class ByteLine {
 public:
  virtual ~ByteLine() = default;
  // Queues bytes; they go out as the line takes them.
  virtual void Write(const QByteArray& bytes) = 0;
  // Closing the line now loses nothing written to it.
  virtual bool Drained() const = 0;
  // Where a peer opens the line.
  virtual std::string Path() const = 0;

  std::function<void(const QByteArray&)> onData;
  std::function<void(const std::string&)> onError;
  // A line that can tell when its peer opens it calls this each time one does.
  std::function<void()> onOpened;
};

// The master side of a new pseudo-terminal. Nothing is written while no one
// has the slave open: bytes wait in the backlog until the program opens the
// line, and a little longer, since a program flushes what its line holds
// right after opening it.
class PtyLine : public ByteLine {
 public:
  static constexpr int kWatchMs = 20;
  static constexpr int kSettleMs = 100;

  ~PtyLine() override;

  // linkPath, when set, is kept as a symbolic link to the slave, made again
  // for each new pty: the one path where the program finds the line, as
  // /dev/serial/by-id keeps one for a USB adapter that comes and goes.
  bool Open(std::string& error, const std::string& linkPath = {});
  void Write(const QByteArray& bytes) override;
  // The bytes the program has not read yet are lost when the master closes,
  // and the master cannot see them: drained only once the program has closed
  // its line, or never opened it and nothing waits.
  bool Drained() const override { return out_.isEmpty() && !peerOpen_; }
  std::string Path() const override { return pty_ ? pty_->slavePath() : std::string(); }

  // The far end hangs up: the pty is closed, so the program's line fails, and
  // the link goes. What the program had not read yet is lost, as on a real
  // line; what is written meanwhile waits for the next pty when keepBacklog,
  // and so does what had not gone out yet.
  void HangUp(bool keepBacklog);
  // A new pty behind the same link; false with error set when it cannot be had.
  bool ComeBack(std::string& error);
  bool HungUp() const { return pty_ == nullptr; }

 private:
  bool OpenPty(std::string& error);
  void Readable();
  void Flush();
  // Polls for an opener while there is none; a hang-up raises no notifier.
  void Watch();
  void Closed();

  std::unique_ptr<PseudoTerminal> pty_;
  std::string linkPath_;
  bool keepBacklog_ = true;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  std::unique_ptr<QSocketNotifier> writeNotifier_;
  QTimer watch_;
  QElapsedTimer openSince_;
  bool peerOpen_ = false;
  QByteArray out_;
};

// A serial device, 8 data bits, no parity, one stop bit, no flow control.
class DeviceLine : public ByteLine {
 public:
  bool Open(const std::string& path, int baud, std::string& error);
  void Write(const QByteArray& bytes) override { port_.write(bytes); }
  bool Drained() const override { return port_.bytesToWrite() == 0; }
  std::string Path() const override { return port_.portName().toStdString(); }

 private:
  QSerialPort port_;
};

// Lines of standard input, without their line ends; reading stops at its end.
class StdinLines {
 public:
  StdinLines();
  std::function<void(const std::string&)> onLine;

 private:
  void Readable();
  std::unique_ptr<QSocketNotifier> notifier_;
  std::string pending_;
};

// Calls onStop once for SIGINT or SIGTERM, from the event loop.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  std::function<void()> onStop;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

// Hangs a line up every everySeconds (0: only when asked) and brings it back
// downSeconds later; the simulator says what hanging up and coming back are.
class HangupSchedule {
 public:
  HangupSchedule();
  void Start(double everySeconds, double downSeconds);
  // Now, for downSeconds; nothing while the line is already down.
  void HangUpNow(double downSeconds);
  bool Down() const { return down_; }

  std::function<void()> onHangUp;
  std::function<void()> onComeBack;

 private:
  QTimer every_;
  QTimer back_;
  double downSeconds_ = 2;
  bool down_ = false;
};

// Listens on 127.0.0.1:port (0 picks a free one), prints "tcp: 127.0.0.1:PORT"
// for the scripts that wire the program to it, and calls onConnection for each
// new connection. False, with error set, when the port cannot be had.
bool ListenOnLoopback(QTcpServer& server, int port, const std::function<void()>& onConnection,
                      std::string& error);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_SIMLINES_H_
