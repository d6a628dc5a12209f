// torvanetx-txsim: a Torvane transmitter on a pseudo-terminal, a serial device
// or a TCP port. The event loop only moves bytes; TransmitterModel decides.
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CardView.h"
#include "ImageDecoder.h"
#include "MemoryDump.h"
#include "SimLines.h"
#include "SimulatorMain.h"
#include "SimulatorOptions.h"
#include "TransmitterModel.h"

namespace torvane::sim {
namespace {

// Replies due within this are waited for in place, not through the event loop.
constexpr Duration kWaitInPlace = std::chrono::milliseconds(3);
constexpr Duration kSpinStretch = std::chrono::microseconds(100);

class TxSim {
 public:
  explicit TxSim(const TxSimOptions& options) : options_(options), model_(options.transmitter) {
    clock_.start();
  }

  bool Start(std::string& error) {
    if (!OpenLine(error)) return false;
    replyTimer_.setSingleShot(true);
    replyTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&replyTimer_, &QTimer::timeout, [this] { SendReplies(); });
    if (options_.statsEverySeconds > 0) {
      QObject::connect(&statsTimer_, &QTimer::timeout, [this] { PrintStats(); });
      statsTimer_.start(static_cast<int>(options_.statsEverySeconds * 1000));
    }
    stdin_.onLine = [this](const std::string& line) { Command(line); };
    stop_.onStop = [this] { Finish(); };
    hangup_.onHangUp = [this] { HangUp(); };
    hangup_.onComeBack = [this] { ComeBack(); };
    hangup_.Start(options_.hangup.everySeconds, options_.hangup.downSeconds);
    lastStats_ = model_.Stats();
    lastStatsAt_ = Now();
    // The default 50 us of timer slack lets the sleep before a reply overrun
    // its spin now and then, and every such reply goes out late.
    if (options_.transmitter.switches.wireTime) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    return true;
  }

 private:
  Instant Now() const { return Instant(clock_.nsecsElapsed()); }

  bool OpenLine(std::string& error) {
    switch (options_.line) {
      case LineKind::kPty: {
        auto pty = std::make_unique<PtyLine>();
        if (!pty->Open(error, options_.hangup.linkPath)) return false;
        std::printf("pty: %s\n", pty->Path().c_str());
        if (!options_.hangup.linkPath.empty())
          std::printf("link: %s\n", options_.hangup.linkPath.c_str());
        pty_ = pty.get();
        line_ = std::move(pty);
        break;
      }
      case LineKind::kDevice: {
        auto device = std::make_unique<DeviceLine>();
        if (!device->Open(options_.device, options_.baud, error)) return false;
        std::printf("device: %s\n", options_.device.c_str());
        line_ = std::move(device);
        break;
      }
      case LineKind::kTcp:
      case LineKind::kNone:
        return Listen(error);
    }
    line_->onData = [this](const QByteArray& bytes) { Received(bytes); };
    line_->onError = [](const std::string& what) {
      std::fprintf(stderr, "line: %s\n", what.c_str());
    };
    return true;
  }

  bool Listen(std::string& error) {
    return ListenOnLoopback(
        server_, options_.tcpPort, [this] { Accept(); }, error);
  }

  // The line goes dead: a packet half read and the replies still due go with
  // it, and nothing is answered until it is back. The image stays, as a
  // card keeps its copy.
  void HangUp() {
    model_.ResetLine();
    replyTimer_.stop();
    ++hangups_;
    if (pty_ != nullptr) {
      pty_->HangUp(false);
    } else if (line_ == nullptr) {
      port_ = server_.serverPort();
      server_.close();
      if (client_ != nullptr) client_->abort();
    }
    std::printf("hangup: %d\n", hangups_);
  }

  void ComeBack() {
    model_.ResetLine();
    if (pty_ != nullptr) {
      std::string error;
      if (!pty_->ComeBack(error)) {
        std::fprintf(stderr, "line: %s\n", error.c_str());
        return;
      }
      std::printf("pty: %s\n", pty_->Path().c_str());
    } else if (line_ == nullptr) {
      if (!server_.listen(QHostAddress::LocalHost, port_)) {
        std::fprintf(stderr, "listen: %s\n", server_.errorString().toStdString().c_str());
        return;
      }
      std::printf("tcp: 127.0.0.1:%u\n", static_cast<unsigned>(port_));
    }
    std::printf("back: %d\n", hangups_);
  }

