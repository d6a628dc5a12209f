// Many phones on one card stream: N viewers on loopback follow the cards while
// changed cards are published every 200 ms; prints how long a change took to
// reach every viewer (p50, p99, worst) and the process's memory per viewer.
//
//   web_bench [--viewers N] [--changes N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Globals.h"
#include "ImageBuilder.h"
#include "SettingsStore.h"
#include "ViewerCrowd.h"
#include "WebServer.h"

int main(int argc, char** argv) {
  int viewers = 500;
  int changes = 30;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--viewers") viewers = std::atoi(argv[i + 1]);
    if (flag == "--changes") changes = std::atoi(argv[i + 1]);
  }
  using namespace torvane;
  SettingsStore settings;
  Globals g;
  ImageBuilder builder(g, settings);
  g.Pages.SetTitle(0, "Index");
  builder.BuildIndexTable();
  builder.BuildImage();
  builder.BuildIndexTable();
  auto snapshots = std::make_shared<StationSnapshots>();
  WebServer server(snapshots);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::vector<CardChange> changed;
  const double before = ResidentMegabytes();
  ViewerCrowd crowd(server.Port(), viewers);
  while (crowd.Streaming() + crowd.Failed() < viewers) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double connected = ResidentMegabytes();

  for (int change = 1; change <= changes; ++change) {
    g.Pages.SetLine(0, change % 10, "RESULT " + std::to_string(change));
    builder.BuildImage();
    builder.BuildIndexTable();
    auto cards = std::make_shared<CardSnapshot>();
    cards->sequence = static_cast<uint64_t>(change);
    cards->image = g.MapImage;
    changed.push_back({cards->sequence, CrowdClock::now()});
    snapshots->PublishCards(std::move(cards));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  crowd.Stop();

  const LatencyFigures late = Latencies(changed, crowd.Arrivals());
  std::printf(
      "viewers %d (%d failed), changes %d: change to viewer p50 %.1f ms, p99 %.1f ms, worst %.1f "
      "ms, missed %zu\n",
      viewers, crowd.Failed(), changes, late.p50Ms, late.p99Ms, late.worstMs, late.missed);
  std::printf(
      "resident memory %.1f MB before, %.1f MB with the viewers: %.1f KB a viewer (server and "
      "client side together, kernel buffers not counted)\n",
      before, connected, (connected - before) * 1000.0 / viewers);
  return 0;
}
