// How long a full pass over the largest image takes when the station feeds
// torvanetx-txsim on a pty and the simulator takes a 57600-baud wire's time
// for every byte, beside the time the wire alone needs for that pass.
// usage: pass_bench [--passes N] [txsim options ...]
#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSettings.h"
#include "Prompter.h"
#include "SettingsKeys.h"
#include "Station.h"
#include "TransmitterModel.h"

namespace torvane {
namespace {

using Clock = std::chrono::steady_clock;

// The first pass starts while the line settles; those after it are measured.
int Main(int passes, const QStringList& txsimOptions) {
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
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence

  const QRegularExpression passLine("passes (\\d+), last pass ([0-9.]+) s");
  std::vector<double> measured;
  int seen = 0;
  // Time enough for passes at 40 ms an exchange, a slow adapter's latency included.
  const auto deadline = Clock::now() + std::chrono::milliseconds(40) * packets * (passes + 2);
      Clock::now() + std::chrono::duration<double>(wireSeconds * 3 * (passes + 2));
  while (static_cast<int>(measured.size()) < passes && Clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    while (txsim.canReadLine()) {
      const QRegularExpressionMatch match = passLine.match(QString::fromUtf8(txsim.readLine()));
      if (!match.hasMatch() || match.captured(1).toInt() <= seen) continue;
      seen = match.captured(1).toInt();
      if (seen >= 2) {
        measured.push_back(match.captured(2).toDouble());
        const double pass = measured.back();
        std::printf("pass %d: %.3f s = %.3fx the wire, %.3f ms an exchange beyond it\n", seen, pass,
                    pass / wireSeconds, (pass - wireSeconds) / packets * 1e3);
        std::fflush(stdout);
      }
    }
  }
  station.Shutdown();
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
  return 0;
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int passes = 3;
  QStringList txsimOptions;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--passes" && i + 1 < argc) {
      passes = std::max(1, std::atoi(argv[++i]));
    } else {
      txsimOptions << QString::fromLocal8Bit(argv[i]);
    }
  }
  return torvane::Main(passes, txsimOptions);
}
