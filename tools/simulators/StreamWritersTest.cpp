#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "CommandStreamWriter.h"
#include "FeedPlayer.h"
#include "RaceDayGenerator.h"
#include "RequestScanner.h"
#include "TaggedStreamWriter.h"

namespace torvane::sim {
namespace {

using Records = std::vector<std::string>;

RaceEvent At0(RaceEventBody body) { return {0, std::move(body)}; }

PairStart SamplePair(RaceKind kind, bool headsUp, bool dialsAsText) {
  PairStart p;
  p.classIndex = 3;
  p.className = "SUPER PRO";
  p.kind = kind;
  p.round = 2;
  p.headsUp = headsUp;
  p.dialsAsText = dialsAsText;
  p.left = {"SP", "1234", "MIKE SMITH", headsUp ? std::nullopt : std::optional<int>(1050)};
  p.right = {"SP", "77", "ANN KING", headsUp ? std::nullopt : std::optional<int>(905)};
  return p;
}

struct CommandCase {
  const char* name;
  RaceEventBody event;
  Records records;
};

class CommandStreamTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandStreamTest, Records) {
  EXPECT_EQ(CommandStreamWriter::Records(At0(GetParam().event)), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Events, CommandStreamTest,
    ::testing::Values(
        CommandCase{
            "HandicapPair",
            SamplePair(RaceKind::kEliminations, false, false),
            {"~GC SUPER PRO\r", "~GH0\r", "~GE 2\r", "~GLISP\r", "~GL#1234\r", "~GLLMIKE SMITH\r",
             "~GLD1050\r", "~GRISP\r", "~GR#77\r", "~GRLANN KING\r", "~GRD905\r"}},
        CommandCase{"HeadsUpQualifyingPair",
                    SamplePair(RaceKind::kQualify, true, false),
                    {"~GC SUPER PRO\r", "~GH1\r", "~GT 2\r", "~GLISP\r", "~GL#1234\r",
                     "~GLLMIKE SMITH\r", "~GRISP\r", "~GR#77\r", "~GRLANN KING\r"}},
        CommandCase{"ClassEliminationsGoAsEliminations",
                    SamplePair(RaceKind::kClassEliminations, true, false),
                    {"~GC SUPER PRO\r", "~GH1\r", "~GE 2\r", "~GLISP\r", "~GL#1234\r",
                     "~GLLMIKE SMITH\r", "~GRISP\r", "~GR#77\r", "~GRLANN KING\r"}},
        CommandCase{"Reaction",
                    LaneValue{Lane::kLeft, 1, "0.512"},
                    {"~TL\x01"
                     "0.512\r"}},
        CommandCase{"QuarterTimeRight",
                    LaneValue{Lane::kRight, 9, "10.123"},
                    {"~TR\x09"
                     "10.123\r"}},
        CommandCase{"MarginIsCodeTen", LaneValue{Lane::kLeft, 10, "0.0123"}, {"~TL\n0.0123\r"}},
        CommandCase{"CodeSix",
                    LaneValue{Lane::kRight, 6, "180.12"},
                    {"~TR\x06"
                     "180.12\r"}},
        CommandCase{"WinLeft", WinLight{Lane::kLeft}, {"~TLW\r"}},
        CommandCase{"WinRight", WinLight{Lane::kRight}, {"~TRW\r"}},
        CommandCase{"Bump", BumpSpot{"6.789"}, {"~TB 6.789\r"}},
        CommandCase{"NoRoundStart", RoundStart{0, "PRO", RaceKind::kQualify, 1, false}, {}},
        CommandCase{"NoQualifyingList", QualifyingList{{{1, "MIKE SMITH", "6.500", "210.00"}}}, {}},
        CommandCase{"NoIgnoredRecord", IgnoredRecord{"q1", "PRO"}, {}}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

TEST(CommandStreamWriterTest, ClassListCarriesBinaryIndexes) {
  const Records records = CommandStreamWriter::ClassList({"PRO MOD", "SUPER PRO"});
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], std::string("~AS\0PRO MOD\r", 12));
  EXPECT_EQ(records[1], "~AS\x01SUPER PRO\r");
  EXPECT_EQ(records[2], "~ASE\r");
}

TEST(CommandStreamWriterTest, ClassListStopsBeforeTheCarriageReturnIndex) {
  std::vector<std::string> names;
  for (int i = 0; i < 20; ++i) names.push_back("CLASS " + std::to_string(i));
  const Records records = CommandStreamWriter::ClassList(names);
  ASSERT_EQ(records.size(), 14u);  // indexes 0..12, then the end
  for (size_t i = 0; i + 1 < records.size(); ++i) {
    EXPECT_EQ(static_cast<unsigned char>(records[i][3]), i);
    EXPECT_EQ(records[i].find('\r'), records[i].size() - 1);
  }
  EXPECT_EQ(records.back(), "~ASE\r");
}

TEST(CommandStreamWriterTest, CarriageReturnInsideARecordIsRefused) {
  EXPECT_THROW(CommandStreamWriter::Record("GC", ' ', "PRO\rSTOCK"), std::invalid_argument);
  EXPECT_THROW(CommandStreamWriter::Record("TL", '\r', "1.0"), std::invalid_argument);
  EXPECT_EQ(CommandStreamWriter::Record("TL", '\n', "1.0"), "~TL\n1.0\r");
}

struct TaggedCase {
  const char* name;
  RaceEventBody event;
  Records records;
};

class TaggedStreamTest : public ::testing::TestWithParam<TaggedCase> {};

TEST_P(TaggedStreamTest, Records) {
  EXPECT_EQ(TaggedStreamWriter().Records(At0(GetParam().event)), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Events, TaggedStreamTest,
    ::testing::Values(TaggedCase{"RoundHeader",
                                 RoundStart{3, "SUPER PRO", RaceKind::kEliminations, 3, false},
                                 {"SUPER PRO E3\r"}},
                      TaggedCase{"ClassEliminationsHeader",
                                 RoundStart{7, "STOCK", RaceKind::kClassEliminations, 1, false},
                                 {"STOCK C1\r"}},
                      TaggedCase{"QualifyingHeader",
                                 RoundStart{0, "PRO MOD", RaceKind::kQualify, 2, true},
                                 {"PRO MOD Q2\r"}},
                      TaggedCase{"PairDialsInHundredths",
                                 SamplePair(RaceKind::kEliminations, false, false),
                                 {"c11234\r", "b1SP\r", "n11234 MIKE SMITH\r", "D51050\r", "c277\r",
                                  "b2SP\r", "D6905\r", "n277 ANN KING\r"}},
                      TaggedCase{"PairDialsAsText",
                                 SamplePair(RaceKind::kTimeTrials, false, true),
                                 {"c11234\r", "b1SP\r", "n11234 MIKE SMITH\r", "S5DI10.50\r",
                                  "c277\r", "b2SP\r", "S6DI9.05\r", "n277 ANN KING\r"}},
                      TaggedCase{"HeadsUpPairHasNoDials",
                                 SamplePair(RaceKind::kQualify, true, false),
                                 {"c11234\r", "b1SP\r", "n11234 MIKE SMITH\r", "c277\r", "b2SP\r",
                                  "n277 ANN KING\r"}},
                      TaggedCase{"WinLeft", WinLight{Lane::kLeft}, {"w-LEFT\r"}},
                      TaggedCase{"WinRight", WinLight{Lane::kRight}, {"w-RIGHT\r"}},
                      TaggedCase{"Bump", BumpSpot{"6.789"}, {"L+6.789\r"}},
                      TaggedCase{"QualifyingList",
                                 QualifyingList{{{1, "MIKE SMITH", "6.500", "210.00"},
                                                 {2, "ANN KING", "6.512", "209.87"}}},
                                 {"IQ\r", "A MIKE SMITH,6.500,210.00\r",
                                  "B ANN KING,6.512,209.87\r", "]\r"}},
                      TaggedCase{"Ignored", IgnoredRecord{"R+", "7.123"}, {"R+7.123\r"}},
                      TaggedCase{"CodeSixHasNoTag", LaneValue{Lane::kLeft, 6, "180.12"}, {}}),
    [](const ::testing::TestParamInfo<TaggedCase>& info) { return std::string(info.param.name); });

TEST(TaggedStreamWriterTest, LaneTagsOfEveryCode) {
  // Tags in the order L0..L7 / fl carry codes 1, 2, 3, 5, 4, 7, 9, 8, 10.
  const std::vector<std::pair<int, std::string>> table = {{1, "0"}, {2, "1"}, {3, "2"}, {5, "3"},
                                                          {4, "4"}, {7, "5"}, {9, "6"}, {8, "7"}};
  for (const auto& [code, digit] : table) {
    SCOPED_TRACE(code);
    EXPECT_EQ(TaggedStreamWriter::LaneTag(Lane::kLeft, code), "L" + digit);
    EXPECT_EQ(TaggedStreamWriter::LaneTag(Lane::kRight, code), "R" + digit);
  }
  EXPECT_EQ(TaggedStreamWriter::LaneTag(Lane::kLeft, 10), "fl");
  EXPECT_EQ(TaggedStreamWriter::LaneTag(Lane::kRight, 10), "fr");
  for (int code : {0, 6, 11, 87}) EXPECT_EQ(TaggedStreamWriter::LaneTag(Lane::kLeft, code), "");
}

TEST(TaggedStreamWriterTest, LineFeedIsAddedWhenChosen) {
  EXPECT_EQ(TaggedStreamWriter(true).Records(At0(WinLight{Lane::kLeft})), Records{"w-LEFT\r\n"});
}

TEST(TaggedStreamWriterTest, TextTheFramingWouldChangeIsRefused) {
  const TaggedStreamWriter writer;
  for (const char* bad : {"", "1 MIKE,6.5,200", "\"AB", "AB\"C", "AB\tC", "AB\rC", " AB", "{AB"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(writer.Record(bad), std::invalid_argument);
  }
  EXPECT_EQ(writer.Record("]"), "]\r");
  EXPECT_EQ(writer.Record("z"), "z\r");
}

// Every record of a whole day, in each stream, as the program's framing sees it.
class WholeDayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RaceDayConfig config;
    config.classCount = kMaxClasses;
    day_ = new RaceDay(GenerateRaceDay(config));
  }
  static void TearDownTestSuite() { delete day_; }
  static RaceDay* day_;
};
RaceDay* WholeDayTest::day_ = nullptr;

TEST_F(WholeDayTest, TaggedRecordsFrameAsSent) {
  std::set<std::string> tags;
  std::set<char> headerLetters;
  int qualifierLines = 0;
  for (const FeedChunk& chunk : FeedFromRaceDay(*day_, false, true)) {
    const std::string& r = chunk.bytes;
    ASSERT_GE(r.size(), 2u);
    ASSERT_EQ(r.find('\r'), r.size() - 1) << r;
    EXPECT_GE(r.front(), 'A');
    EXPECT_LE(r.front(), 'z');
    for (char c : r.substr(0, r.size() - 1)) {
      ASSERT_TRUE(c >= 32 && c <= 126 && c != '"') << r;
    }
    if (r.find(',') != std::string::npos) {
      ++qualifierLines;
      EXPECT_EQ(r[1], ' ') << r;
      continue;
    }
    const std::string body = r.substr(0, r.size() - 1);
    const bool header = body.size() > 5 && body[body.size() - 3] == ' ' &&
                        std::string("TQEC").find(body[body.size() - 2]) != std::string::npos &&
                        std::isdigit(static_cast<unsigned char>(body.back()));
    if (header) {
      headerLetters.insert(body[body.size() - 2]);
    } else {
      tags.insert(body.substr(0, std::min<size_t>(2, body.size())));
    }
  }
  const std::set<std::string> expected = {
      "D1", "D2", "D3", "D4", "q1", "L+", "q2", "R+", "m-", "IQ", "]",  "c1", "b1", "n1",
      "S5", "D5", "L0", "L1", "L2", "L3", "L4", "L5", "L6", "L7", "fl", "c2", "b2", "n2",
      "S6", "D6", "R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7", "fr", "w-"};
  EXPECT_EQ(tags, expected);
  EXPECT_EQ(headerLetters, (std::set<char>{'T', 'Q', 'E', 'C'}));
  EXPECT_GT(qualifierLines, 100);
}

TEST_F(WholeDayTest, CommandRecordsFrameAsSent) {
  std::set<std::string> commands;
  for (const FeedChunk& chunk : FeedFromRaceDay(*day_, true, false)) {
    const std::string& r = chunk.bytes;
    ASSERT_GE(r.size(), 5u) << r;
    EXPECT_EQ(r.front(), '~');
    ASSERT_EQ(r.find('\r'), r.size() - 1) << r;
    EXPECT_EQ(r.find('~', 1), std::string::npos) << r;
    std::string key = r.substr(0, 3);
    if (key == "~GL" || key == "~GR" || key == "~GH") key += r[3];
    if (key == "~TL" || key == "~TR") key += r[3] == 'W' ? "W" : std::to_string(r[3]);
    commands.insert(key);
  }
  const std::set<std::string> expected = {
      "~GC",  "~GH0", "~GH1", "~GE",  "~GT",  "~GLI",  "~GL#", "~GLL",  "~GLD",
      "~GRI", "~GR#", "~GRL", "~GRD", "~TB",  "~TL1",  "~TL2", "~TL3",  "~TL4",
      "~TL5", "~TL6", "~TL7", "~TL8", "~TL9", "~TL10", "~TLW", "~TR1",  "~TR2",
      "~TR3", "~TR4", "~TR5", "~TR6", "~TR7", "~TR8",  "~TR9", "~TR10", "~TRW"};
  EXPECT_EQ(commands, expected);
}

TEST(RequestScannerTest, FindsRequestsWithOrWithoutCarriageReturn) {
  const std::vector<std::pair<std::vector<std::string>, int>> table = {
      {{"~AC"}, 1},   {{"~AC\r"}, 1},    {{"~A", "C"}, 1}, {{"~", "A", "C\r"}, 1},
      {{"~~AC"}, 1},  {{"~AC~AC\r"}, 2}, {{"AC"}, 0},      {{"~AB~AC"}, 1},
      {{"~A~AC"}, 1}, {{"~ac"}, 0},      {{"~A\rC"}, 0},   {{"x~AC\r\n~AC"}, 2},
  };
  for (const auto& [reads, expected] : table) {
    RequestScanner scanner;
    int found = 0;
    std::string trace;
    for (const std::string& read : reads) {
      found += scanner.Feed(read);
      trace += "[" + read + "]";
    }
    EXPECT_EQ(found, expected) << trace;
  }
}

}  // namespace
}  // namespace torvane::sim
