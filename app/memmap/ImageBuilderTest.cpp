#include "ImageBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageLayout.h"
#include "ImageTestSupport.h"
#include "SettingsKeys.h"

namespace torvane {
namespace {

using testing::Bytes;
using testing::ExpectedRow;
using testing::ImageFixture;
using testing::RowSum;

using Row = std::vector<uint8_t>;

TEST(ChecksumTest, IsTheComplementOfTheByteSum) {
  const uint8_t bytes[] = {3, 0x61, 0x62, 0x63, 0, 0};
  EXPECT_EQ(Checksum(bytes, sizeof bytes), 0xD6);
  EXPECT_EQ(Checksum(bytes, 0), 255);
  const uint8_t wraps[] = {200, 100};  // 300 mod 256 = 44
  EXPECT_EQ(Checksum(wraps, 2), 255 - 44);
}

TEST(ChecksumTest, EmptyOrReversedRangeGives255) {
  MapImageBytes image{};
  image[10] = 7;
  EXPECT_EQ(RangeChecksum(image, 11, 10), 255);
  EXPECT_EQ(RangeChecksum(image, 10, 10), 248);
  EXPECT_EQ(RangeChecksum(image, 32760, 40000), 255);  // clipped to the image
}

TEST(ChecksumTest, RowChecksumMakesTheRowSum255) {
  MapImageBytes image{};
  for (int i = 0; i < 23; ++i) image[static_cast<size_t>(1000 + i)] = static_cast<uint8_t>(i * 37);
  RowChecksum(image, 1000);
  EXPECT_EQ(RowSum(image, 1000), 255);
  RowChecksum(image, 32760);  // would reach past the image: left alone
  EXPECT_EQ(image[32768], 0);
}

struct PrintableCase {
  int in;
  int out;
};

class PrintableByteTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableByteTest, KeepsOnly32To126) {
  uint8_t b = static_cast<uint8_t>(GetParam().in);
  EXPECT_EQ(PrintableByte(b), GetParam().out);
  EXPECT_EQ(b, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Bytes, PrintableByteTest,
                         ::testing::Values(PrintableCase{0, 32}, PrintableCase{9, 32},
                                           PrintableCase{31, 32}, PrintableCase{32, 32},
                                           PrintableCase{'A', 'A'}, PrintableCase{126, 126},
                                           PrintableCase{127, 32}, PrintableCase{0xE9, 32},
                                           PrintableCase{255, 32}));

TEST(FlagsByteTest, HeadsUpAddsBit4) {
  EXPECT_EQ(FlagsByte(false), 0x60);
  EXPECT_EQ(FlagsByte(true), 0x70);
}

struct ColourCase {
  const char* back;  // nullptr: missing
  const char* fore;
  int expected;
};

class ColourByteTest : public ImageFixture, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourByteTest, CombinesBackAndForeOrUsesZero) {
  const ColourCase& c = GetParam();
  if (c.back != nullptr) SetColour(5, "PageBackColor", c.back);
  if (c.fore != nullptr) SetColour(5, "PageForeColor", c.fore);
  EXPECT_EQ(ColourByte(settings_, 5, ColourArea::kPage), c.expected);
  EXPECT_EQ(builder_->ColourByte(5, ColourArea::kPage), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ColourByteTest,
    ::testing::Values(ColourCase{"3", "15", 0x3F}, ColourCase{"16", "1", 0x01},
                      ColourCase{"-1", "2", 0x02}, ColourCase{"blue", "5", 0x05},
                      ColourCase{"4", "16", 0x40}, ColourCase{"4", "-1", 0x40},
                      ColourCase{"4", "red", 0x40}, ColourCase{nullptr, nullptr, 0x00},
                      ColourCase{"15", "15", 0xFF}, ColourCase{"70000", "3", 0x03},
                      ColourCase{"3.4", "2", 0x32}, ColourCase{"14.5", "0", 0xE0}));

class ImageBuilderTest : public ImageFixture {
 protected:
  // The rows of the block at a: header, blank, title, lines, end.
  Row RowAt(int a) const { return Bytes(g_->MapImage, a, 24); }
};

TEST_F(ImageBuilderTest, MinimalStoreGivesTheDocumentedImage) {
  BuildAll();
  const MapImageBytes& image = g_->MapImage;
  EXPECT_EQ(Bytes(image, 0, 6), (Row{0x01, 0x10, 0x01, 0x88, 0x03, 0x20}));
  for (int a = 6; a < 256; ++a) ASSERT_EQ(image[static_cast<size_t>(a)], 0) << a;
  EXPECT_EQ(g_->TickerAddress, 920);
  EXPECT_EQ(g_->MapEnd, 923);
  EXPECT_EQ(Bytes(image, 260, 2), (Row{0x03, 0x98}));
  EXPECT_EQ(Bytes(image, 920, 4), (Row{0, 0, 0, 255}));
  EXPECT_EQ(image[271], RangeChecksum(image, 256, 270));

  Row header = ExpectedRow(std::string("\x05\0\0\0\x60", 5) + std::string(15, '\0'), 255);
  EXPECT_EQ(RowAt(272), header);
  EXPECT_EQ(RowAt(296), ExpectedRow(std::string(20, ' '), 255));           // blank row
  EXPECT_EQ(RowAt(320), ExpectedRow(std::string(20, ' '), 255));           // title row
  EXPECT_EQ(RowAt(344), ExpectedRow(std::string(20, ' '), 0));             // line 0, link 0
  EXPECT_EQ(RowAt(368), ExpectedRow("\xFF" + std::string(19, ' '), 255));  // end row
  EXPECT_EQ(image[392], 17);                                               // page 1: 13 lines
  EXPECT_EQ(RowAt(392 + 408 - 24)[0], 255);
  EXPECT_EQ(image[800], 5);
  EXPECT_EQ(RowAt(800 + 96)[0], 255);
}

TEST_F(ImageBuilderTest, EveryRowSumsTo255) {
  g_->Pages.SetTitle(0, "Title \x01\xFF");
  g_->Pages.SetLine(1, 4, "Line with ~ and \x7F");
  g_->Pages.SetLink(1, 4, 200);
  g_->DayOfYear = 365;
  BuildAll();
  for (int a = 272; a < g_->TickerAddress; a += 24) ASSERT_EQ(RowSum(g_->MapImage, a), 255) << a;
}

TEST_F(ImageBuilderTest, TitleRowHoldsTheTitleCharacters) {
  g_->Pages.SetTitle(0, "ABC");
  g_->DayOfYear = 0;
  builder_->BuildImage();
  Row expected = {0x41, 0x42, 0x43};
  expected.resize(20, ' ');
  expected.insert(expected.end(), {255, 0, 0});
  int sum = 0;
  for (uint8_t b : expected) sum += b;
  expected.push_back(static_cast<uint8_t>(255 - sum % 256));
  EXPECT_EQ(RowAt(272 + 48), expected);
}

TEST_F(ImageBuilderTest, UnprintableCharactersBecomeSpaces) {
  g_->Pages.SetLine(0, 0,
                    "a\tb\xE9"
                    "c\x7F\xC8"
                    "d");
  builder_->BuildImage();
  EXPECT_EQ(RowAt(344), ExpectedRow("a b c  d", 0));
}

TEST_F(ImageBuilderTest, HeaderRowCarriesColoursFlagsAndDay) {
  SetColour(1, "CursorBackColor", "3");
  SetColour(1, "CursorForeColor", "0");
  SetColour(1, "TitleBackColor", "4");
  SetColour(1, "TitleForeColor", "3");
  SetColour(1, "PageBackColor", "3");
  SetColour(1, "PageForeColor", "15");
  g_->DayOfYear = 300;
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 392, 9), (Row{17, 0x30, 0x43, 0x3F, 0x60, 0, 0, 0x01, 0x2C}));
}

