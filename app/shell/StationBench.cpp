// The station against an instant-answering transmitter on a pseudo-terminal,
// with a maximal image: sustained packets per second and CPU time per packet of
// the station's thread, then the latency from a timing record written to the
// timing line until the first packet of the changed rows leaves. Figures are
// given beside the 57600-baud wire time of one packet and its reply.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "BenchSettings.h"
#include "PtyPair.h"
#include "SettingsKeys.h"
#include "Station.h"
#include "WireletTypeLib.h"

namespace torvane {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kWireSecondsPerPacket = 2.6e-3;  // 14 bytes out, 1 back, 10 bits each

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Reads packets on the pty master and answers each with ACK at once. While
// spinning it polls the line without sleeping, as a transmitter's own processor
// does, so the rate measures the station and not this thread's wake-ups; the
// latency runs with it sleeping in poll, because a spinning thread holds back
// the kernel's pty work queued on its core by up to a scheduler tick.
class InstantTransmitter {
 public:
  explicit InstantTransmitter(PtyPair& pty) : pty_(pty) {}
  ~InstantTransmitter() { Stop(); }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  uint64_t Packets() const { return packets_; }
  void SetSpinning(bool spinning) { spinning_ = spinning; }
  // Time of the first packet at or after since whose address lies in [first, end).
  void Watch(int first, int end, Clock::time_point since) {
    std::lock_guard<std::mutex> lock(mutex_);
    watchFirst_ = first;
    watchEnd_ = end;
    watchSince_ = since;
    seen_ = false;
  }
  bool Seen(Clock::time_point* at) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (seen_) *at = seenAt_;
    return seen_;
  }

 private:
  void Run() {
    std::string pending;
    while (!stop_) {
      const std::string got = spinning_ ? pty_.ReadNow(256) : pty_.ReadRaw(256, 50);
      pending += got;
      while (pending.size() >= 14) {
        const auto* b = reinterpret_cast<const uint8_t*>(pending.data());
        const int address = b[3] * 256 + b[4];
        const Clock::time_point now = Clock::now();
        pending.erase(0, 14);
        ++packets_;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (!seen_ && now >= watchSince_ && address >= watchFirst_ && address < watchEnd_) {
            seen_ = true;
            seenAt_ = now;
          }
        }
        pty_.Write("\x06");
      }
    }
  }

  PtyPair& pty_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> spinning_{true};
  std::atomic<uint64_t> packets_{0};
  std::mutex mutex_;
  int watchFirst_ = -1;
  int watchEnd_ = -1;
  Clock::time_point watchSince_{};
  bool seen_ = false;
  Clock::time_point seenAt_{};
};

