#include "CardView.h"

#include <gtest/gtest.h>

#include "ImageDecoder.h"
#include "SimTestSupport.h"

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;

TEST(CardViewTest, PageAsTheCardShowsIt) {
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  EXPECT_EQ(FormatCardPage(DecodeImage(image), 0),
            "page 0 at 272: 5 rows, colours 0x00 0x00 0x00, flags 0x60, day 0\n"
            "title \"INDEX           \"\n"
            "+--------------------+\n"
            "|Welcome             | 0\n"
            "+--------------------+\n"
            "end of page 0\n");
}

TEST(CardViewTest, ResultPageShowsItsLinesAndLinks) {
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  const std::string text = FormatCardPage(DecodeImage(image), 1);
  EXPECT_NE(text.find("title \"PRO STOCK E2    \"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("|L[PS:1234]MIKE SMITH| 0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("|Margin  WIN  0.0123 | 2\n"), std::string::npos) << text;
  EXPECT_EQ(text.find('!'), std::string::npos) << text;
}

TEST(CardViewTest, RowWithABadChecksumIsMarked) {
  int mapEnd = 0;
  MapImageBytes image = testing::SampleImage(mapEnd);
  const int page1 = DecodeImage(image).pages.at(1).address;
  // Line 0 gets a control character the builder never writes.
  image[static_cast<size_t>(page1 + 24 * 3 + 1)] = 0x07;
  const std::string text = FormatCardPage(DecodeImage(image), 1);
  EXPECT_NE(text.find("|L.PS:1234]MIKE SMITH| 0 !\n"), std::string::npos) << text;
  EXPECT_NE(text.find("|Margin  WIN  0.0123 | 2\n"), std::string::npos) << text;
}

TEST(CardViewTest, PageOutsideTheIndexTable) {
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  EXPECT_EQ(FormatCardPage(DecodeImage(image), 9), "page 9: not in the index table (3 pages)\n");
  const MapImageBytes blank{};
  EXPECT_EQ(FormatCardPage(DecodeImage(blank), 0), "page 0: not in the index table (0 pages)\n");
}

TEST(CardViewTest, StatsLineGivesRateAndPassTime) {
  TransmitterStats before;
  before.packets = 100;
  TransmitterStats now;
  now.packets = 900;
  now.stored = 880;
  now.acks = 870;
  now.escs = 10;
  now.naks = 20;
  now.forcedNaks = 5;
  now.badChecksum = 12;
  now.wrongVenue = 2;
  now.badAddress = 1;
  now.passes = 3;
  now.lastPass = 9'876ms;
  now.changedRows = 4;
  now.rowLatencyTotal = 20ms;
  now.rowLatencyMax = 11ms;
  now.pendingRows = 1;
  const std::string line = FormatStatsLine(now, before, 2s);
  EXPECT_NE(line.find("packets 900 (400.0/s)"), std::string::npos) << line;
  EXPECT_NE(line.find("nak 20 (forced 5), bad 15 (checksum 12, venue 2, address 1)"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("passes 3, last pass 9.876 s"), std::string::npos) << line;
  EXPECT_NE(line.find("changed rows 4 (latency mean 5.0 ms, max 11.0 ms, pending 1)"),
            std::string::npos)
      << line;
  EXPECT_EQ(line.back(), '\n');
  EXPECT_NE(FormatStatsLine(now, before, 0s).find("(0.0/s)"), std::string::npos);
}

}  // namespace
}  // namespace torvane::sim
