#include "SimLines.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QHostAddress>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace torvane::sim {
namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
}

}  // namespace

PtyLine::~PtyLine() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
}

bool PtyLine::Open(std::string& error, const std::string& linkPath) {
  linkPath_ = linkPath;
  watch_.setInterval(kWatchMs);
  QObject::connect(&watch_, &QTimer::timeout, [this] { Watch(); });
  return OpenPty(error);
}

bool PtyLine::OpenPty(std::string& error) {
  auto pty = std::make_unique<PseudoTerminal>();
  if (!pty->Open(error)) return false;
  if (!linkPath_.empty()) {
    // Made beside the link and renamed over it, so the path never names a
    // half-made link.
    const std::string fresh = linkPath_ + ".new";
    unlink(fresh.c_str());
    if (symlink(pty->slavePath().c_str(), fresh.c_str()) != 0 ||
        rename(fresh.c_str(), linkPath_.c_str()) != 0) {
      error = "link " + linkPath_ + ": " + std::strerror(errno);
      return false;
    }
  }
  pty_ = std::move(pty);
  readNotifier_ = std::make_unique<QSocketNotifier>(pty_->masterFd(), QSocketNotifier::Read);
  readNotifier_->setEnabled(false);
  QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, [this] { Readable(); });
  writeNotifier_ = std::make_unique<QSocketNotifier>(pty_->masterFd(), QSocketNotifier::Write);
  writeNotifier_->setEnabled(false);
  QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, [this] { Flush(); });
  peerOpen_ = false;
  openSince_.invalidate();
  watch_.start();
  return true;
}

void PtyLine::HangUp(bool keepBacklog) {
  if (!pty_) return;
  keepBacklog_ = keepBacklog;
  if (!keepBacklog_) out_.clear();
  watch_.stop();
  readNotifier_.reset();
  writeNotifier_.reset();
  peerOpen_ = false;
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  pty_.reset();  // closes the master: the program's line hangs up
}

bool PtyLine::ComeBack(std::string& error) {
  if (pty_) return true;
  return OpenPty(error);
}

void PtyLine::Watch() {
  if (!pty_) return;
  if (!pty_->PeerOpen()) {
    openSince_.invalidate();
    return;
  }
  if (!openSince_.isValid()) openSince_.start();
  if (openSince_.elapsed() < kSettleMs) return;
  watch_.stop();
  peerOpen_ = true;
  readNotifier_->setEnabled(true);
  Flush();
  if (onOpened) onOpened();
}

void PtyLine::Closed() {
  // The master would poll readable (hung up) until the next open: watch instead.
  peerOpen_ = false;
  readNotifier_->setEnabled(false);
  writeNotifier_->setEnabled(false);
  openSince_.invalidate();
  watch_.start();
}

void PtyLine::Readable() {
  char buffer[4096];
  const ssize_t n = read(pty_->masterFd(), buffer, sizeof buffer);
  if (n > 0) {
    if (onData) onData(QByteArray(buffer, static_cast<qsizetype>(n)));
  } else if (n < 0 && errno == EIO) {
    Closed();  // the program closed its line
  } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
    if (onError) onError(std::string("pty read: ") + std::strerror(errno));
  }
}

void PtyLine::Write(const QByteArray& bytes) {
  if (!pty_ && !keepBacklog_) return;  // hung up: nobody hears it
  out_.append(bytes);
  Flush();
}

void PtyLine::Flush() {
  if (!peerOpen_ || !pty_) return;
  while (!out_.isEmpty()) {
    const ssize_t n = write(pty_->masterFd(), out_.constData(), static_cast<size_t>(out_.size()));
    if (n > 0) {
      out_.remove(0, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // full (EAGAIN): wait until the line takes more
  }
  writeNotifier_->setEnabled(!out_.isEmpty());
}

bool DeviceLine::Open(const std::string& path, int baud, std::string& error) {
  port_.setPortName(QString::fromStdString(path));
  if (!port_.open(QIODevice::ReadWrite)) {
    error = path + ": " + port_.errorString().toStdString();
    return false;
  }
  if (!port_.setBaudRate(baud) || !port_.setDataBits(QSerialPort::Data8) ||
      !port_.setParity(QSerialPort::NoParity) || !port_.setStopBits(QSerialPort::OneStop) ||
      !port_.setFlowControl(QSerialPort::NoFlowControl)) {
    error = path + ": " + port_.errorString().toStdString();
    port_.close();
    return false;
  }
  QObject::connect(&port_, &QSerialPort::readyRead, [this] {
    const QByteArray bytes = port_.readAll();
    if (onData && !bytes.isEmpty()) onData(bytes);
  });
  QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
    if (e != QSerialPort::NoError && onError) onError(port_.errorString().toStdString());
  });
  return true;
}

StdinLines::StdinLines() {
  notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Readable(); });
}

void StdinLines::Readable() {
  char buffer[1024];
  const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
  if (n <= 0) {
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) notifier_->setEnabled(false);
    return;
  }
  pending_.append(buffer, static_cast<size_t>(n));
  size_t end;
  while ((end = pending_.find('\n')) != std::string::npos) {
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (onLine) onLine(line);
  }
}

StopSignals::StopSignals() {
  if (pipe(stopPipe) != 0) return;
  fcntl(stopPipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  notifier_ = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    char byte;
    [[maybe_unused]] const ssize_t n = read(stopPipe[0], &byte, 1);
    notifier_->setEnabled(false);
    if (onStop) onStop();
  });
}

StopSignals::~StopSignals() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
}

HangupSchedule::HangupSchedule() {
  every_.setTimerType(Qt::CoarseTimer);
  QObject::connect(&every_, &QTimer::timeout, [this] { HangUpNow(downSeconds_); });
  back_.setSingleShot(true);
  QObject::connect(&back_, &QTimer::timeout, [this] {
    down_ = false;
    if (onComeBack) onComeBack();
  });
}

void HangupSchedule::Start(double everySeconds, double downSeconds) {
  downSeconds_ = downSeconds;
  if (everySeconds > 0) every_.start(static_cast<int>(everySeconds * 1000));
}

void HangupSchedule::HangUpNow(double downSeconds) {
  if (down_) return;
  down_ = true;
  if (onHangUp) onHangUp();
  back_.start(static_cast<int>(downSeconds * 1000));
}

bool ListenOnLoopback(QTcpServer& server, int port, const std::function<void()>& onConnection,
                      std::string& error) {
  if (!server.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) {
    error =
        "listen on 127.0.0.1:" + std::to_string(port) + ": " + server.errorString().toStdString();
    return false;
  }
  std::printf("tcp: 127.0.0.1:%u\n", static_cast<unsigned>(server.serverPort()));
  QObject::connect(&server, &QTcpServer::newConnection, onConnection);
  return true;
}

}  // namespace torvane::sim
