#include "PageWriter.h"

#include <gtest/gtest.h>

#include <memory>

#include "ImageLayout.h"
#include "ImageTestSupport.h"

namespace torvane {
namespace {

using testing::ExpectedRow;
using testing::ImageFixture;

class PageWriterTest : public ImageFixture {
 protected:
  PageWriterTest() : writer_(std::make_unique<PageWriter>(*g_, *builder_)) {
    builder_->BuildIndexTable();
    builder_->BuildImage();
  }

  // Puts new text into page 1's line k without encoding it.
  void ChangeResultLine(int k) { g_->Pages.SetLine(1, k, "NEW " + std::to_string(k)); }
  std::vector<uint8_t> ResultRow(int k) const {
    return testing::Bytes(g_->MapImage, LineRowAddress(392, k), 24);
  }

  std::unique_ptr<PageWriter> writer_;
};

struct LineCase {
  int k;
  int window;  // number 1..10
  int next;
  int end;
};

class SendResultLineTest : public PageWriterTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SendResultLineTest, OpensTheLinesWindowOverItsRow) {
  const LineCase& c = GetParam();
  ASSERT_EQ(g_->Pages[1].Address, 392);
  ChangeResultLine(c.k);
  writer_->SendResultLine(392, static_cast<int16_t>(c.k));
  const SendWindow& w = g_->LineWindows[static_cast<size_t>(c.window - 1)];
  EXPECT_EQ(w.Next, c.next);
  EXPECT_EQ(w.End, c.end);
  for (size_t i = 0; i < g_->LineWindows.size(); ++i) {
    if (static_cast<int>(i) != c.window - 1) {
      EXPECT_FALSE(g_->LineWindows[i].Pending()) << i;
    }
  }
  EXPECT_EQ(ResultRow(c.k), ExpectedRow("NEW " + std::to_string(c.k), 0));
}

INSTANTIATE_TEST_SUITE_P(Lines, SendResultLineTest,
                         ::testing::Values(LineCase{3, 1, 536, 560}, LineCase{4, 2, 560, 584},
                                           LineCase{5, 3, 584, 608}, LineCase{6, 4, 608, 632},
                                           LineCase{7, 5, 632, 656}, LineCase{8, 6, 656, 680},
                                           LineCase{9, 7, 680, 704}, LineCase{10, 8, 704, 728},
                                           LineCase{11, 9, 728, 752}, LineCase{12, 10, 752, 776},
                                           LineCase{0, 10, 464, 488}, LineCase{1, 10, 488, 512},
                                           LineCase{2, 10, 512, 536}));

struct RaceCase {
  bool headsUp;
  int16_t raceType;
  bool leftWin;
  bool rightWin;
  int k;
  bool sent;
};

class EliminationsSkipTest : public PageWriterTest,
                             public ::testing::WithParamInterface<RaceCase> {};

TEST_P(EliminationsSkipTest, HoldsLinesBackUntilALaneHasWon) {
  const RaceCase& c = GetParam();
  g_->Race.HeadsUp = c.headsUp;
  g_->Race.RaceType = c.raceType;
  g_->Race.LeftLane.Win = c.leftWin;
  g_->Race.RightLane.Win = c.rightWin;
  ChangeResultLine(c.k);
  const std::vector<uint8_t> before = ResultRow(c.k);
  writer_->SendResultLine(392, static_cast<int16_t>(c.k));
  bool anyPending = false;
  for (const SendWindow& w : g_->LineWindows) anyPending = anyPending || w.Pending();
  EXPECT_EQ(anyPending, c.sent);
  EXPECT_EQ(ResultRow(c.k) != before, c.sent);
}

INSTANTIATE_TEST_SUITE_P(Races, EliminationsSkipTest,
                         ::testing::Values(RaceCase{false, kEliminations, false, false, 3, false},
                                           RaceCase{false, kEliminations, false, false, 12, false},
                                           RaceCase{false, kEliminations, false, false, 2, true},
                                           RaceCase{false, kEliminations, false, false, 0, true},
                                           RaceCase{false, kEliminations, true, false, 3, true},
                                           RaceCase{false, kEliminations, false, true, 5, true},
                                           RaceCase{true, kEliminations, false, false, 3, true},
                                           RaceCase{false, kQualify, false, false, 3, true},
                                           RaceCase{false, kClassEliminations, false, false, 3,
                                                    true},
                                           RaceCase{false, kTimeTrials, false, false, 7, true}));

TEST_F(PageWriterTest, SendResultNamesCoversTwoLines) {
  ChangeResultLine(1);
  writer_->SendResultNames(392, 0);
  EXPECT_EQ(g_->NamesWindow.Next, 464);
  EXPECT_EQ(g_->NamesWindow.End, 512);
  EXPECT_EQ(ResultRow(1), ExpectedRow("NEW 1", 0));
}

TEST_F(PageWriterTest, SendResultBodyCoversLines2ToS) {
  ChangeResultLine(12);
  writer_->SendResultBody(1);
  EXPECT_EQ(g_->BodyWindow.Next, 512);
  EXPECT_EQ(g_->BodyWindow.End, 776);
  EXPECT_EQ((g_->BodyWindow.End - g_->BodyWindow.Next) / 8, 33);
  EXPECT_EQ(ResultRow(12), ExpectedRow("NEW 12", 0));
}

TEST_F(PageWriterTest, SendPageTitleCoversTheTitleRow) {
  g_->Pages.SetTitle(1, "Round 2");
  writer_->SendPageTitle(1);
  EXPECT_EQ(g_->TitleWindow.Next, 392 + 48);
  EXPECT_EQ(g_->TitleWindow.End, 392 + 72);
  EXPECT_EQ(testing::Bytes(g_->MapImage, 392 + 48, 7),
            (std::vector<uint8_t>{'R', 'o', 'u', 'n', 'd', ' ', '2'}));
}

TEST_F(PageWriterTest, SendWholePageCoversTitleAndLines) {
  g_->Pages.SetLine(2, 0, "class list");
  writer_->SendWholePage(2);
  EXPECT_EQ(g_->PageWindow.Next, 800 + 48);
  EXPECT_EQ(g_->PageWindow.End, 800 + 96);
  EXPECT_EQ(testing::Bytes(g_->MapImage, LineRowAddress(800, 0), 24), ExpectedRow("class list", 0));
}

TEST_F(PageWriterTest, SendWholePageWaitsWhileItsWindowIsPending) {
  writer_->SendWholePage(2);
  const SendWindow first = g_->PageWindow;
  g_->Pages.SetLine(0, 0, "second");
  const MapImageBytes before = g_->MapImage;
  writer_->SendWholePage(0);
  EXPECT_EQ(g_->PageWindow.Next, first.Next);
  EXPECT_EQ(g_->PageWindow.End, first.End);
  EXPECT_EQ(g_->MapImage, before);

  while (g_->PageWindow.Pending())
    g_->PageWindow.Next = static_cast<int16_t>(g_->PageWindow.Next + 8);
  writer_->SendWholePage(0);
  EXPECT_EQ(g_->PageWindow.Next, 272 + 48);
  EXPECT_EQ(g_->PageWindow.End, 272 + 96);
  EXPECT_EQ(testing::Bytes(g_->MapImage, LineRowAddress(272, 0), 24), ExpectedRow("second", 0));
}

TEST_F(PageWriterTest, ReopeningAPendingWindowReplacesItsBounds) {
  writer_->SendResultLine(392, 0);
  writer_->SendResultLine(392, 12);
  EXPECT_EQ(g_->LineWindows[9].Next, 752);
  EXPECT_EQ(g_->LineWindows[9].End, 776);
}

TEST_F(PageWriterTest, WindowsStayInsideTheImage) {
  writer_->SendResultLine(32700, 300);
  EXPECT_LE(g_->LineWindows[9].End, kMapImageSize - 8);
  writer_->SendResultNames(-30000, 0);
  EXPECT_GE(g_->NamesWindow.Next, 0);
  writer_->SendWholePage(99);  // no such page
  EXPECT_FALSE(g_->PageWindow.Pending());
}

}  // namespace
}  // namespace torvane
