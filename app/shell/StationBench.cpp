// The station against an instant-answering transmitter on a pseudo-terminal,
// with a maximal image: sustained packets per second and CPU time per packet of
// the station's thread, then the latency from a timing record written to the
// timing line until the first packet of the changed rows leaves. Figures are
// given beside the 57600-baud wire time of one packet and its reply.
#include <time.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "MaximalPages.h"
#include "LinkSettingsStore.h"
#include "PageStoreSettings.h"
#include "PtyPair.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kWireSecondsPerPacket = 2.6e-3;  // 14 bytes out, 1 back, 10 bits each

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The maximal page store, saved as the editor saves it.
void WriteMaximalPages(SettingsStore& settings) {
  PageStore pages;
  FillMaximalPages(pages);
  SavePageStore(settings, pages);
  for (int k = 0; k <= pages.N(); ++k) WritePageSize(settings, k, pages.PageSize(k));
}

void SetSerialLink(SettingsStore& settings, std::string_view key, int port, int bps) {
  const std::string values[] = {std::to_string(port), std::to_string(bps), "0", "4", "0", "0",
                                "None", "None"};
  for (int i = 0; i < 8; ++i) settings.WriteSetting(key, std::to_string(i), values[i], kRegSz);
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

int Main() {
  PtyPair transmitterPty;
  PtyPair timingPty;
  if (!transmitterPty.ok() || !timingPty.ok()) {
    std::fprintf(stderr, "no pseudo-terminals\n");
    return 1;
  }
  SettingsStore settings;
  WriteMaximalPages(settings);
  settings.WriteSetting(kPortsKey, "COM3", transmitterPty.slaveName(), kRegSz);
  settings.WriteSetting(kPortsKey, "COM4", timingPty.slaveName(), kRegSz);
  SetSerialLink(settings, kTransmitterKey, 3, 8);
  SetSerialLink(settings, kTimingSystemKey, 4, 5);
  settings.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  ScriptedPrompter prompter;
  Station station(settings, prompter, {int16_t{0}, ""});
  if (!station.Start() || !station.TransmitterOpen()) {
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

  // Throughput.
  const uint64_t packets0 = station.cycle().Counters().packetsSent;
  const double cpu0 = ThreadCpuSeconds();
  const auto wall0 = Clock::now();
  RunFor(std::chrono::seconds(5));
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  const double cpu = ThreadCpuSeconds() - cpu0;
  const uint64_t packets = station.cycle().Counters().packetsSent - packets0;
  const double perSecond = static_cast<double>(packets) / wall;
  const double cpuPerPacket = cpu / static_cast<double>(packets);
  std::printf("throughput: %.0f packets/s (%.1fx the %.0f packets/s of 57600 baud)\n", perSecond,
              perSecond * kWireSecondsPerPacket, 1.0 / kWireSecondsPerPacket);
  std::printf("station CPU: %.2f us per packet (%.5f of the 2.6 ms wire time, %.0fx headroom)\n",
              cpuPerPacket * 1e6, cpuPerPacket / kWireSecondsPerPacket,
              kWireSecondsPerPacket / cpuPerPacket);

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
  std::printf("latency record -> first changed row on the line (%zu samples): p50 %.3f ms, "
              "p99 %.3f ms (p99 = %.2f packet wire times)\n",
              latencies.size(), p50 * 1e3, p99 * 1e3, p99 / kWireSecondsPerPacket);
  station.Shutdown();
  return 0;
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  return torvane::Main();
}
