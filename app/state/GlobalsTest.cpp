#include "Globals.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

struct DateCase {
  int year, month, day;
  int16_t expected;
};

class DayOfYearTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DayOfYearTest, CountsWholeDaysSinceFirstJanuary) {
  const DateCase& c = GetParam();
  EXPECT_EQ(DayOfYear(c.year, c.month, c.day), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Dates, DayOfYearTest,
                         ::testing::Values(DateCase{2026, 1, 1, 0}, DateCase{2024, 12, 31, 365},
                                           DateCase{2026, 12, 31, 364}, DateCase{2024, 2, 29, 59},
                                           DateCase{2024, 3, 1, 60}, DateCase{2026, 3, 1, 59},
                                           DateCase{1900, 3, 1, 59},  // not a leap year
                                           DateCase{2000, 3, 1, 60},  // leap year
                                           DateCase{2026, 12, 7, 340},
                                           DateCase{2026, 0, 1,
                                                    0},  // month below the range: January
                                           DateCase{2026, 13, 31, 364}));  // month above: December

TEST(GlobalsTest, StartsAsTheProgramDoes) {
  const Globals g;
  EXPECT_EQ(g.MapImage.size(), 32769U);
  for (uint8_t b : g.MapImage) ASSERT_EQ(b, 0);
  EXPECT_EQ(g.Pages.N(), 2);
  EXPECT_EQ(g.TxCursor, 0);
  EXPECT_TRUE(g.TickerText.empty());
  EXPECT_FALSE(g.TitleWindow.Pending());
  EXPECT_EQ(g.Race.QualifyingCount, -1);
}

TEST(GlobalsTest, ResetEmptiesEveryWindow) {
  Globals g;
  for (auto& window : g.LineWindows) window = {100, 124};
  g.BodyWindow = g.NamesWindow = g.TitleWindow = g.PageWindow = {8, 16};
  g.ResetSendWindows();
  for (const auto& window : g.LineWindows) EXPECT_FALSE(window.Pending());
  for (const SendWindow* w : {&g.BodyWindow, &g.NamesWindow, &g.TitleWindow, &g.PageWindow}) {
    EXPECT_EQ(w->Next, 0);
    EXPECT_EQ(w->End, 0);
  }
}

TEST(SendWindowTest, PendingWhileNextIsBelowEnd) {
  SendWindow w{536, 560};
  int packets = 0;
  while (w.Pending()) {
    w.Next = static_cast<int16_t>(w.Next + 8);
    ++packets;
  }
  EXPECT_EQ(packets, 3);  // one 24-byte row
  EXPECT_FALSE((SendWindow{560, 560}.Pending()));
  EXPECT_FALSE((SendWindow{600, 560}.Pending()));
}

}  // namespace
}  // namespace torvane
