// Qt plumbing shared by the simulator executables: byte lines (a pseudo-terminal
// or a serial device), standard input read line by line, and SIGINT/SIGTERM
// delivered to the event loop. No simulator logic lives here.
#ifndef TORVANE_TOOLS_SIMULATORS_SIMLINES_H_
#define TORVANE_TOOLS_SIMULATORS_SIMLINES_H_

#include <QByteArray>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpServer>
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
  // Bytes written but not yet taken by the line.
  virtual qint64 Backlog() const = 0;
  // Where a peer opens the line.
  virtual std::string Path() const = 0;

  std::function<void(const QByteArray&)> onData;
  std::function<void(const std::string&)> onError;
};

// The master side of a new pseudo-terminal.
class PtyLine : public ByteLine {
 public:
  bool Open(std::string& error);
  void Write(const QByteArray& bytes) override;
  qint64 Backlog() const override { return out_.size(); }
  std::string Path() const override { return pty_.slavePath(); }

 private:
  void Readable();
  void Flush();

  PseudoTerminal pty_;
  std::unique_ptr<QSocketNotifier> readNotifier_;
  std::unique_ptr<QSocketNotifier> writeNotifier_;
  QByteArray out_;
};

// A serial device, 8 data bits, no parity, one stop bit, no flow control.
class DeviceLine : public ByteLine {
 public:
  bool Open(const std::string& path, int baud, std::string& error);
  void Write(const QByteArray& bytes) override { port_.write(bytes); }
  qint64 Backlog() const override { return port_.bytesToWrite(); }
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

// Listens on 127.0.0.1:port (0 picks a free one), prints "tcp: 127.0.0.1:PORT"
// for the scripts that wire the program to it, and calls onConnection for each
// new connection. False, with error set, when the port cannot be had.
bool ListenOnLoopback(QTcpServer& server, int port, const std::function<void()>& onConnection,
                      std::string& error);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_SIMLINES_H_
