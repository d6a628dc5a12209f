// torvanetx-timingsim: a drag strip timing system. Plays a generated race day
// (or a recording) as the tagged stream on a serial line and as the command
// stream to the clients of a TCP server, answers class list requests, records
// what it sends, or records a real feed. The event loop only moves bytes;
// the feed, the records and the pace come from the Qt-free classes.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CommandStreamWriter.h"
#include "FeedPlayer.h"
#include "FeedRecording.h"
#include "RaceDayGenerator.h"
#include "RequestScanner.h"
#include "SimLines.h"
#include "SimulatorMain.h"
#include "SimulatorOptions.h"

namespace torvane::sim {
namespace {

constexpr size_t kChunksPerTurn = 200;  // at full speed, let the loop breathe between batches
constexpr int kDrainTimeoutMs = 3000;

QByteArray Bytes(const std::string& s) {
  return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// The class names that the recorded command stream selects, in order of appearance.
std::vector<std::string> ClassesOfRecording(const std::vector<FeedChunk>& chunks) {
  std::vector<std::string> names;
  for (const FeedChunk& chunk : chunks) {
    if (chunk.stream != FeedStream::kCommand) continue;
    size_t at = 0;
    while ((at = chunk.bytes.find("~GC", at)) != std::string::npos) {
      const size_t end = chunk.bytes.find('\r', at);
      if (end == std::string::npos || end < at + 4) break;
      std::string name = chunk.bytes.substr(at + 4, end - at - 4);
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
      at = end;
    }
  }
  return names;
}

class TimingSim {
 public:
  explicit TimingSim(const TimingSimOptions& options) : options_(options) { clock_.start(); }

  bool Start(std::string& error) {
    stop_.onStop = [this] { Finish(); };
    stdin_.onLine = [this](const std::string& line) { Command(line); };
    hangup_.onHangUp = [this] { HangUp(); };
    hangup_.onComeBack = [this] { ComeBack(); };
    if (!options_.recordPath.empty()) {
      record_.open(options_.recordPath, std::ios::binary | std::ios::trunc);
      if (!record_) {
        error = "cannot write " + options_.recordPath;
        return false;
      }
      record_ << RecordingHeader();
    }
    if (!options_.captureDevice.empty() || !options_.captureHost.empty())
      return StartCapture(error);

    std::vector<FeedChunk> chunks;
    if (!options_.replayPath.empty()) {
      std::ifstream in(options_.replayPath, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      if (!in) {
        error = "cannot read " + options_.replayPath;
        return false;
      }
      std::string why;
      std::optional<std::vector<FeedChunk>> parsed = ParseRecording(text.str(), &why);
      if (!parsed) {
        error = options_.replayPath + ": " + why;
        return false;
      }
      chunks = std::move(*parsed);
      classes_ = ClassesOfRecording(chunks);
    } else {
      RaceDayConfig config;
      config.seed = options_.seed;
      config.classCount = options_.classes;
      const RaceDay day = GenerateRaceDay(config);
      for (const RaceClass& k : day.classes) classes_.push_back(k.name);
      chunks = FeedFromRaceDay(day, options_.tcpPort.has_value(),
                               options_.serial != LineKind::kNone, options_.lineFeed);
    }
    if (classes_.empty()) {
      for (int k = 0; k < options_.classes; ++k)
        classes_.push_back(ClassCatalogue()[static_cast<size_t>(k)].name);
    }
    player_ = std::make_unique<FeedPlayer>(std::move(chunks), options_.speed, options_.records);

    if (!OpenSerial(error) || !Listen(error)) return false;
    hangup_.Start(options_.hangup.everySeconds, options_.hangup.downSeconds);
    pump_.setSingleShot(true);
    pump_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pump_, &QTimer::timeout, [this] { Pump(); });
    // The day starts when someone is there to hear its first records: the
    // program opening the pty or the first client of the server, whichever
    // comes first. A device line gives no sign of its peer.
    const bool waitForLine = options_.serial == LineKind::kPty;
    if (options_.startNow || (!waitForLine && !options_.tcpPort)) {
      StartDay();
    } else if (waitForLine) {
      std::printf("waiting for the line to open%s\n", options_.tcpPort ? " or a client" : "");
    }
    return true;
  }

 private:
  Instant Now() const { return Instant(clock_.nsecsElapsed()); }

  bool OpenSerial(std::string& error) {
    if (options_.serial == LineKind::kPty) {
      auto pty = std::make_unique<PtyLine>();
      if (!pty->Open(error, options_.hangup.linkPath)) return false;
      std::printf("pty: %s\n", pty->Path().c_str());
      if (!options_.hangup.linkPath.empty())
        std::printf("link: %s\n", options_.hangup.linkPath.c_str());
      pty->onOpened = [this] {
        if (!player_->started()) StartDay();
      };
      pty_ = pty.get();
      serial_ = std::move(pty);
    } else if (options_.serial == LineKind::kDevice) {
      auto device = std::make_unique<DeviceLine>();
      if (!device->Open(options_.device, options_.baud, error)) return false;
      std::printf("device: %s\n", options_.device.c_str());
      serial_ = std::move(device);
    }
    return true;
  }

  bool Listen(std::string& error) {
    if (!options_.tcpPort) return true;
    return ListenOnLoopback(
        server_, *options_.tcpPort, [this] { Accept(); }, error);
  }

  void Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
      auto scanner = std::make_shared<RequestScanner>();
      clients_.push_back(socket);
      QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, scanner] {
        const QByteArray bytes = socket->readAll();
        const int requests =
            scanner->Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        for (int i = 0; i < requests; ++i) {
          for (const std::string& r : CommandStreamWriter::ClassList(classes_))
            socket->write(Bytes(r));
        }
      });
      QObject::connect(socket, &QTcpSocket::disconnected, [this, socket] {
        clients_.erase(std::remove(clients_.begin(), clients_.end(), socket), clients_.end());
        socket->deleteLater();
      });
      if (holdForClient_) {
        // What came due while the server was away goes to the first client back.
        socket->write(heldForClient_);
        heldForClient_.clear();
        holdForClient_ = false;
      }
      if (!player_->started()) StartDay();
    }
  }

  // A timing system that keeps its feed while its links are down: the pty's
  // backlog and the records held for the next client are sent once they are
  // back; only what the program had not read off the pty when it closed is lost.
  void HangUp() {
    ++hangups_;
    if (pty_ != nullptr) pty_->HangUp(true);
    if (options_.tcpPort) {
      port_ = server_.serverPort();
      server_.close();
      holdForClient_ = true;
      for (QTcpSocket* client : std::vector<QTcpSocket*>(clients_)) client->abort();
    }
    std::printf("hangup: %d\n", hangups_);
  }

  void ComeBack() {
    std::string error;
    if (pty_ != nullptr) {
      if (pty_->ComeBack(error)) {
        std::printf("pty: %s\n", pty_->Path().c_str());
      } else {
        std::fprintf(stderr, "line: %s\n", error.c_str());
      }
    }
    if (options_.tcpPort) {
      if (server_.listen(QHostAddress::LocalHost, port_)) {
        std::printf("tcp: 127.0.0.1:%u\n", static_cast<unsigned>(port_));
      } else {
        std::fprintf(stderr, "listen: %s\n", server_.errorString().toStdString().c_str());
      }
    }
    std::printf("back: %d\n", hangups_);
  }

  void Command(const std::string& text) {
    std::istringstream in(text);
    std::string word;
    in >> word;
    if (word == "hangup") {
      double down = options_.hangup.downSeconds;
      if (!(in >> down)) down = options_.hangup.downSeconds;
      if (pty_ == nullptr && !options_.tcpPort) {
        std::printf("hangup: not on a device\n");
      } else if (pty_ != nullptr && options_.hangup.linkPath.empty()) {
        std::printf("hangup: wants --link PATH\n");
      } else {
        hangup_.HangUpNow(std::clamp(down, 0.0, 3600.0));
      }
    } else if (!word.empty()) {
      std::printf("commands: hangup [SECONDS]\n");
    }
  }

  void StartDay() {
    player_->Start(Now());
    pump_.start(0);
  }

  void Pump() {
    for (FeedChunk& chunk : player_->TakeDue(Now(), kChunksPerTurn)) {
      const QByteArray bytes = Bytes(chunk.bytes);
      if (chunk.stream == FeedStream::kTagged) {
        if (serial_) serial_->Write(bytes);
      } else if (holdForClient_) {
        heldForClient_.append(bytes);
      } else {
        for (QTcpSocket* client : clients_) client->write(bytes);
      }
      if (record_.is_open()) record_ << FormatChunkLine(chunk);
    }
    if (record_.is_open()) record_.flush();
    if (player_->Done()) {
      std::printf("done: %lld command records, %lld tagged records\n",
                  static_cast<long long>(player_->played(FeedStream::kCommand)),
                  static_cast<long long>(player_->played(FeedStream::kTagged)));
      if (options_.exitWhenDone) Finish();
      return;
    }
    if (const std::optional<Instant> due = player_->NextDue()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Now());
      pump_.start(static_cast<int>(std::clamp<int64_t>(wait.count(), 0, 60'000)));
    }
  }

  bool StartCapture(std::string& error) {
    if (!options_.captureDevice.empty()) {
      auto device = std::make_unique<DeviceLine>();
      if (!device->Open(options_.captureDevice, options_.baud, error)) return false;
      device->onData = [this](const QByteArray& bytes) { Captured(FeedStream::kTagged, bytes); };
      device->onError = [this](const std::string& what) {
        std::fprintf(stderr, "capture: %s\n", what.c_str());
        Finish();
      };
      serial_ = std::move(device);
      std::printf("capturing: %s\n", options_.captureDevice.c_str());
      return true;
    }
    auto* socket = new QTcpSocket(&server_);
    QObject::connect(socket, &QTcpSocket::readyRead,
                     [this, socket] { Captured(FeedStream::kCommand, socket->readAll()); });
    QObject::connect(socket, &QTcpSocket::connected, [this] {
      std::printf("capturing: %s:%d\n", options_.captureHost.c_str(), options_.capturePort);
    });
    QObject::connect(socket, &QTcpSocket::disconnected, [this] { Finish(); });
    QObject::connect(
        socket, &QTcpSocket::errorOccurred, [this, socket](QAbstractSocket::SocketError e) {
          if (e == QAbstractSocket::RemoteHostClosedError)
            return;  // the feed ended: see disconnected
          std::fprintf(stderr, "capture: %s\n", socket->errorString().toStdString().c_str());
          Finish();
        });
    socket->connectToHost(QString::fromStdString(options_.captureHost),
                          static_cast<quint16>(options_.capturePort));
    return true;
  }

  void Captured(FeedStream stream, const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    const FeedChunk chunk{std::chrono::duration_cast<std::chrono::milliseconds>(Now()).count(),
                          stream,
                          std::string(bytes.constData(), static_cast<size_t>(bytes.size()))};
    record_ << FormatChunkLine(chunk);
    record_.flush();
  }

  // Lets what is queued reach the peers (within a bound), then quits.
  void Finish() {
    if (finishing_) return;
    finishing_ = true;
    pump_.stop();
    if (record_.is_open()) record_.close();
    for (QTcpSocket* client : clients_) client->disconnectFromHost();
    QElapsedTimer waited;
    waited.start();
    auto* poll = new QTimer(&server_);
    QObject::connect(poll, &QTimer::timeout, [this, waited] {
      const bool drained = (!serial_ || serial_->Drained()) && clients_.empty();
      if (drained || waited.elapsed() > kDrainTimeoutMs) QCoreApplication::quit();
    });
    poll->start(10);
  }

  TimingSimOptions options_;
  QElapsedTimer clock_;
  std::vector<std::string> classes_;
  std::unique_ptr<FeedPlayer> player_;
  std::unique_ptr<ByteLine> serial_;
  PtyLine* pty_ = nullptr;  // serial_, when it is a pty
  QTcpServer server_;
  quint16 port_ = 0;
  HangupSchedule hangup_;
  int hangups_ = 0;
  bool holdForClient_ = false;
  QByteArray heldForClient_;
  StdinLines stdin_;
  std::vector<QTcpSocket*> clients_;
  QTimer pump_;
  std::ofstream record_;
  StopSignals stop_;
  bool finishing_ = false;
};

}  // namespace
}  // namespace torvane::sim

int main(int argc, char** argv) {
  using namespace torvane::sim;
  return RunSimulator<TimingSim, TimingSimOptions>(argc, argv, "torvanetx-timingsim",
                                                   kTimingSimUsage, ParseTimingSimArgs);
}
