#include "LineBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace torvane {
namespace {

// Feeds each read through FreeSpace/Commit as the engine does and collects
// every line the buffer gives after it; "|" marks EOL True.
std::vector<std::string> Cut(LineBuffer& buffer, const std::vector<std::string>& reads) {
  std::vector<std::string> lines;
  for (const std::string& read : reads) {
    size_t done = 0;
    while (done < read.size()) {
      std::span<char> space = buffer.FreeSpace();
      if (space.empty()) {
        lines.push_back(buffer.TakeAll());
        continue;
      }
      size_t n = std::min(space.size(), read.size() - done);
      std::memcpy(space.data(), read.data() + done, n);
      buffer.Commit(n);
      done += n;
      std::string line;
      bool eol = false;
      while (buffer.NextLine(line, eol)) lines.push_back(line + (eol ? "|" : ""));
    }
  }
  return lines;
}

struct CutCase {
  const char* name;
  std::string marker;
  bool split;
  std::vector<std::string> reads;
  std::vector<std::string> lines;
  std::string held;
};

class LineBufferCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(LineBufferCutTest, GivesTheLinesAndKeepsTheRest) {
  const CutCase& c = GetParam();
  LineBuffer buffer;
  buffer.SetMarker(c.marker, c.split);
  EXPECT_EQ(Cut(buffer, c.reads), c.lines);
  EXPECT_EQ(buffer.Held(), c.held);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LineBufferCutTest,
    ::testing::Values(
        CutCase{"NoMarker_EachReadIsOneChunk", "", false, {"AB", "CD"}, {"AB|", "CD|"}, ""},
        CutCase{
            "CrLf_LinesAcrossReads", "\r\n", false, {"ab\r", "\ncd\r\nef"}, {"ab|", "cd|"}, "ef"},
        CutCase{"CrLf_LoneCrIsData", "\r\n", false, {"a\rb\r\n"}, {"a\rb|"}, ""},
        CutCase{
            "MultiByteMarker", "<END>", false, {"x<EN", "D>y<END><END>"}, {"x|", "y|", "|"}, ""},
        CutCase{"MarkerWithNul",
                std::string("\0\1", 2),
                false,
                {std::string("a\0\1b\0", 5), std::string("\1", 1)},
                {"a|", "b|"},
                ""},
        CutCase{
            "Split_PairAcrossReads_NoEmptyLine", "\r\n", true, {"A\r", "\nB\n"}, {"A|", "B|"}, ""},
        CutCase{"Split_EachEndingAlone",
                "\r\n",
                true,
                {"a\rb\nc\r\nd\n\re"},
                {"a|", "b|", "c|", "d|"},
                "e"},
        CutCase{"Split_TwoCrAreTwoEndings", "\r\n", true, {"a\r\rb\r"}, {"a|", "|", "b|"}, ""},
        CutCase{"Split_PartnerOnlySkippedOnce",
                "\r\n",
                true,
                {"a\r", "\n\nb\r"},
                {"a|", "|", "b|"},
                ""},
        CutCase{"Split_LfCrAcrossReads", "\r\n", true, {"x\n", "\ry\n"}, {"x|", "y|"}, ""}),
    [](const auto& info) { return info.param.name; });

TEST(LineBufferTest, FullAreaWithoutMarker_GivesCapacityBytesThenKeepsTheRest) {
  LineBuffer buffer;
  buffer.SetMarker("\r\n", false);
  std::vector<std::string> lines = Cut(buffer, {std::string(3000, 'x')});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(2048, 'x'));
  EXPECT_EQ(buffer.HeldCount(), 952u);
}

TEST(LineBufferTest, CompactionKeepsHeldBytesInOrder) {
  LineBuffer buffer;
  buffer.SetCapacity(8);
  buffer.SetMarker("\n", false);
  // Each round leaves a tail that must move to the front before the next read;
  // the marker that arrives just after a full area ends an empty line.
  std::vector<std::string> lines = Cut(buffer, {"ab\ncdef", "gh\nij", "\nklmnopq", "r\n"});
  EXPECT_EQ(lines, (std::vector<std::string>{"ab|", "cdefgh|", "ij|", "klmnopqr", "|"}));
  EXPECT_EQ(buffer.Held(), "");
}

TEST(LineBufferTest, CapacityIsClampedToOneThrough65536) {
  LineBuffer buffer;
  EXPECT_EQ(buffer.Capacity(), 2048);
  EXPECT_EQ(buffer.SetCapacity(100000), 65536);
  EXPECT_EQ(buffer.SetCapacity(0), 1);
  EXPECT_EQ(buffer.SetCapacity(-5), 1);
  EXPECT_EQ(buffer.FreeSpace().size(), 1u);
}

TEST(LineBufferTest, AppendTakesOnlyWhatFits) {
  LineBuffer buffer;
  buffer.SetCapacity(4);
  EXPECT_EQ(buffer.Append("abcdef"), 4u);
  EXPECT_EQ(buffer.Held(), "abcd");
  EXPECT_TRUE(buffer.FreeSpace().empty());
}

TEST(LineBufferTest, ClearForgetsTheSplitPartner) {
  LineBuffer buffer;
  buffer.SetMarker("\r\n", true);
  EXPECT_EQ(Cut(buffer, {"a\r"}), std::vector<std::string>{"a|"});
  buffer.Clear();
  EXPECT_EQ(Cut(buffer, {"\nb\n"}), (std::vector<std::string>{"|", "b|"}));
}

// A marker chosen again between two reads, as each GetLine does.
struct ReselectCase {
  const char* name;
  std::string marker;
  bool split;
  std::vector<std::string> lines;  // of "A\r", then "\nB\r\n"
};

void PrintTo(const ReselectCase& c, std::ostream* os) { *os << c.name; }

class LineBufferReselectTest : public ::testing::TestWithParam<ReselectCase> {};

TEST_P(LineBufferReselectTest, OnlyTheSameModeKeepsThePendingPartner) {
  const ReselectCase& c = GetParam();
  LineBuffer buffer;
  buffer.SetMarker("\r\n", true);
  std::vector<std::string> lines = Cut(buffer, {"A\r"});
  buffer.SetMarker(c.marker, c.split);
  for (const std::string& line : Cut(buffer, {"\nB\r\n"})) lines.push_back(line);
  EXPECT_EQ(lines, c.lines);
  EXPECT_EQ(buffer.Held(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LineBufferReselectTest,
    ::testing::Values(ReselectCase{"SameSplitMode", "\r\n", true, {"A|", "B|"}},
                      ReselectCase{"SplitWithAnotherMarker", "\n", true, {"A|", "|", "B|"}},
                      ReselectCase{"ByteExactCrLf", "\r\n", false, {"A|", "\nB|"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace torvane
