#include "FeedPlayer.h"

#include <gtest/gtest.h>

#include "RaceDayGenerator.h"

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;

std::vector<FeedChunk> ThreeChunks() {
  return {{1000, FeedStream::kCommand, "a"},
          {2000, FeedStream::kTagged, "b"},
          {3500, FeedStream::kCommand, "c"}};
}

std::string Bytes(const std::vector<FeedChunk>& chunks) {
  std::string out;
  for (const FeedChunk& c : chunks) out += c.bytes;
  return out;
}

TEST(FeedPlayerTest, PacesByTheFeedTimesFromItsFirstChunk) {
  struct Case {
    std::optional<double> speed;
    std::vector<Duration> due;  // after Start(10 s), of each chunk
  };
  const std::vector<Case> table = {
      {1.0, {10s, 11s, 12'500ms}},
      {10.0, {10s, 10'100ms, 10'250ms}},
      {0.5, {10s, 12s, 15s}},
      {std::nullopt, {10s, 10s, 10s}},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.speed ? *c.speed : -1.0);
    FeedPlayer player(ThreeChunks(), c.speed);
    EXPECT_EQ(player.NextDue(), std::nullopt);
    player.Start(Instant(10s));
    for (size_t i = 0; i < c.due.size(); ++i) {
      ASSERT_EQ(player.NextDue(), c.due[i]) << i;
      EXPECT_TRUE(player.TakeDue(c.due[i] - 1ns, 10).empty() || c.due[i] == c.due[0]);
      const std::vector<FeedChunk> taken = player.TakeDue(c.due[i], 1);
      ASSERT_EQ(taken.size(), 1u);
      EXPECT_EQ(taken[0].bytes, std::string(1, static_cast<char>('a' + i)));
    }
    EXPECT_TRUE(player.Done());
    EXPECT_EQ(player.NextDue(), std::nullopt);
  }
}

TEST(FeedPlayerTest, TakesAllThatIsDueInBatches) {
  FeedPlayer player(ThreeChunks(), std::nullopt);
  EXPECT_TRUE(player.TakeDue(Instant(1h), 10).empty());  // not started
  player.Start(Instant(0));
  EXPECT_EQ(Bytes(player.TakeDue(Instant(0), 2)), "ab");
  EXPECT_EQ(Bytes(player.TakeDue(Instant(0), 2)), "c");
  EXPECT_TRUE(player.Done());
  EXPECT_EQ(player.played(FeedStream::kCommand), 2);
  EXPECT_EQ(player.played(FeedStream::kTagged), 1);
}

TEST(FeedPlayerTest, LimitCountsEachStream) {
  std::vector<FeedChunk> chunks;
  for (int i = 0; i < 10; ++i) {
    chunks.push_back({i, i % 3 == 0 ? FeedStream::kTagged : FeedStream::kCommand,
                      std::string(1, static_cast<char>('0' + i))});
  }
  FeedPlayer player(chunks, std::nullopt, 2);
  player.Start(Instant(0));
  EXPECT_EQ(Bytes(player.TakeDue(Instant(0), 100)), "0123");
  EXPECT_TRUE(player.Done());

  FeedPlayer none(chunks, std::nullopt, 0);
  none.Start(Instant(0));
  EXPECT_TRUE(none.Done());
}

TEST(FeedPlayerTest, SpeedOfZeroOrLessPlaysAtOnce) {
  FeedPlayer player(ThreeChunks(), 0.0);
  player.Start(Instant(5s));
  EXPECT_EQ(Bytes(player.TakeDue(Instant(5s), 10)), "abc");
}

TEST(FeedPlayerTest, RaceDayFeedHasTheChosenStreams) {
  RaceDayConfig config;
  config.classCount = 1;
  const RaceDay day = GenerateRaceDay(config);
  const std::vector<FeedChunk> both = FeedFromRaceDay(day, true, true);
  const std::vector<FeedChunk> command = FeedFromRaceDay(day, true, false);
  const std::vector<FeedChunk> tagged = FeedFromRaceDay(day, false, true, true);
  EXPECT_EQ(both.size(), command.size() + tagged.size());
  for (const FeedChunk& c : command) EXPECT_EQ(c.stream, FeedStream::kCommand);
  for (const FeedChunk& c : tagged) {
    EXPECT_EQ(c.stream, FeedStream::kTagged);
    EXPECT_EQ(c.bytes.substr(c.bytes.size() - 2), "\r\n");
  }
  EXPECT_TRUE(FeedFromRaceDay(day, false, false).empty());
}

}  // namespace
}  // namespace torvane::sim
