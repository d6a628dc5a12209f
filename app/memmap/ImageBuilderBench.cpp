// Cost of keeping the image current during the cyclic pass: before every
// packet the cycle calls BuildIndexTable (below 272) or BuildImage (272 and
// above). Measured over one whole pass of a maximal image and reported per
// packet, beside the 2.6 ms one packet and its reply take on the wire.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Globals.h"
#include "ImageBuilder.h"
#include "ImageLayout.h"
#include "MaximalPages.h"
#include "PageWriter.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

constexpr double kWireSecondsPerPacket = 2.6e-3;

// 127 pages whose blocks end exactly at 32000, every line and title filled,
// six colour values per page, a 250-character ticker.
struct MaximalStation {
  explicit MaximalStation(ImageBuilder::Mode mode) : g(std::make_unique<Globals>()) {
    PageStore& pages = g->Pages;
    FillMaximalPages(pages);
    for (int k = 0; k <= pages.N(); ++k) {
      const std::string key = PageKey(k);
      for (const char* area : {"Cursor", "Title", "Page"}) {
        settings.WriteSetting(key, std::string(area) + "BackColor", std::to_string(k % 16), kRegSz);
        settings.WriteSetting(key, std::string(area) + "ForeColor", "3", kRegSz);
      }
    }
    g->TickerText = std::string(kMaxTickerLength, 'T');
    g->TickerLength = kMaxTickerLength;
    g->DayOfYear = 158;
    builder = std::make_unique<ImageBuilder>(*g, settings, mode);
    writer = std::make_unique<PageWriter>(*g, *builder);
    builder->BuildIndexTable();
    builder->BuildImage();
    builder->BuildIndexTable();
  }

  // One cyclic pass from address 0 until the cursor passes MapEnd, calling the
  // builders as the cycle does; every changeEvery packets a result line changes
  // as a timing record would change it (0: never). Returns the packets sent.
  int Pass(int changeEvery, uint32_t& sink) {
    int packets = 0;
    int cursor = 0;
    while (cursor <= g->MapEnd) {
      if (changeEvery > 0 && packets % changeEvery == 0) {
        const int line = 3 + packets / changeEvery % 10;
        g->Pages.SetLine(kResultPage, line, "Lane " + std::to_string(packets));
        writer->SendResultLine(g->Pages[kResultPage].Address, static_cast<int16_t>(line));
      }
      if (cursor < kFirstPageAddress) {
        builder->BuildIndexTable();
      } else {
        builder->BuildImage();
      }
      for (int i = 0; i < 8; ++i) sink += g->MapImage[static_cast<size_t>(cursor + i)];
      cursor += 8;
      ++packets;
    }
    return packets;
  }

  SettingsStore settings;
  std::unique_ptr<Globals> g;
  std::unique_ptr<ImageBuilder> builder;
  std::unique_ptr<PageWriter> writer;
};

}  // namespace

// Prints, after each pass benchmark, its CPU time per packet beside the wire time.
class PerPacketReporter : public benchmark::ConsoleReporter {
 public:
  PerPacketReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto packets = run.counters.find("packets_per_pass");
      if (packets == run.counters.end() || run.iterations == 0) continue;
      const double packetsSent = static_cast<double>(run.iterations) * packets->second.value;
      const double cpu = run.cpu_accumulated_time / packetsSent;
      const double wall = run.real_accumulated_time / packetsSent;
      char line[240];
      std::snprintf(line, sizeof line,
                    "    %s: %.1f ns per packet (CPU; %.1f ns wall), %.2e of the 2.6 ms wire "
                    "time, %.0fx headroom\n",
                    run.report_label.c_str(), cpu * 1e9, wall * 1e9, cpu / kWireSecondsPerPacket,
                    kWireSecondsPerPacket / cpu);
      GetOutputStream() << line;
    }
  }
};

namespace {

void BM_CyclicPass(benchmark::State& state) {
  const auto mode = static_cast<ImageBuilder::Mode>(state.range(0));
  const int changeEvery = static_cast<int>(state.range(1));
  MaximalStation station(mode);
  uint32_t sink = 0;
  int packets = 0;
  for (auto _ : state) {
    packets = station.Pass(changeEvery, sink);
    benchmark::DoNotOptimize(sink);
  }
  state.SetLabel(
      std::string(mode == ImageBuilder::Mode::kIncremental ? "incremental" : "full") +
      (changeEvery > 0 ? ", result line every " + std::to_string(changeEvery) : ", no changes"));
  state.counters["packets_per_pass"] = packets;
}

constexpr int64_t kIncremental = static_cast<int64_t>(ImageBuilder::Mode::kIncremental);
constexpr int64_t kFull = static_cast<int64_t>(ImageBuilder::Mode::kFull);

BENCHMARK(BM_CyclicPass)
    ->ArgNames({"mode", "change_every"})
    ->Args({kIncremental, 0})
    ->Args({kIncremental, 100})
    ->Args({kFull, 0})
    ->Args({kFull, 100})
    ->Unit(benchmark::kMillisecond);

// The two builders on their own, once the image is current.
void BM_BuildImageUnchanged(benchmark::State& state) {
  MaximalStation station(static_cast<ImageBuilder::Mode>(state.range(0)));
  for (auto _ : state) {
    station.builder->BuildImage();
    benchmark::DoNotOptimize(station.g->MapImage[kHeaderChecksumAddress]);
  }
}
BENCHMARK(BM_BuildImageUnchanged)->ArgName("mode")->Arg(kIncremental)->Arg(kFull);

void BM_BuildIndexTableUnchanged(benchmark::State& state) {
  MaximalStation station(static_cast<ImageBuilder::Mode>(state.range(0)));
  for (auto _ : state) {
    station.builder->BuildIndexTable();
    benchmark::DoNotOptimize(station.g->MapImage[0]);
  }
}
BENCHMARK(BM_BuildIndexTableUnchanged)->ArgName("mode")->Arg(kIncremental)->Arg(kFull);

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  torvane::PerPacketReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