TEST_F(ImageBuilderTest, HeadsUpReachesEveryHeaderAtTheNextBuild) {
  builder_->BuildImage();
  g_->Race.HeadsUp = true;
  EXPECT_EQ(g_->MapImage[272 + 4], 0x60);
  builder_->BuildImage();
  for (int k = 0; k <= 2; ++k) EXPECT_EQ(g_->MapImage[g_->Pages[k].Address + 4u], 0x70) << k;
  EXPECT_EQ(RowSum(g_->MapImage, 392), 255);
}

TEST_F(ImageBuilderTest, HeadsUpReachesOnePageThroughWritePageBlock) {
  builder_->BuildImage();
  g_->Race.HeadsUp = true;
  builder_->WritePageBlock(1);
  EXPECT_EQ(g_->MapImage[392 + 4], 0x70);
  EXPECT_EQ(g_->MapImage[272 + 4], 0x60);
  EXPECT_EQ(g_->MapImage[800 + 4], 0x60);
}

TEST_F(ImageBuilderTest, WritePageBlockChangesOnlyThatBlock) {
  g_->Pages.SetPageSize(2, 4);
  builder_->BuildIndexTable();
  builder_->BuildImage();
  const MapImageBytes before = g_->MapImage;
  g_->Pages.SetLine(2, 3, "changed");
  g_->Pages.SetLine(0, 0, "not written yet");
  builder_->WritePageBlock(2);
  const int first = g_->Pages[2].Address;
  const int last = first + g_->Pages.PageBlockSize(2) - 1;
  int changed = 0;
  for (int a = 0; a < kMapImageSize; ++a) {
    if (g_->MapImage[static_cast<size_t>(a)] == before[static_cast<size_t>(a)]) continue;
    ++changed;
    EXPECT_GE(a, first);
    EXPECT_LE(a, last);
  }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(RowAt(LineRowAddress(first, 3)), ExpectedRow("changed", 0));
}

