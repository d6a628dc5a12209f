// How long a full pass over the largest image takes when the station feeds
// torvanetx-txsim on a pty and the simulator takes a 57600-baud wire's time
// for every byte, beside the time the wire alone needs for that pass and the
// time a bare loop needs for as many exchanges over the same pty.
//
// With --viewers N the station also serves the web view, results change a
// page line every 200 ms, and phases of passes without viewers alternate with
// phases where N viewers follow the cards: the two are compared in one run,
// with how long an acknowledged change took to reach every viewer.
// usage: pass_bench [--passes N] [--viewers N [--rounds N]] [txsim options ...]
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchSettings.h"
#include "BlockPacket.h"
#include "Prompter.h"
#include "SettingsKeys.h"
#include "Station.h"
#include "TransmitterModel.h"
#include "ViewerCrowd.h"
#include "WebServer.h"

namespace torvane {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// CPU time of the calling thread: unlike a pass's wall time, it does not grow
// when the machine is busy with other work.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU time the hypervisor gave to others while this machine's CPUs wanted it
// (steal in /proc/stat), in clock ticks; a pass that took long while it grew
// says more of the host than of the station.
long long StolenTicks() {
  std::FILE* stat = std::fopen("/proc/stat", "r");
  if (stat == nullptr) return 0;
  long long v[8] = {};
  const int got = std::fscanf(stat, "cpu %lld %lld %lld %lld %lld %lld %lld %lld", &v[0], &v[1],
                              &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
  std::fclose(stat);
  return got == 8 ? v[7] : 0;
}

struct LoopRun {
  double seconds = 0;  // 0: the line could not be used
  double cpuPerExchange = 0;
};

// What the pty and the simulator cost by themselves: a loop that does nothing
// but read each reply and write the next packet, timed over one pass's worth
// of exchanges after a warm-up. The station can come close to it, not beat it.
LoopRun BareLoop(const std::string& ptyPath, int exchanges) {
  const int line = ::open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line < 0) return {};
  termios raw{};
  if (::tcgetattr(line, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(line, TCSANOW, &raw);
  }
  MapImageBytes image{};
  int address = 0;
  // Sends the next packet; false when the line fails.
  const auto send = [&] {
    const BlockPacket packet = BuildBlockPacket(image, static_cast<int16_t>(address), 0);
    address = address + kBlockDataSize > 32000 ? 0 : address + kBlockDataSize;
    return ::write(line, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size());
  };
  // Runs until count replies came; false on a failed line or a silent one.
  const auto run = [&](int count) {
    while (count > 0) {
      pollfd pfd{line, POLLIN, 0};
      if (::poll(&pfd, 1, 1000) <= 0) return false;
      uint8_t replies[64];
      const ssize_t n = ::read(line, replies, sizeof replies);
      if (n <= 0) return false;
      for (ssize_t i = 0; i < n && count > 0; ++i, --count) {
        if (!send()) return false;
      }
    }
    return true;
  };
  // A reply still owed to the line's last user (the simulator keeps what it
  // could not deliver for the next one) would draw a second packet, and two in
  // flight overlap their gaps: wait it out, and drop what comes meanwhile.
  const auto quietUntil = Clock::now() + std::chrono::milliseconds(500);
  while (Clock::now() < quietUntil) {
    pollfd pfd{line, POLLIN, 0};
    if (::poll(&pfd, 1, 50) > 0) {
      uint8_t stale[64];
      if (::read(line, stale, sizeof stale) < 0 && errno != EAGAIN) break;
    }
  }
  bool ok = send() && run(500);
  const auto start = Clock::now();
  const double cpu0 = ThreadCpuSeconds();
  ok = ok && run(exchanges);
  const double seconds = Seconds(Clock::now() - start);
  const double cpu = ThreadCpuSeconds() - cpu0;
  // The last packet's reply, so that the station does not find it.
  pollfd pfd{line, POLLIN, 0};
  if (ok && ::poll(&pfd, 1, 1000) > 0) {
    uint8_t reply[64];
    ok = ::read(line, reply, sizeof reply) > 0;
  }
  ::close(line);
  if (!ok) return {};
  return {seconds, cpu / exchanges};
}

void ReportBareLoop(const char* when, const LoopRun& run, double wireSeconds, int exchanges) {
  if (run.seconds <= 0) {
    std::printf("bare loop, %s: the pty could not be used\n", when);
    return;
  }
  std::printf(
      "bare loop, %s: %.3f s for %d exchanges = %.3fx the wire, %.3f ms an exchange beyond it; "
      "%.1f us of CPU an exchange\n",
      when, run.seconds, exchanges, run.seconds / wireSeconds,
      (run.seconds - wireSeconds) / exchanges * 1e3, run.cpuPerExchange * 1e6);
}

struct BenchOptions {
  int passes = 3;   // measured in each phase
  int viewers = 0;  // 0: one phase, no web view
  int rounds = 2;   // pairs of phases, without and with viewers
  QStringList txsim;
};

// A stretch of passes, with or without viewers following the cards.
struct Phase {
  bool viewers = false;
  std::vector<double> passes;
  LatencyFigures latency;
  int failedViewers = 0;
  double kbPerViewer = 0;
};

struct PassFigures {
  double mean = 0;
  double best = 0;
  size_t count = 0;
};

PassFigures Figures(const std::vector<Phase>& phases, bool viewers) {
  PassFigures f;
  double sum = 0;
  for (const Phase& phase : phases) {
    if (phase.viewers != viewers) continue;
    for (double pass : phase.passes) {
      f.best = f.count == 0 ? pass : std::min(f.best, pass);
      sum += pass;
      ++f.count;
    }
  }
  if (f.count > 0) f.mean = sum / static_cast<double>(f.count);
  return f;
}

void ReportViewers(const std::vector<Phase>& phases, int viewers, double wireSeconds) {
  int round = 0;
  for (const Phase& phase : phases) {
    if (!phase.viewers) continue;
    const LatencyFigures& l = phase.latency;
    std::printf(
        "round %d with %d viewers (%d failed): %zu acknowledged changes reached them at p50 "
        "%.1f ms, p99 %.1f ms, worst %.1f ms, missed %zu; %.1f KB of process memory a viewer\n",
        ++round, viewers, phase.failedViewers, viewers > 0 ? l.samples / viewers : 0, l.p50Ms,
        l.p99Ms, l.worstMs, l.missed, phase.kbPerViewer);
  }
  const PassFigures without = Figures(phases, false);
  const PassFigures with = Figures(phases, true);
  if (without.count == 0 || with.count == 0) return;
  std::printf("without viewers: %zu passes, mean %.3f s (%.4fx the wire), best %.3f s\n",
              without.count, without.mean, without.mean / wireSeconds, without.best);
  std::printf("with %d viewers: %zu passes, mean %.3f s (%.4fx the wire), best %.3f s\n", viewers,
              with.count, with.mean, with.mean / wireSeconds, with.best);
  std::printf("the viewers' cost: mean pass %+.3f%%, best pass %+.3f%%\n",
              (with.mean / without.mean - 1) * 100, (with.best / without.best - 1) * 100);
}

// The first pass starts while the line settles; those after it are measured.
int Main(const BenchOptions& options) {
  const int passes = options.passes;
  const QStringList& txsimOptions = options.txsim;
  QProcess txsim;
  txsim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  txsim.start(TXSIM_PATH, QStringList{"--pty", "--wire-time", "--stats-every", "1"} + txsimOptions);
  if (!txsim.waitForStarted(5000)) {
    std::fprintf(stderr, "cannot start %s\n", TXSIM_PATH);
    return 1;
  }
  std::string ptyPath;
  while (ptyPath.empty() && txsim.waitForReadyRead(5000)) {
    while (txsim.canReadLine()) {
      const std::string line = txsim.readLine().trimmed().toStdString();
      if (line.rfind("pty: ", 0) == 0) ptyPath = line.substr(5);
    }
  }
  if (ptyPath.empty()) {
    std::fprintf(stderr, "txsim named no pty\n");
    return 1;
  }

  const int exchanges = 32000 / kBlockDataSize + 1;
  const LoopRun bareBefore = BareLoop(ptyPath, exchanges);

  SettingsStore settings;
  WriteMaximalStation(settings, ptyPath);
  ScriptedPrompter prompter;
  Station station(settings, prompter, {int16_t{0}});
  station.Start();
  if (!station.TransmitterOpen()) {
    std::fprintf(stderr, "the station did not open %s\n", ptyPath.c_str());
    return 1;
  }
  const int packets = station.globals().MapEnd / 8 + 1;
  const double wireSeconds =
      packets * 15 * std::chrono::duration<double>(sim::kWireByteTime).count();
  std::printf("image: MapEnd %d, %d exchanges a pass; the wire needs %.3f s a pass\n",
              station.globals().MapEnd, packets, wireSeconds);
  ReportBareLoop("before the station", bareBefore, wireSeconds, exchanges);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence

  std::unique_ptr<WebServer> web;
  QTimer results;
  if (options.viewers > 0) {
    web = std::make_unique<WebServer>(station.Snapshots());
    std::string error;
    if (!web->Start(&error)) {
      std::fprintf(stderr, "the web view: %s\n", error.c_str());
      return 1;
    }
    // Results coming in, alike in every phase: a line on the next page.
    QObject::connect(&results, &QTimer::timeout, [&station, n = 0]() mutable {
      PageStore& pages = station.globals().Pages;
      ++n;
      pages.SetLine(1 + n % pages.N(), 1, "Result " + std::to_string(n));
    });
    results.start(200);
  }
  std::vector<Phase> phases;
  for (int round = 0; round < (options.viewers > 0 ? options.rounds : 1); ++round) {
    phases.emplace_back();
    if (options.viewers > 0) phases.emplace_back().viewers = true;
  }
  size_t phase = 0;
  bool ready = false;       // the phase's viewers follow the cards
  bool straddling = false;  // the pass under way began before the phase
  std::unique_ptr<ViewerCrowd> crowd;
  std::vector<CardChange> changes;
  uint64_t lastChange = station.cycle().Acknowledged().Changes();
  double memoryBefore = 0;
  const auto beginPhase = [&] {
    // The first phase begins with the first pass, which is never measured.
    straddling = phase > 0;
    ready = !phases[phase].viewers;
    if (!phases[phase].viewers) return;
    memoryBefore = ResidentMegabytes();
    changes.clear();
    crowd = std::make_unique<ViewerCrowd>(web->Port(), options.viewers);
  };
  const auto endPhase = [&] {
    if (crowd) {
      const CrowdClock::time_point stoppedAt = CrowdClock::now();
      crowd->Stop();
      // A change just before the stop may still have been on its way.
      std::erase_if(changes, [&](const CardChange& c) {
        return c.at > stoppedAt - std::chrono::milliseconds(1500);
      });
      phases[phase].latency = Latencies(changes, crowd->Arrivals());
      phases[phase].failedViewers = crowd->Failed();
      crowd.reset();
    }
    if (++phase < phases.size()) beginPhase();
  };
  beginPhase();

  const QRegularExpression passLine("passes (\\d+), last pass ([0-9.]+) s");
  std::vector<double> measured;
  int seen = 0;
  bool started = false;
  long long stolenFrom = 0;
  Clock::time_point stolenSince{};
  double cpuFrom = 0;
  uint64_t packetsFrom = 0;
  // Time enough for passes at 40 ms an exchange, a slow adapter's latency
  // included, and for each phase's pass under way at its start.
  const int allPasses = static_cast<int>(phases.size()) * (passes + 2) + 2;
  const auto deadline = Clock::now() + std::chrono::milliseconds(40) * packets * allPasses;
  while (phase < phases.size() && Clock::now() < deadline) {
    // Blocks as exec() would: the overload with a time limit never waits, and
    // a bench that spins takes a core from the station and the simulator.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!ready && crowd && crowd->Streaming() + crowd->Failed() >= options.viewers) {
      ready = true;
      phases[phase].kbPerViewer = (ResidentMegabytes() - memoryBefore) * 1000.0 / options.viewers;
    }
    // When each change reached the card, as near as a reply's handling.
    const uint64_t change = station.cycle().Acknowledged().Changes();
    if (change != lastChange && crowd && ready) changes.push_back({change, CrowdClock::now()});
    lastChange = change;
    while (txsim.canReadLine() && phase < phases.size()) {
      const QRegularExpressionMatch match = passLine.match(QString::fromUtf8(txsim.readLine()));
      if (!match.hasMatch() || match.captured(1).toInt() <= seen) continue;
      seen = match.captured(1).toInt();
      if (!started) {  // CPU is counted from the end of the first pass on
        started = true;
        stolenFrom = StolenTicks();
        stolenSince = Clock::now();
        cpuFrom = ThreadCpuSeconds();
        packetsFrom = station.cycle().Counters().packetsSent;
      }
      if (seen < 2 || !ready) continue;
      if (straddling) {
        straddling = false;
        continue;
      }
      const double pass = match.captured(2).toDouble();
      measured.push_back(pass);
      phases[phase].passes.push_back(pass);
      std::printf("pass %d%s: %.3f s = %.3fx the wire, %.3f ms an exchange beyond it\n", seen,
                  options.viewers == 0    ? ""
                  : phases[phase].viewers ? ", viewers"
                                          : ", no viewers",
                  pass, pass / wireSeconds, (pass - wireSeconds) / packets * 1e3);
      std::fflush(stdout);
      if (static_cast<int>(phases[phase].passes.size()) == passes) endPhase();
    }
  }
  crowd.reset();
  results.stop();
  const double stationCpu = ThreadCpuSeconds() - cpuFrom;
  const uint64_t stationPackets = station.cycle().Counters().packetsSent - packetsFrom;
  const double stolen =
      static_cast<double>(StolenTicks() - stolenFrom) / static_cast<double>(sysconf(_SC_CLK_TCK));
  const double cpuSeconds =
      Seconds(Clock::now() - stolenSince) * static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
  web.reset();
  station.Shutdown();
  const LoopRun bareAfter = BareLoop(ptyPath, exchanges);
  ReportBareLoop("after the station", bareAfter, wireSeconds, exchanges);
  txsim.terminate();
  txsim.waitForFinished(5000);
  if (measured.empty()) {
    std::fprintf(stderr, "no full pass reported in time\n");
    return 1;
  }
  double best = measured.front();
  double sum = 0;
  for (double pass : measured) {
    best = std::min(best, pass);
    sum += pass;
  }
  const double mean = sum / static_cast<double>(measured.size());
  std::printf(
      "full pass over %zu passes: mean %.3f s (%.3fx the wire's %.3f s), best %.3f s (%.3fx)\n",
      measured.size(), mean, mean / wireSeconds, wireSeconds, best, best / wireSeconds);
  if (started && cpuSeconds > 0) {
    std::printf("stolen by the host during the passes: %.1f%% of this machine's CPU time\n",
                100 * stolen / cpuSeconds);
  }
  const double cpuPerExchange = stationPackets > 0 ? stationCpu / stationPackets : 0;
  std::printf("the station's thread: %.1f us of CPU an exchange (%.2f%% of the wire's %.3f ms)\n",
              cpuPerExchange * 1e6, cpuPerExchange / (wireSeconds / packets) * 100,
              wireSeconds / packets * 1e3);
  // Against the faster of the two bare loops: the floor the pty allowed.
  const double bareBest = std::min(bareBefore.seconds, bareAfter.seconds);
  if (bareBest > 0) {
    const double bare = bareBest * packets / exchanges;
    const double bareCpu = std::min(bareBefore.cpuPerExchange, bareAfter.cpuPerExchange);
    std::printf("beyond the bare loop: %.1f us of CPU an exchange\n",
                (cpuPerExchange - bareCpu) * 1e6);
    std::printf(
        "the station's own share: mean pass %.3fx the faster bare loop's %.3f s (%.3f ms an "
        "exchange beyond it)\n",
        mean / bare, bare, (mean - bare) / packets * 1e3);
  }
  if (options.viewers > 0) ReportViewers(phases, options.viewers, wireSeconds);
  return 0;
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  torvane::BenchOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--passes" && i + 1 < argc) {
      options.passes = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--viewers" && i + 1 < argc) {
      options.viewers = std::max(0, std::atoi(argv[++i]));
    } else if (arg == "--rounds" && i + 1 < argc) {
      options.rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      options.txsim << QString::fromLocal8Bit(argv[i]);
    }
  }
  return torvane::Main(options);
}
