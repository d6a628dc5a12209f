#include "ReceiveFramer.h"

#include <gtest/gtest.h>

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

TEST_F(ReceiveFramerTest, ARecordAtTheLengthLimitIsDelivered) {
  const std::string longest = "A" + std::string(ReceiveFramer::kMaxRecordLength - 1, 'x');
  framer_.Receive(longest + "\r", Framing::kTagged);
  ASSERT_EQ(delivered_.size(), 1U);
  EXPECT_EQ(delivered_[0].record.size(), ReceiveFramer::kMaxRecordLength + 1);
  EXPECT_EQ(framer_.OverlongRecords(), 0U);
}

TEST_F(ReceiveFramerTest, AnOverlongRecordIsDroppedCountedAndFramingResumes) {
  // Command framing: the overflow drops the record; the tail holds no "~", so
  // the next record is the next one the timing system starts.
  const std::string overlong = "~GC" + std::string(ReceiveFramer::kMaxRecordLength + 10, 'x');
  framer_.Receive(overlong, Framing::kCommand);
  EXPECT_EQ(framer_.OverlongRecords(), 1U);
  EXPECT_TRUE(framer_.AwaitingStart());
  framer_.Receive("\r~GE 3\r", Framing::kCommand);
  EXPECT_EQ(Records(), std::vector<std::string>{"~GE 3\r"});

  // Tagged framing: the character that overflowed may start the next record.
  delivered_.clear();
  const std::string tagged = "A" + std::string(ReceiveFramer::kMaxRecordLength - 1, '1') + "B2\r";
  framer_.Receive(tagged, Framing::kTagged);
  EXPECT_EQ(framer_.OverlongRecords(), 2U);
  EXPECT_EQ(Records(), std::vector<std::string>{"B2\r"});
}

TEST_F(ReceiveFramerTest, MemoryStaysBoundedWithoutCarriageReturns) {
  const std::string chunk(100000, 'A');
  for (int i = 0; i < 5; ++i) framer_.Receive(chunk, Framing::kTagged);
  EXPECT_LE(framer_.RecordBuffer().size(), ReceiveFramer::kMaxRecordLength);
  EXPECT_EQ(framer_.Waiting(), 0U);
  EXPECT_GT(framer_.OverlongRecords(), 100U);
  EXPECT_TRUE(delivered_.empty());
}

}  // namespace
}  // namespace torvane
