#include "ImageDecoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "ImageLayout.h"
#include "ImageTestSupport.h"
#include "MemoryDump.h"
#include "NewsTicker.h"

namespace torvane {
namespace {

class ImageDecoderTest : public testing::ImageFixture {
 protected:
  ImageDecoderTest() {
    g_->Pages.SetTitle(0, "Index");
    g_->Pages.SetLine(0, 0, "Results");
    g_->Pages.SetLink(0, 0, 1);
    g_->DayOfYear = 158;
    BuildAll();
  }
  std::vector<uint8_t> Image() const { return {g_->MapImage.begin(), g_->MapImage.end()}; }
};

TEST_F(ImageDecoderTest, ReadsPagesThroughTheIndexTable) {
  const DecodedImage image = DecodeImage(Image());
  EXPECT_TRUE(image.Valid());
  EXPECT_FALSE(image.tickerRunning);
  EXPECT_EQ(image.tickerAddress, 920);
  EXPECT_EQ(image.mapEnd, 923);
  ASSERT_EQ(image.pages.size(), 3U);
  const DecodedPage& page0 = image.pages[0];
  EXPECT_EQ(page0.address, 272);
  EXPECT_EQ(page0.rows, 5);
  EXPECT_EQ(page0.flags, 0x60);
  EXPECT_EQ(page0.dayOfYear, 158);
  EXPECT_EQ(page0.title, "Index           ");
  ASSERT_EQ(page0.lines.size(), 1U);
  EXPECT_EQ(page0.lines[0].text, "Results             ");
  EXPECT_EQ(page0.lines[0].link, 1);
  EXPECT_EQ(image.pages[1].address, 392);
  EXPECT_EQ(image.pages[1].lines.size(), 13U);
  EXPECT_EQ(image.pages[2].address, 800);
  EXPECT_TRUE(image.ticker.empty());
}

TEST_F(ImageDecoderTest, ReadsARunningTicker) {
  SetColour(0, "TickerBackColor", "13");
  SetColour(0, "TickerForeColor", "3");
  StartTicker(*g_, *builder_, "Finals at 3", 0);
  BuildAll();
  const DecodedImage image = DecodeImage(Image());
  EXPECT_TRUE(image.Valid());
  EXPECT_TRUE(image.tickerRunning);
  EXPECT_EQ(image.tickerColour, 0xD3);
  EXPECT_EQ(image.ticker, "Finals at 3");
  EXPECT_EQ(image.mapEnd, 920 + 11 + 3);
}

struct CorruptionCase {
  const char* what;
  int address;  // byte flipped
  int badChecksum;
};

class CorruptionTest : public ImageDecoderTest,
                       public ::testing::WithParamInterface<CorruptionCase> {};

TEST_P(CorruptionTest, ListsTheChecksumThatFails) {
  std::vector<uint8_t> bytes = Image();
  bytes[static_cast<size_t>(GetParam().address)] ^= 0x01;
  const DecodedImage image = DecodeImage(bytes);
  EXPECT_EQ(image.badChecksums, std::vector<int>{GetParam().badChecksum}) << GetParam().what;
  EXPECT_FALSE(image.Valid());
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, CorruptionTest,
    ::testing::Values(CorruptionCase{"header byte", 265, 271},
                      CorruptionCase{"header checksum", 271, 271},
                      CorruptionCase{"page 0 header row", 272 + 4, 272 + 23},
                      CorruptionCase{"page 0 title", 272 + 48 + 2, 272 + 48 + 23},
                      CorruptionCase{"page 1 line 7 link", 392 + 72 + 24 * 7 + 20,
                                     392 + 72 + 24 * 7 + 23},
                      CorruptionCase{"page 2 end row", 800 + 96 + 5, 800 + 96 + 23},
                      CorruptionCase{"ticker filler", 921, 923},
                      CorruptionCase{"row checksum itself", 392 + 23, 392 + 23}));

TEST_F(ImageDecoderTest, DumpLengthDataDecodes) {
  std::vector<uint8_t> bytes = Image();
  bytes.resize(kMemoryDumpLines);
  EXPECT_TRUE(DecodeImage(bytes).Valid());
}

TEST_F(ImageDecoderTest, StructuralFaultsAreProblemsNotCrashes) {
  std::vector<uint8_t> bytes = Image();
  bytes[4] = 0x7F;  // page 2 slot now points past a short buffer
  bytes[5] = 0xF0;
  bytes[2] = 0x00;  // page 1 slot points into the header
  bytes[3] = 0xF0;
  bytes.resize(20000);
  DecodedImage image = DecodeImage(bytes);
  EXPECT_EQ(image.problems.size(), 2U);
  EXPECT_EQ(image.pages.size(), 1U);

  bytes = Image();
  bytes[272] = 3;  // row count below 5
  image = DecodeImage(bytes);
  ASSERT_FALSE(image.problems.empty());
  EXPECT_FALSE(image.Valid());

  bytes = Image();
  bytes[260] = 0x7F;  // ticker far past the data
  bytes[261] = 0xFF;
  EXPECT_FALSE(DecodeImage(bytes).problems.empty());

  EXPECT_FALSE(DecodeImage({}).Valid());
  EXPECT_FALSE(DecodeImage(std::vector<uint8_t>(100, 1)).Valid());
}

TEST_F(ImageDecoderTest, BlockCutShortKeepsTheRowsThatArePresent) {
  std::vector<uint8_t> bytes = Image();
  bytes.resize(392 + 72 + 24 * 4);  // page 1 up to line 3
  const DecodedImage image = DecodeImage(bytes);
  ASSERT_GE(image.pages.size(), 2U);
  EXPECT_EQ(image.pages[1].lines.size(), 4U);
  EXPECT_TRUE(image.badChecksums.empty());
  EXPECT_FALSE(image.problems.empty());
}

}  // namespace
}  // namespace torvane