  // One peer at a time, as on a serial line; a second one is turned away.
  void Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      if (client_ != nullptr) {
        std::fprintf(stderr, "busy: a second connection is refused\n");
        socket->disconnectFromHost();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        continue;
      }
      client_ = socket;
      model_.ResetLine();
      QObject::connect(socket, &QTcpSocket::readyRead,
                       [this, socket] { Received(socket->readAll()); });
      QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] {
        if (client_ == socket) client_ = nullptr;
        model_.ResetLine();
        socket->deleteLater();
      });
    }
  }

  void Received(const QByteArray& bytes) {
    if (hangup_.Down()) return;
    model_.Receive(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                             static_cast<size_t>(bytes.size())),
                   Now());
    SendReplies();
  }

  // Qt's timers count whole milliseconds: waiting for a reply due 2.6 ms after
  // a packet with one would cost up to a millisecond an exchange on a
  // wire-time line. Replies due soon are waited for here, to the microsecond.
  void SendReplies() {
    for (;;) {
      const std::vector<uint8_t> replies = model_.TakeReplies(Now());
      if (!replies.empty()) {
        const QByteArray out(reinterpret_cast<const char*>(replies.data()),
                             static_cast<qsizetype>(replies.size()));
        if (line_) {
          line_->Write(out);
        } else if (client_ != nullptr) {
          client_->write(out);
        }
      }
      const std::optional<Instant> due = model_.NextReplyAt();
      if (!due) return;
      const Duration wait = *due - Now();
      if (wait > kWaitInPlace) {
        const auto early = std::chrono::floor<std::chrono::milliseconds>(wait - kWaitInPlace);
        replyTimer_.start(static_cast<int>(early.count()));
        return;
      }
      WaitUntil(*due);
    }
  }

  // Sleeps to just before the instant, then spins: a sleep alone ends tens of
  // microseconds late.
  void WaitUntil(Instant due) const {
    const Duration sleep = due - Now() - kSpinStretch;
    if (sleep > Duration::zero()) std::this_thread::sleep_for(sleep);
    while (Now() < due) {
    }
  }

  void PrintStats() {
    const Instant now = Now();
    const TransmitterStats stats = model_.Stats();
    std::printf("%s", FormatStatsLine(stats, lastStats_, now - lastStatsAt_).c_str());
    lastStats_ = stats;
    lastStatsAt_ = now;
    if (options_.showPage) PrintPage(*options_.showPage);
  }

  void PrintPage(int page) {
    const MapImageBytes& image = model_.Image();
    std::printf("%s", FormatCardPage(DecodeImage(image), page).c_str());
  }

  void Dump(const std::string& path) {
    std::string error;
    if (WriteMemoryDump(path, model_.Image(), &error)) {
      std::printf("dumped: %s\n", path.c_str());
    } else {
      std::printf("dump failed: %s\n", error.c_str());
    }
  }

  void Command(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    in >> word;
    if (word == "stats") {
      PrintStats();
    } else if (word == "page") {
      int page = -1;
      if (in >> page) {
        PrintPage(page);
      } else {
        std::printf("usage: page N\n");
      }
    } else if (word == "dump") {
      std::string path;
      if (in >> path) {
        Dump(path);
      } else {
        std::printf("usage: dump FILE\n");
      }
    } else if (word == "hangup") {
      double down = options_.hangup.downSeconds;
      if (!(in >> down)) down = options_.hangup.downSeconds;
      if (options_.line == LineKind::kDevice) {
        std::printf("hangup: not on a device\n");
      } else if (options_.line == LineKind::kPty && options_.hangup.linkPath.empty()) {
        std::printf("hangup: wants --link PATH\n");
      } else {
        hangup_.HangUpNow(std::clamp(down, 0.0, 3600.0));
      }
    } else if (word == "quit") {
      Finish();
    } else if (!word.empty()) {
      std::printf("commands: stats, page N, dump FILE, hangup [SECONDS], quit\n");
    }
  }

  void Finish() {
    PrintStats();
    if (!options_.dumpPath.empty()) Dump(options_.dumpPath);
    QCoreApplication::quit();
  }

  TxSimOptions options_;
  TransmitterModel model_;
  QElapsedTimer clock_;
  std::unique_ptr<ByteLine> line_;
  PtyLine* pty_ = nullptr;  // line_, when it is a pty
  QTcpServer server_;
  quint16 port_ = 0;
  HangupSchedule hangup_;
  int hangups_ = 0;
  QTcpSocket* client_ = nullptr;
  QTimer replyTimer_;
  QTimer statsTimer_;
  StdinLines stdin_;
  StopSignals stop_;
  TransmitterStats lastStats_;
  Instant lastStatsAt_{};
};

}  // namespace
}  // namespace torvane::sim

int main(int argc, char** argv) {
  using namespace torvane::sim;
  return RunSimulator<TxSim, TxSimOptions>(argc, argv, "torvanetx-txsim", kTxSimUsage,
                                           ParseTxSimArgs);
}