struct IndexCase {
  int n;
  int lastWritten;  // last index byte that holds an address
};

class IndexTableTest : public ImageFixture, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(IndexTableTest, WritesSlotsOfPages0ToNAndClearsTheRest) {
  g_->Pages.Reset(GetParam().n);
  g_->MapImage.fill(0xAA);
  builder_->BuildImage();
  builder_->BuildIndexTable();
  for (int k = 0; k <= GetParam().n; ++k) {
    const int address = g_->Pages[k].Address;
    ASSERT_EQ(g_->MapImage[2u * k], address >> 8) << k;
    ASSERT_EQ(g_->MapImage[2u * k + 1], address & 0xFF) << k;
  }
  for (int a = GetParam().lastWritten + 1; a < 256; ++a) {
    ASSERT_EQ(g_->MapImage[static_cast<size_t>(a)], 0) << a;
  }
  EXPECT_EQ(g_->MapImage[256], 0xAA);  // header bytes other than 260, 261 are not its
}

INSTANTIATE_TEST_SUITE_P(Sizes, IndexTableTest,
                         ::testing::Values(IndexCase{2, 5}, IndexCase{62, 125},
                                           IndexCase{126, 253}));

TEST_F(ImageBuilderTest, IndexTableKeepsTheHeaderChecksumValid) {
  // Start-up order: the first index build still has no ticker address.
  builder_->BuildIndexTable();
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 260, 2), (Row{0, 0}));
  // The cyclic pass: 260..261 change just before the header goes out.
  builder_->BuildIndexTable();
  EXPECT_EQ(Bytes(g_->MapImage, 260, 2), (Row{0x03, 0x98}));
  EXPECT_EQ(g_->MapImage[271], RangeChecksum(g_->MapImage, 256, 270));
  g_->MapImage[259] = 0;  // ticker stopped while the cursor is in the header
  g_->MapImage[262] = 255;
  builder_->BuildIndexTable();
  EXPECT_EQ(g_->MapImage[271], RangeChecksum(g_->MapImage, 256, 270));
}

TEST_F(ImageBuilderTest, IndexSlotIsTheBigEndianAddress) {
  g_->Pages.Reset(6);
  g_->Pages.Edit(5).Address = 0x1234;
  builder_->BuildIndexTable();
  EXPECT_EQ(Bytes(g_->MapImage, 10, 2), (Row{0x12, 0x34}));
}

TEST_F(ImageBuilderTest, TickerAbcHasChecksumD6) {
  g_->TickerText = "abc";
  g_->TickerLength = 3;
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 920, 7), (Row{3, 0x61, 0x62, 0x63, 0, 0, 0xD6}));
  EXPECT_EQ(g_->MapEnd, 926);
}

TEST_F(ImageBuilderTest, BytesAboveMapEndAreKept) {
  g_->TickerText = "hello world";
  g_->TickerLength = 11;
  builder_->BuildImage();
  const Row old = Bytes(g_->MapImage, 924, 11);
  g_->TickerText.clear();
  g_->TickerLength = 0;
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 920, 4), (Row{0, 0, 0, 255}));
  EXPECT_EQ(Bytes(g_->MapImage, 924, 11), old);
}

TEST_F(ImageBuilderTest, LinkOutsideAByteIsWrittenAsNoLink) {
  g_->Pages.SetPageSize(0, 3);
  g_->Pages.SetLink(0, 0, 300);
  g_->Pages.SetLink(0, 1, -1);
  g_->Pages.SetLink(0, 2, 255);
  g_->Pages.SetLink(0, 3, 0);
  builder_->BuildImage();
  EXPECT_EQ(g_->MapImage[LineRowAddress(272, 0) + 20u], 255);
  EXPECT_EQ(g_->MapImage[LineRowAddress(272, 1) + 20u], 255);
  EXPECT_EQ(g_->MapImage[LineRowAddress(272, 2) + 20u], 255);
  EXPECT_EQ(g_->MapImage[LineRowAddress(272, 3) + 20u], 0);
  EXPECT_EQ(RowSum(g_->MapImage, LineRowAddress(272, 0)), 255);
}

