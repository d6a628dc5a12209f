#include "ViewerCrowd.h"

#include <gtest/gtest.h>

#include <thread>

#include "StationSnapshots.h"
#include "WebServer.h"

namespace torvane {
namespace {

using std::chrono::milliseconds;

const CrowdClock::time_point kT0 = CrowdClock::time_point{} + std::chrono::hours(1);

struct LatencyCase {
  const char* name;
  std::vector<CardChange> changes;
  std::vector<std::vector<Arrival>> viewers;
  size_t samples, missed;
  double p50Ms, worstMs;
};

class LatenciesTest : public testing::TestWithParam<LatencyCase> {};

TEST_P(LatenciesTest, EachChangeIsTimedToTheFirstMessageThatCarriesIt) {
  const LatencyCase& c = GetParam();
  const LatencyFigures f = Latencies(c.changes, c.viewers);
  EXPECT_EQ(f.samples, c.samples);
  EXPECT_EQ(f.missed, c.missed);
  EXPECT_DOUBLE_EQ(f.p50Ms, c.p50Ms);
  EXPECT_DOUBLE_EQ(f.worstMs, c.worstMs);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LatenciesTest,
    testing::Values(LatencyCase{"OneMessageEach",
                                {{1, kT0}, {2, kT0 + milliseconds(200)}},
                                {{{1, kT0 + milliseconds(30)}, {2, kT0 + milliseconds(250)}}},
                                2,
                                0,
                                30,
                                50},
                    // Changes 2 and 3 came in one message, sent as 3.
                    LatencyCase{"CoalescedChangesCountFromTheirOwnTime",
                                {{2, kT0}, {3, kT0 + milliseconds(40)}},
                                {{{3, kT0 + milliseconds(100)}}},
                                2,
                                0,
                                60,
                                100},
                    LatencyCase{"AViewerThatNeverGotAChangeMissedIt",
                                {{1, kT0}, {2, kT0 + milliseconds(100)}},
                                {{{1, kT0 + milliseconds(10)}, {2, kT0 + milliseconds(120)}},
                                 {{1, kT0 + milliseconds(15)}}},
                                3,
                                1,
                                15,
                                20},
                    LatencyCase{"NoViewersNoSamples", {{1, kT0}}, {}, 0, 0, 0, 0}),
    [](const testing::TestParamInfo<LatencyCase>& info) { return info.param.name; });

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(milliseconds(10));
  return done();
}

TEST(ViewerCrowdTest, EveryViewerSeesEachPublishedChangeInOrder) {
  auto snapshots = std::make_shared<StationSnapshots>();
  WebServer server(snapshots);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  constexpr int kViewers = 25;
  ViewerCrowd crowd(server.Port(), kViewers);
  ASSERT_TRUE(WaitFor([&] { return crowd.Streaming() == kViewers; }));
  std::vector<CardChange> changes;
  for (uint64_t sequence = 1; sequence <= 3; ++sequence) {
    auto cards = std::make_shared<CardSnapshot>();
    cards->sequence = sequence;
    cards->image[300] = static_cast<uint8_t>(sequence);
    changes.push_back({sequence, CrowdClock::now()});
    snapshots->PublishCards(std::move(cards));
    // Past the server's look at the snapshots, so that none is coalesced.
    std::this_thread::sleep_for(milliseconds(300));
  }
  ASSERT_TRUE(WaitFor([&] { return server.Figures().cardSequence == 3; }));
  std::this_thread::sleep_for(milliseconds(200));
  crowd.Stop();
  EXPECT_EQ(crowd.Failed(), 0);
  ASSERT_EQ(crowd.Arrivals().size(), static_cast<size_t>(kViewers));
  for (const std::vector<Arrival>& got : crowd.Arrivals()) {
    ASSERT_EQ(got.size(), 3u);
    for (uint64_t i = 0; i < 3; ++i) EXPECT_EQ(got[i].id, i + 1);
  }
  const LatencyFigures f = Latencies(changes, crowd.Arrivals());
  EXPECT_EQ(f.samples, 3u * kViewers);
  EXPECT_EQ(f.missed, 0u);
  EXPECT_GE(f.p50Ms, 0);
}

TEST(ViewerCrowdTest, ViewersThatCannotConnectAreCountedAsFailed) {
  uint16_t port = 0;
  {
    WebServer closed(std::make_shared<StationSnapshots>());
    std::string error;
    ASSERT_TRUE(closed.Start(&error)) << error;
    port = closed.Port();
  }
  ViewerCrowd crowd(port, 5);
  EXPECT_TRUE(WaitFor([&] { return crowd.Failed() == 5; }));
  EXPECT_EQ(crowd.Streaming(), 0);
}

}  // namespace
}  // namespace torvane
