// How many block packets the transmitter model checks and answers per second,
// against the 57600-baud line, which carries one packet and its reply every
// 2.6 ms (384 a second).
#include <benchmark/benchmark.h>

#include "SimTestSupport.h"
#include "TransmitterModel.h"

namespace torvane::sim {
namespace {

constexpr double kWirePacketsPerSecond = 1.0 / (15 * 10 / 57600.0);

void BM_TransmitterPackets(benchmark::State& state) {
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  std::vector<PacketBytes> packets;
  for (int a = 0; a <= mapEnd; a += 8) packets.push_back(testing::PacketOf(image, a, 0));
  TransmitterModel model;
  Instant now{0};
  size_t i = 0;
  for (auto _ : state) {
    model.Receive(packets[i], now);
    benchmark::DoNotOptimize(model.TakeReplies(now));
    now += std::chrono::microseconds(2604);
    if (++i == packets.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["x_wire_rate"] = benchmark::Counter(
      static_cast<double>(state.iterations()) / kWirePacketsPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TransmitterPackets);

}  // namespace
}  // namespace torvane::sim

BENCHMARK_MAIN();