TEST_F(ImageBuilderTest, PageBoundsBrokenThroughEditStayWithin200Lines) {
  g_->Pages.Edit(0).Links.resize(400, 7);  // Lines stay at one
  g_->Pages.RecomputeAddresses();
  builder_->BuildImage();
  EXPECT_EQ(g_->MapImage[272], 205);
  EXPECT_EQ(g_->Pages[1].Address, 272 + 120 + 24 * 200);
  EXPECT_EQ(RowAt(LineRowAddress(272, 150)), ExpectedRow("", 7));  // no text: blanks
}

TEST_F(ImageBuilderTest, TickerIsCutTo250Characters) {
  g_->TickerText = std::string(300, 'x');
  g_->TickerLength = 300;
  builder_->BuildImage();
  EXPECT_EQ(g_->MapImage[920], 250);
  EXPECT_EQ(g_->MapImage[920 + 250], 'x');
  EXPECT_EQ(g_->MapImage[920 + 251], 0);
  EXPECT_EQ(g_->MapEnd, 920 + 253);
  EXPECT_EQ(g_->MapImage[920 + 253], RangeChecksum(g_->MapImage, 920, 920 + 251));
}

TEST_F(ImageBuilderTest, TickerLengthBeyondTheTextWritesTheText) {
  g_->TickerText = "abc";
  g_->TickerLength = 40;
  builder_->BuildImage();
  EXPECT_EQ(Bytes(g_->MapImage, 920, 7), (Row{3, 0x61, 0x62, 0x63, 0, 0, 0xD6}));
}

TEST_F(ImageBuilderTest, PagesBeyond32000AreLeftOutAndNothingLandsOutside) {
  // A hand-edited settings file can ask for far more than the image holds.
  g_->Pages.Reset(126);
  for (int k = 0; k <= 126; ++k) g_->Pages.SetPageSize(k, 200);
  const PageStore pagesBefore = g_->Pages;
  g_->TickerText = std::string(250, 't');
  g_->TickerLength = 250;
  BuildAll();
  // 272 + 6 * 4920 = 29792 fits; a seventh block would end at 34712.
  EXPECT_EQ(g_->TickerAddress, 29792);
  EXPECT_EQ(g_->MapEnd, 29792 + 253);
  for (int k = 0; k <= 5; ++k) EXPECT_NE(g_->MapImage[2u * k] | g_->MapImage[2u * k + 1], 0) << k;
  for (int a = 12; a < 256; ++a) ASSERT_EQ(g_->MapImage[static_cast<size_t>(a)], 0) << a;
  for (int a = g_->MapEnd + 1; a < kMapImageSize; ++a) {
    ASSERT_EQ(g_->MapImage[static_cast<size_t>(a)], 0) << a;
  }
  builder_->WritePageBlock(100);  // left out: not written
  for (int a = g_->MapEnd + 1; a < kMapImageSize; ++a) {
    ASSERT_EQ(g_->MapImage[static_cast<size_t>(a)], 0) << a;
  }
  EXPECT_EQ(g_->Pages.EditCount(), pagesBefore.EditCount());
}

TEST_F(ImageBuilderTest, WritePageBlockIgnoresPagesOutsideTheStore) {
  builder_->BuildImage();
  const MapImageBytes before = g_->MapImage;
  builder_->WritePageBlock(3);
  builder_->WritePageBlock(-1);
  g_->Pages.Edit(2).Address = 31990;  // block would end above 32000
  builder_->WritePageBlock(2);
  g_->Pages.Edit(2).Address = 100;  // inside the index table
  builder_->WritePageBlock(2);
  EXPECT_EQ(g_->MapImage, before);
}

TEST_F(ImageBuilderTest, HeaderChecksumFollowsTickerHeaderBytes) {
  builder_->BuildImage();
  g_->MapImage[256] = 0x56;
  g_->MapImage[263] = 0xD3;
  builder_->BuildImage();
  EXPECT_EQ(g_->MapImage[271], RangeChecksum(g_->MapImage, 256, 270));
}

}  // namespace
}  // namespace torvane
