#include "ReceiveFramer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace torvane {
namespace {

struct Delivered {
  Framing framing;
  std::string record;
  bool operator==(const Delivered&) const = default;
};

class ReceiveFramerTest : public ::testing::Test {
 protected:
  ReceiveFramerTest()
      : framer_([this](Framing framing, const std::string& record) {
          delivered_.push_back({framing, record});
          if (onRecord_) onRecord_(record);
        }) {}

  std::vector<std::string> Records() const {
    std::vector<std::string> records;
    for (const Delivered& d : delivered_) records.push_back(d.record);
    return records;
  }

  std::vector<Delivered> delivered_;
  std::function<void(const std::string&)> onRecord_;
  ReceiveFramer framer_;
};

struct FramingCase {
  const char* name;
  Framing framing;
  std::vector<std::string> arrivals;
  std::vector<std::string> records;
};

class FramingTableTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingTableTest, CutsRecords) {
  const FramingCase& c = GetParam();
  std::vector<std::string> records;
  ReceiveFramer framer([&](Framing framing, const std::string& record) {
    EXPECT_EQ(framing, c.framing);
    records.push_back(record);
  });
  for (const std::string& text : c.arrivals) framer.Receive(text, c.framing);
  EXPECT_EQ(records, c.records);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FramingTableTest,
    ::testing::Values(
        FramingCase{
            "QuotesDroppedLineFeedLost", Framing::kTagged, {"xx\"Lane\"1\r\n"}, {"xxLane1\r"}},
        FramingCase{"DigitsCannotStart", Framing::kTagged, {"12AB\r"}, {"AB\r"}},
        FramingCase{"TabEndsARecord", Framing::kTagged, {"AB\tCD\r"}, {"AB\r", "CD\r"}},
        FramingCase{"CharactersBetweenZAndA",
                    Framing::kTagged,
                    {"]\r", "[x\r", "_y\r", "`\r"},
                    {"]\r", "[x\r", "_y\r", "`\r"}},
        FramingCase{
            "OutsideAToZCannotStart", Framing::kTagged, {"{a\r@b\r~c\r"}, {"a\r", "b\r", "c\r"}},
        FramingCase{"HighBytesEndARecord",
                    Framing::kTagged,
                    {"AB\xe9"
                     "CD\r"},
                    {"AB\r", "CD\r"}},
        FramingCase{"QuoteCannotStart", Framing::kTagged, {"\"AB\"\r"}, {"AB\r"}},
        FramingCase{"NetworkJunkBeforeTilde",
                    Framing::kCommand,
                    {"junk~C1,2\r\n~C3\r"},
                    {"~C1,2\r", "~C3\r"}},
        FramingCase{"SplitAcrossArrivals", Framing::kCommand, {"~C1", ",2\r"}, {"~C1,2\r"}},
        FramingCase{"CommandKeepsEverything",
                    Framing::kCommand,
                    {"~TL\x01\t\"0.5\xe9\n\r"},
                    {"~TL\x01\t\"0.5\xe9\n\r"}},
        FramingCase{"CommandTildeInsideARecord", Framing::kCommand, {"~AS~X~\r"}, {"~AS~X~\r"}},
        FramingCase{"NoCarriageReturnNoRecord", Framing::kCommand, {"~GC SS/AA"}, {}},
        FramingCase{"EmptyArrival", Framing::kTagged, {"", "A", "", "\r"}, {"A\r"}},
        FramingCase{"CarriageReturnsBetweenRecords", Framing::kTagged, {"\r\r\nA\r\r"}, {"A\r"}},
        FramingCase{"ByteByByte", Framing::kTagged, {"L", "0", "0", ".", "5", "\r"}, {"L00.5\r"}}),
    [](const ::testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

TEST(FramingForTest, CommandOnlyForNetworkInputWhileTcpIsActive) {
  EXPECT_EQ(FramingFor(true, true), Framing::kCommand);
  EXPECT_EQ(FramingFor(true, false), Framing::kTagged);
  EXPECT_EQ(FramingFor(false, true), Framing::kTagged);
  EXPECT_EQ(FramingFor(false, false), Framing::kTagged);
}

TEST_F(ReceiveFramerTest, ARecordSurvivesASwitchOfFraming) {
  framer_.Receive("~GC", Framing::kCommand);
  EXPECT_TRUE(framer_.Collecting());
  EXPECT_EQ(framer_.RecordBuffer(), "~GC");
  framer_.Receive("\"x\"\r", Framing::kTagged);  // the tagged rules apply to this text
  ASSERT_EQ(delivered_.size(), 1U);
  EXPECT_EQ(delivered_[0], (Delivered{Framing::kTagged, "~GCx\r"}));
  EXPECT_TRUE(framer_.AwaitingStart());
}

TEST_F(ReceiveFramerTest, ResetDropsAPartialRecordAndWaitingText) {
  framer_.Receive("AB", Framing::kTagged);
  framer_.Reset();
  EXPECT_TRUE(framer_.AwaitingStart());
  EXPECT_FALSE(framer_.Collecting());
  framer_.Receive("1CD\r", Framing::kTagged);
  EXPECT_EQ(Records(), std::vector<std::string>{"CD\r"});
}

TEST_F(ReceiveFramerTest, TextArrivingInsideAHandlerIsTakenByTheRunningLoop) {
  bool nested = false;
  onRecord_ = [&](const std::string& record) {
    if (record != "A\r") return;
    EXPECT_TRUE(framer_.Busy());
    framer_.Receive("C\r", Framing::kTagged);  // a message box pumped an arrival
    nested = true;
    EXPECT_EQ(delivered_.size(), 1U);  // not examined from inside the handler
    EXPECT_EQ(framer_.Waiting(), 4U);  // "B\r" and "C\r"
  };
  framer_.Receive("A\rB\r", Framing::kTagged);
  EXPECT_TRUE(nested);
  EXPECT_EQ(Records(), (std::vector<std::string>{"A\r", "B\r", "C\r"}));
  EXPECT_FALSE(framer_.Busy());
  EXPECT_EQ(framer_.Waiting(), 0U);
}

TEST_F(ReceiveFramerTest, AThrowingHandlerDoesNotLeaveTheFramerBusy) {
  onRecord_ = [](const std::string&) { throw std::runtime_error("parser failed"); };
  EXPECT_THROW(framer_.Receive("A\rB\r", Framing::kTagged), std::runtime_error);
  EXPECT_FALSE(framer_.Busy());
  onRecord_ = nullptr;
  framer_.Receive("C\r", Framing::kTagged);
  EXPECT_EQ(Records().back(), "C\r");
}

TEST_F(ReceiveFramerTest, TimingDataSeenAtEveryArrivalUntilCleared) {
  EXPECT_FALSE(framer_.TimingDataSeen());
  framer_.Receive("123", Framing::kTagged);  // nothing usable, but text arrived
  EXPECT_TRUE(framer_.TimingDataSeen());
  framer_.ClearTimingDataSeen();
  EXPECT_FALSE(framer_.TimingDataSeen());
}

TEST_F(ReceiveFramerTest, ResetEndsASkip) {
  framer_.Receive("A" + std::string(ReceiveFramer::kMaxRecordLength + 1, 'x'), Framing::kTagged);
  EXPECT_TRUE(framer_.Discarding());
  framer_.Reset();
  EXPECT_FALSE(framer_.Discarding());
  framer_.Receive("B\r", Framing::kTagged);
  EXPECT_EQ(Records(), std::vector<std::string>{"B\r"});
}

// A link that drops and comes back: what the old link sent before the drop,
// then what the new one sends. Whole records of both arrive once; the one cut
// by the drop is not glued onto the new link's first record.
struct AbandonCase {
  const char* name;
  Framing framing;
  std::string before;
  std::string after;
  std::vector<std::string> records;
  bool dropped;
};

class AbandonTableTest : public ::testing::TestWithParam<AbandonCase> {};

TEST_P(AbandonTableTest, CutRecordIsDroppedAndWholeOnesKept) {
  const AbandonCase& c = GetParam();
  std::vector<std::string> records;
  ReceiveFramer framer([&](Framing, const std::string& r) { records.push_back(r); });
  framer.Receive(c.before, c.framing);
  EXPECT_EQ(framer.AbandonRecord(), c.dropped);
  EXPECT_TRUE(framer.AwaitingStart());
  framer.Receive(c.after, c.framing);
  EXPECT_EQ(records, c.records);
  EXPECT_EQ(framer.AbandonedRecords(), c.dropped ? 1U : 0U);
}

INSTANTIATE_TEST_SUITE_P(
    ReceiveFramer, AbandonTableTest,
    ::testing::Values(AbandonCase{"TaggedCutMidRecord",
                                  Framing::kTagged,
                                  "b1A\rn11 SMI",
                                  "b2B\r",
                                  {"b1A\r", "b2B\r"},
                                  true},
                      AbandonCase{"TaggedCutBetweenRecords",
                                  Framing::kTagged,
                                  "b1A\r",
                                  "b2B\r",
                                  {"b1A\r", "b2B\r"},
                                  false},
                      // Without the drop, "GLLSMI" would end at the new link's carriage return.
                      AbandonCase{"CommandCutMidRecord",
                                  Framing::kCommand,
                                  "~GLIA\r~GLLSMI",
                                  "~GRIB\r",
                                  {"~GLIA\r", "~GRIB\r"},
                                  true},
                      AbandonCase{"CommandNewLinkStartsWithJunk",
                                  Framing::kCommand,
                                  "~GC SS",
                                  "xx\r~GE 1\r",
                                  {"~GE 1\r"},
                                  true},
                      // An overlong line being skipped ends with its link too.
                      AbandonCase{"SkipOfAnOverlongLineEnds",
                                  Framing::kTagged,
                                  "A" + std::string(ReceiveFramer::kMaxRecordLength + 1, 'x'),
                                  "B\r",
                                  {"B\r"},
                                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReceiveFramerTest, MemoryStaysBoundedWithoutCarriageReturns) {
  const std::string chunk(100000, 'A');
  for (int i = 0; i < 5; ++i) framer_.Receive(chunk, Framing::kTagged);
  EXPECT_LE(framer_.RecordBuffer().size(), ReceiveFramer::kMaxRecordLength);
  EXPECT_EQ(framer_.Waiting(), 0U);
  EXPECT_EQ(framer_.OverlongRecords(), 1U);  // one endless line
  EXPECT_TRUE(delivered_.empty());
  framer_.Receive("\rB\r", Framing::kTagged);
  EXPECT_EQ(Records(), std::vector<std::string>{"B\r"});
}

constexpr size_t kLimit = ReceiveFramer::kMaxRecordLength;

struct OverlongCase {
  const char* name;
  std::vector<std::pair<Framing, std::string>> arrivals;
  std::vector<std::string> records;
  uint64_t overlong;
};
void PrintTo(const OverlongCase& c, std::ostream* os) { *os << c.name; }

class OverlongTableTest : public ::testing::TestWithParam<OverlongCase> {};

TEST_P(OverlongTableTest, RestOfTheLineIsSkipped) {
  const OverlongCase& c = GetParam();
  std::vector<std::string> records;
  ReceiveFramer framer([&](Framing, const std::string& record) { records.push_back(record); });
  for (const auto& [framing, text] : c.arrivals) framer.Receive(text, framing);
  EXPECT_EQ(records, c.records);
  EXPECT_EQ(framer.OverlongRecords(), c.overlong);
  EXPECT_FALSE(framer.Discarding());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OverlongTableTest,
    ::testing::Values(
        OverlongCase{"AtTheLimitNothingIsSkipped",
                     {{Framing::kTagged, "A" + std::string(kLimit - 1, 'x') + "\rB\r"}},
                     {"A" + std::string(kLimit - 1, 'x') + "\r", "B\r"},
                     0},
        OverlongCase{"QuotesDoNotCountTowardTheLimit",
                     {{Framing::kTagged, "A" + std::string(kLimit - 1, 'x') + "\"\"\r"}},
                     {"A" + std::string(kLimit - 1, 'x') + "\r"},
                     0},
        OverlongCase{"TaggedStartCharactersInTheTail",
                     {{Framing::kTagged, "A" + std::string(kLimit - 1, '1') + "B2\rC3\r"}},
                     {"C3\r"},
                     1},
        OverlongCase{"CommandTildesInTheTail",
                     {{Framing::kCommand, "~GC" + std::string(kLimit - 3, 'x') + "~GE 3\r~GE 4\r"}},
                     {"~GE 4\r"},
                     1},
        OverlongCase{"SkipLastsAcrossArrivals",
                     {{Framing::kCommand, "~GC" + std::string(kLimit, 'x')},
                      {Framing::kCommand, "yy~GE 3"},
                      {Framing::kCommand, "~GE 5\r~GE 6\r"}},
                     {"~GE 6\r"},
                     1},
        OverlongCase{"TaggedLineFeedEndsTheSkip",
                     {{Framing::kTagged, "A" + std::string(kLimit, 'x') + "yy\nB\r"}},
                     {"B\r"},
                     1},
        OverlongCase{"CommandLineFeedDoesNot",
                     {{Framing::kCommand, "~A" + std::string(kLimit, 'x') + "yy\n~B\r~C\r"}},
                     {"~C\r"},
                     1},
        OverlongCase{
            "SkipEndsByTheRulesOfTheNextArrival",
            {{Framing::kCommand, "~GC" + std::string(kLimit, 'x')}, {Framing::kTagged, "AB\tCD\r"}},
            {"CD\r"},
            1},
        OverlongCase{"TwoJunkLines",
                     {{Framing::kTagged, std::string(kLimit + 1, 'J') + "\r" +
                                             std::string(kLimit + 1, 'K') + "\rL\r"}},
                     {"L\r"},
                     2}),
    [](const ::testing::TestParamInfo<OverlongCase>& info) {
      return std::string(info.param.name);
    });

// Records that begin with start, as long as the framer takes them (so a
// buffer's worth is a few thousand of them, not millions), filling exactly
// size characters; *count says how many.
std::string Filler(char start, size_t size, size_t* count) {
  const size_t longest = ReceiveFramer::kMaxRecordLength;  // carriage return included
  std::string record(longest, 'x');
  record.front() = start;
  record.back() = '\r';
  std::string text;
  text.reserve(size);
  *count = 0;
  while (size - text.size() > longest + 1) {
    text += record;
    ++*count;
  }
  // What is left as one or two records of at least two characters.
  for (size_t left = size - text.size(); left > 0; left = size - text.size()) {
    const size_t length = left > longest ? left - 2 : left;
    text += start + std::string(length - 2, 'x') + '\r';
    ++*count;
  }
  return text;
}

// The first record's handler holds the loop (a message box) while text
// arrives: a filler of records leaves room characters free behind the
// running loop, then the held arrivals come; after the box, the later ones.
// Most cases take a small cap, so the table stays quick.
constexpr size_t kSmallCap = 64 * 1024;
struct HeldLoopCase {
  const char* name;
  size_t cap;  // what may wait; the framer's own when 0
  Framing framing;
  size_t room;
  std::vector<std::string> held;
  std::vector<std::string> later;
  std::vector<std::string> tail;  // records after the filler
  uint64_t dropped;
};
void PrintTo(const HeldLoopCase& c, std::ostream* os) { *os << c.name; }

class HeldLoopTableTest : public ::testing::TestWithParam<HeldLoopCase> {};

TEST_P(HeldLoopTableTest, WaitingTextIsBounded) {
  const HeldLoopCase& c = GetParam();
  const char start = c.framing == Framing::kCommand ? '~' : 'F';
  const std::string first = std::string(1, start) + "0\r";
  const size_t cap = c.cap == 0 ? ReceiveFramer::kMaxWaiting : c.cap;
  size_t fillers = 0;
  const std::string filler = Filler(start, cap - c.room, &fillers);

  size_t count = 0;
  std::string delivered;
  std::vector<std::string> records;  // those after the filler
  ReceiveFramer* self = nullptr;
  ReceiveFramer framer(
      [&](Framing, const std::string& record) {
        delivered += record;
        if (++count > fillers + 1) records.push_back(record);
        if (count != 1) return;
        self->Receive(filler, c.framing);
        for (const std::string& text : c.held) {
          self->Receive(text, c.framing);
          EXPECT_LE(self->Waiting(), cap);
        }
      },
      cap);
  self = &framer;
  framer.Receive(first, c.framing);
  for (const std::string& text : c.later) framer.Receive(text, c.framing);

  EXPECT_EQ(count, fillers + 1 + c.tail.size());
  EXPECT_TRUE(delivered.compare(0, first.size() + filler.size(), first + filler) == 0)
      << "the filler did not come through whole";
  EXPECT_EQ(records, c.tail);
  EXPECT_EQ(framer.DroppedBytes(), c.dropped);
  EXPECT_EQ(framer.Waiting(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeldLoopTableTest,
    ::testing::Values(
        // At the framer's own cap: a race day's worth waits, and no more.
        HeldLoopCase{
            "FullAtTheFramersCap", 0, Framing::kTagged, 4, {"G12\r"}, {"H\r"}, {"G12\r", "H\r"}, 0},
        HeldLoopCase{"PastTheFramersCap", 0, Framing::kTagged, 0, {"G1\r"}, {"H\r"}, {"H\r"}, 3},
        HeldLoopCase{"UnderTheCapAllIsKept",
                     kSmallCap,
                     Framing::kTagged,
                     4,
                     {"G1\r"},
                     {"H\r"},
                     {"G1\r", "H\r"},
                     0},
        HeldLoopCase{"RecordTheCutFallsIntoIsDropped",
                     kSmallCap,
                     Framing::kTagged,
                     4,
                     {"XYZ1\r"},
                     {"H\r"},
                     {"H\r"},
                     1},
        HeldLoopCase{"TailOfACutLineIsSkipped",
                     kSmallCap,
                     Framing::kTagged,
                     4,
                     {"XYZ12"},
                     {"3\rH\r"},
                     {"H\r"},
                     1},
        HeldLoopCase{"NothingIsTakenBehindACut",
                     kSmallCap,
                     Framing::kTagged,
                     4,
                     {"XYZ12", "3\rG\r", "I"},
                     {"4\rH\r"},
                     {"H\r"},
                     6},
        HeldLoopCase{"TaggedTabEndsTheCutLine",
                     kSmallCap,
                     Framing::kTagged,
                     4,
                     {"XYZ1\t"},
                     {"H\r"},
                     {"H\r"},
                     1},
        HeldLoopCase{"CommandTabDoesNot",
                     kSmallCap,
                     Framing::kCommand,
                     4,
                     {"~XY1\t"},
                     {"~H\r", "~I\r"},
                     {"~I\r"},
                     1}),
    [](const ::testing::TestParamInfo<HeldLoopCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(ReceiveFramerTest, ALoopFedFromEveryHandlerKeepsOnlyWhatWaits) {
  constexpr int kRecords = 100000;
  size_t mostHeld = 0;
  onRecord_ = [&](const std::string& record) {
    const int n = std::stoi(record.substr(1));
    if (n + 1 < kRecords) framer_.Receive("R" + std::to_string(n + 1) + "\r", Framing::kTagged);
    mostHeld = std::max(mostHeld, framer_.Held());
  };
  framer_.Receive("R0\r", Framing::kTagged);
  ASSERT_EQ(delivered_.size(), static_cast<size_t>(kRecords));
  EXPECT_EQ(delivered_.back().record, "R" + std::to_string(kRecords - 1) + "\r");
  EXPECT_LE(mostHeld, 64U);  // a record or two, not the whole feed
  EXPECT_EQ(framer_.DroppedBytes(), 0U);
}

TEST_F(ReceiveFramerTest, AHandlerThatThrowsBehindACutDropsWhatWaitedInFrontOfIt) {
  size_t fillers = 0;
  const std::string filler = Filler('F', ReceiveFramer::kMaxWaiting, &fillers);
  onRecord_ = [&](const std::string& record) {
    if (record == "A\r") {
      framer_.Receive(filler, Framing::kTagged);
      framer_.Receive("G1\r", Framing::kTagged);  // past the cap
    } else if (delivered_.size() == 3) {
      throw std::runtime_error("parser failed");
    }
  };
  EXPECT_THROW(framer_.Receive("A\r", Framing::kTagged), std::runtime_error);
  const size_t waited = framer_.Waiting();
  EXPECT_EQ(waited, filler.size() - 2 * ReceiveFramer::kMaxRecordLength);  // two records taken
  delivered_.clear();
  onRecord_ = nullptr;
  framer_.Receive("H\r", Framing::kTagged);
  EXPECT_EQ(Records(), std::vector<std::string>{"H\r"});
  EXPECT_EQ(framer_.DroppedBytes(), 3U + waited);
}

// A race day's feed at 9600 baud while the operator is away from a box the
// first record raised: two hours of it wait, in the reads a serial line
// hands over, and every record comes through once the box is closed.
TEST_F(ReceiveFramerTest, HoursOfFeedWaitBehindABoxAndComeThroughWhole) {
  constexpr size_t kFeed = 2 * 3600 * 960;
  constexpr size_t kRead = 4096;
  // One second of the line: ten 96-character records.
  std::string second;
  for (int i = 0; i < 10; ++i) {
    std::string record = "L" + std::to_string(i) + " 4.567 101.23 ";
    record.resize(95, '.');
    second += record + '\r';
  }
  std::string feed = second;
  while (feed.size() < kFeed) feed += feed;
  feed.resize(kFeed - kFeed % second.size());
  const size_t records = feed.size() / 96;

  size_t mostWaiting = 0;
  onRecord_ = [&](const std::string& record) {
    if (record != "A\r") return;
    for (size_t at = 0; at < feed.size(); at += kRead) {
      framer_.Receive(std::string_view(feed).substr(at, kRead), Framing::kTagged);
    }
    mostWaiting = framer_.Waiting();
  };
  framer_.Receive("A\r", Framing::kTagged);
  EXPECT_EQ(mostWaiting, feed.size());
  EXPECT_EQ(framer_.DroppedBytes(), 0U);
  ASSERT_EQ(delivered_.size(), 1 + records);
  EXPECT_EQ(delivered_.back().record, second.substr(second.size() - 96));
  EXPECT_EQ(framer_.Waiting(), 0U);
}

}  // namespace
}  // namespace torvane
