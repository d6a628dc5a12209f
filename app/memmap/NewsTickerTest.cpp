#include "NewsTicker.h"

#include <gtest/gtest.h>

#include "ImageLayout.h"
#include "ImageTestSupport.h"
#include "PageColours.h"

namespace torvane {
namespace {

using testing::Bytes;
using Row = std::vector<uint8_t>;

class NewsTickerTest : public testing::ImageFixture {};

TEST_F(NewsTickerTest, StartWritesHeaderTickerAndCursor) {
  LoadPageColours(settings_, 0);  // the defaults: white on dark blue
  builder_->BuildIndexTable();
  builder_->BuildImage();
  StartTicker(*g_, *builder_, "abc", 0);
  EXPECT_EQ(g_->TickerText, "abc");
  EXPECT_EQ(g_->TickerLength, 3);
  EXPECT_EQ(g_->TxCursor, 920);
  EXPECT_EQ(Bytes(g_->MapImage, 256, 8), (Row{86, 70, 88, 33, 0x03, 0x98, 0, 0xD3}));
  EXPECT_EQ(Bytes(g_->MapImage, 920, 7), (Row{3, 0x61, 0x62, 0x63, 0, 0, 0xD6}));
  EXPECT_EQ(g_->MapEnd, 926);
  builder_->BuildImage();
  EXPECT_EQ(g_->MapImage[271], RangeChecksum(g_->MapImage, 256, 270));
}

TEST_F(NewsTickerTest, TickerColourIsThatOfTheGivenPage) {
  SetColour(5, "TickerBackColor", "4");
  SetColour(5, "TickerForeColor", "14");
  StartTicker(*g_, *builder_, "x", 5);
  EXPECT_EQ(g_->MapImage[263], 0x4E);
}

TEST_F(NewsTickerTest, StopClearsStateAndTheNextBuildEmptiesTheBlock) {
  StartTicker(*g_, *builder_, "hello", 0);
  StopTicker(*g_);
  EXPECT_EQ(g_->TickerLength, 0);
  EXPECT_TRUE(g_->TickerText.empty());
  EXPECT_EQ(g_->MapImage[259], 0);
  EXPECT_EQ(g_->MapImage[262], 255);
  EXPECT_EQ(Bytes(g_->MapImage, 256, 3), (Row{86, 70, 88}));
  EXPECT_EQ(g_->MapImage[920], 5);  // still there until the next build
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 920, 4), (Row{0, 0, 0, 255}));
  EXPECT_EQ(g_->MapEnd, 923);
}

TEST_F(NewsTickerTest, LongTextIsCutTo250) {
  StartTicker(*g_, *builder_, std::string(400, 'n'), 0);
  EXPECT_EQ(g_->TickerLength, 250);
  EXPECT_EQ(g_->MapImage[920], 250);
}

TEST_F(NewsTickerTest, EmptyTextStartsATickerOfLengthZero) {
  StartTicker(*g_, *builder_, "", 0);
  EXPECT_EQ(g_->MapImage[259], 33);
  EXPECT_EQ(Bytes(g_->MapImage, 920, 4), (Row{0, 0, 0, 255}));
}

}  // namespace
}  // namespace torvane