// Runs the event loop as exec() would, blocking between events; packets keep
// it busy, and the station's own timer wakes it at least once a second.
void RunFor(std::chrono::milliseconds span) {
  const auto end = Clock::now() + span;
  while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct Rate {
  double perSecond = 0;
  double cpuPerPacket = 0;  // seconds of the station thread's CPU
};

// Packets a second over 5 s of the event loop, with the station's CPU per packet.
Rate MeasureThroughput(Station& station) {
  const uint64_t packets0 = station.cycle().Counters().packetsSent;
  const double cpu0 = ThreadCpuSeconds();
  const auto wall0 = Clock::now();
  RunFor(std::chrono::seconds(5));
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  const double cpu = ThreadCpuSeconds() - cpu0;
  const auto packets = static_cast<double>(station.cycle().Counters().packetsSent - packets0);
  return {packets / wall, packets > 0 ? cpu / packets : 0};
}

void Report(const char* how, const Rate& rate) {
  std::printf("throughput, %s: %.0f packets/s (%.1fx the %.0f packets/s of 57600 baud)\n", how,
              rate.perSecond, rate.perSecond * kWireSecondsPerPacket, 1.0 / kWireSecondsPerPacket);
  std::printf(
      "sending thread's CPU, %s: %.2f us per packet (%.5f of the 2.6 ms wire time, %.0fx "
      "headroom)\n",
      how, rate.cpuPerPacket * 1e6, rate.cpuPerPacket / kWireSecondsPerPacket,
      kWireSecondsPerPacket / rate.cpuPerPacket);
}

// This machine's own pty round trip: the same transmitter answering a bare
// poll/read/write loop that does nothing else. Where the station comes close to
// it, the kernel's pty path sets the rate and not the station. It is measured
// before and after the station, after half a second of warming up as the
// station gets, since the figure drifts on a shared machine.
Rate MeasureBarePtyLoop() {
  PtyPair pty;
  const int line = ::open(pty.slaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  pty.CloseSlaveCopy();
  if (line < 0) return {};
  InstantTransmitter transmitter(pty);
  transmitter.Start();
  const char packet[14] = {};
  bool written = ::write(line, packet, sizeof packet) == sizeof packet;
  // Answers replies for span; returns the packets sent.
  const auto run = [&](std::chrono::milliseconds span) {
    uint64_t packets = 0;
    const auto end = Clock::now() + span;
    while (written && Clock::now() < end) {
      pollfd pfd{line, POLLIN, 0};
      if (::poll(&pfd, 1, 100) <= 0) continue;
      char replies[64];
      const ssize_t n = ::read(line, replies, sizeof replies);
      for (ssize_t i = 0; i < n && written; ++i, ++packets) {
        written = ::write(line, packet, sizeof packet) == sizeof packet;
      }
    }
    return packets;
  };
  run(std::chrono::milliseconds(500));
  const double cpu0 = ThreadCpuSeconds();
  const auto wall0 = Clock::now();
  const uint64_t packets = run(std::chrono::seconds(5));
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  const double cpu = ThreadCpuSeconds() - cpu0;
  transmitter.Stop();
  ::close(line);
  return {static_cast<double>(packets) / wall,
          packets > 0 ? cpu / static_cast<double>(packets) : 0};
}

// The transmitter behind a serial-to-Ethernet device server: a TCP peer on
// 127.0.0.1 that answers each packet with ACK at once, spinning on its socket.
class InstantTcpTransmitter {
 public:
  InstantTcpTransmitter() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~InstantTcpTransmitter() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  uint16_t Port() const { return port_; }

 private:
  void Run() {
    const int peer = ::accept(listener_, nullptr, nullptr);
    if (peer < 0) return;
    const int one = 1;
    ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::fcntl(peer, F_SETFL, ::fcntl(peer, F_GETFL) | O_NONBLOCK);
    size_t pending = 0;
    char buffer[4096];
    while (!stop_) {
      const ssize_t n = ::read(peer, buffer, sizeof buffer);
      if (n == 0) break;
      if (n > 0) pending += static_cast<size_t>(n);
      for (; pending >= 14; pending -= 14) {
        if (::write(peer, "\x06", 1) != 1) stop_ = true;
      }
    }
    ::close(peer);
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

// The same station with its transmitter over TCP, through the built control.
int MeasureOverTcp() {
  InstantTcpTransmitter transmitter;
  if (transmitter.Port() == 0) {
    std::fprintf(stderr, "no loopback listener\n");
    return 1;
  }
  SettingsStore settings;
  WriteMaximalPages(settings);
  const std::string clsid = kClsidWirelet.ToString();
  settings.WriteSetting("Wirekit.Wirelet\\CLSID", "", clsid, kRegSz, Hive::kClassesRoot);
  settings.WriteSetting("CLSID\\" + clsid + "\\InprocServer32", "", TORVANE_WIRELET_MODULE, kRegSz,
                        Hive::kClassesRoot);
  SetSerialLink(settings, kTransmitterKey, 25, 8);
  settings.WriteSetting(kTransmitterKey, "6", "127.0.0.1", kRegSz);
  settings.WriteSetting(kTransmitterKey, "7", std::to_string(transmitter.Port()), kRegSz);
  settings.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  ScriptedPrompter prompter;
  Station station(settings, prompter, {int16_t{0}});
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  station.Start();
  while (!station.TransmitterOpen() && Clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  if (!station.TransmitterOpen()) {
    std::fprintf(stderr, "the station did not connect to its transmitter over TCP\n");
    return 1;
  }
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence
  RunFor(std::chrono::milliseconds(500));
  Report("transmitter over TCP", MeasureThroughput(station));
  // Stop-and-wait holds: one packet a reply.
  const CycleCounters& c = station.cycle().Counters();
  std::printf("over TCP: %llu packets sent for %llu ACKs and %llu recoveries\n",
              static_cast<unsigned long long>(c.packetsSent),
              static_cast<unsigned long long>(c.acks),
              static_cast<unsigned long long>(c.recoveries));
  station.Shutdown();
  return 0;
}

int Main() {
  const Rate bareBefore = MeasureBarePtyLoop();
  Report("bare pty loop, before", bareBefore);
  PtyPair transmitterPty;
  PtyPair timingPty;
  if (!transmitterPty.ok() || !timingPty.ok()) {
    std::fprintf(stderr, "no pseudo-terminals\n");
    return 1;
  }
  SettingsStore settings;
  WriteMaximalStation(settings, transmitterPty.slaveName());
  settings.WriteSetting(kPortsKey, "COM4", timingPty.slaveName(), kRegSz);
  SetSerialLink(settings, kTimingSystemKey, 4, 5);
  ScriptedPrompter prompter;
  Station station(settings, prompter, {int16_t{0}});
  station.Start();
  if (!station.TransmitterOpen()) {
    std::fprintf(stderr, "the station did not open its transmitter line\n");
    return 1;
  }
  transmitterPty.CloseSlaveCopy();
  timingPty.CloseSlaveCopy();
  std::printf("image: %d pages, MapEnd %d (%d packets a full pass)\n",
              station.globals().Pages.N() + 1, station.globals().MapEnd,
              station.globals().MapEnd / 8 + 1);

  InstantTransmitter transmitter(transmitterPty);
  transmitter.Start();
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence
  RunFor(std::chrono::milliseconds(500));

  const Rate rate = MeasureThroughput(station);
  Report("transmitter on a pty", rate);

  // Latency: a pair announced while the link is busy until its names row leaves.
  transmitter.SetSpinning(false);
  const int page1 = station.globals().Pages[1].Address;
  std::vector<double> latencies;
  for (int i = 0; i < 200; ++i) {
    const std::string driver = i % 2 == 0 ? "JONES" : "BROWN";
    const Clock::time_point t0 = Clock::now();
    transmitter.Watch(page1 + 72, page1 + 120, t0);
    timingPty.Write("b1A\rc1101\rn11 SMITH\rb2B\rc2202\rn22 " + driver + "\r");
    Clock::time_point t1{};
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!transmitter.Seen(&t1) && Clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (transmitter.Seen(&t1)) latencies.push_back(std::chrono::duration<double>(t1 - t0).count());
    RunFor(std::chrono::milliseconds(10));
  }
  transmitter.Stop();
  if (latencies.empty()) {
    std::printf("latency: no changed row seen\n");
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  const double p50 = latencies[latencies.size() / 2];
  const double p99 = latencies[latencies.size() * 99 / 100];
  std::printf(
      "latency record -> first changed row on the line (%zu samples): p50 %.3f ms, "
      "p99 %.3f ms (p99 = %.2f packet wire times)\n",
      latencies.size(), p50 * 1e3, p99 * 1e3, p99 / kWireSecondsPerPacket);
  station.Shutdown();
  const Rate bareAfter = MeasureBarePtyLoop();
  Report("bare pty loop, after", bareAfter);
  const double bare = (bareBefore.perSecond + bareAfter.perSecond) / 2;
  if (bare > 0) {
    std::printf("the station carried %.0f%% of the bare pty loop's packets a second\n",
                100 * rate.perSecond / bare);
  }
  return MeasureOverTcp();
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return torvane::Main();
}
