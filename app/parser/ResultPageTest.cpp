#include "ResultPage.h"

#include <gtest/gtest.h>

#include "ParserTestSupport.h"
#include "RaceFields.h"

namespace torvane {
namespace {

using testing_support::ParserBench;

TEST(ResultPageTitleTest, ClassTypeLetterAndRound) {
  struct Case {
    std::string currentClass;
    int16_t raceType, round;
    std::optional<std::string> title;
  } const cases[] = {
      {"SS/AA", kEliminations, 3, "SS/AA E3"},
      {"  SS/AA  ", kTimeTrials, 0, "SS/AA T0"},
      {"PRO STOCK", kQualify, 2, "PRO STOCK Q2"},
      {"STOCK", kClassEliminations, 1, "STOCK C1"},
      {"ABCDEFGHIJKLM", kEliminations, 12, "ABCDEFGHIJKLM E1"},  // 13 characters: digit cut
      {"SUPER STOCK AUTO", kTimeTrials, 0, "SUPER STOCK A T0"},
      {"", kEliminations, 4, " E4"},
      {"SS/AA", 4, 3, std::nullopt},  // unknown race type: title kept
      {"SS/AA", -1, 3, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.currentClass + " type " + std::to_string(c.raceType));
    RaceState race;
    race.CurrentClass = FixedText(c.currentClass, 16);
    race.RaceType = c.raceType;
    race.RoundNumber = c.round;
    EXPECT_EQ(ComposeResultPage(race, false).title, c.title);
  }
}

TEST(ResultPageTest, IdentityLinesTrimEntryAndCarNumberButNotTheDriver) {
  RaceState race;
  race.LeftLane.Entry = " A ";
  race.LeftLane.CarNumber = " 123 ";
  race.LeftLane.Driver = " JOHN SMITH";
  race.RightLane.CarNumber = "7";
  race.RightLane.Driver = "A DRIVER WITH A VERY LONG NAME";
  const ResultPageLayout page = ComposeResultPage(race, false);
  EXPECT_EQ(page.lines[0], "L[A:123] JOHN SMITH");
  EXPECT_EQ(page.lines[1], "R[:7]A DRIVER WITH A VERY LONG NAME");  // cut when stored
  EXPECT_EQ(page.lines[2], "_______LEFT___RIGHT_");
  ASSERT_EQ(page.lines[2].size(), 20U);
}

TEST(ResultPageTest, LineThreeShowsDialInsOrTheBumpSpot) {
  struct Case {
    bool headsUp;
    int16_t raceType;
    std::string line3;
  } const cases[] = {
      {false, kTimeTrials, " Dial 10.50  9.75  "},
      {false, kEliminations, " Dial 10.50  9.75  "},
      {true, kTimeTrials, " Bump  >> 8.123  <<"},
      {true, kQualify, " Bump  >> 8.123  <<"},
      {true, kEliminations, " "},
      {true, kClassEliminations, " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.headsUp) + " type " + std::to_string(c.raceType));
    RaceState race;
    race.HeadsUp = c.headsUp;
    race.RaceType = c.raceType;
    race.LeftLane.Dial = "10.50 ";
    race.RightLane.Dial = "9.75  ";
    race.BumpTime = "8.123 ";
    EXPECT_EQ(ComposeResultPage(race, false).lines[3], c.line3);
  }
}

struct ModeCase {
  const char* name;
  bool headsUp;
  int16_t raceType;
  bool delayEverything;
  bool leftWin, rightWin;
  bool held, release;
  std::string line4, line12;
};

class ResultModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ResultModeTest, HeldUntilAWinLightOrShownAsTimesArrive) {
  const ModeCase& c = GetParam();
  RaceState race;
  race.HeadsUp = c.headsUp;
  race.RaceType = c.raceType;
  race.LeftLane.ReactionTime = "0.500 ";
  race.RightLane.ReactionTime = "0.512 ";
  race.LeftLane.Margin = ".0123 ";
  race.RightLane.Margin = ".0456 ";
  race.LeftLane.DialDifference = "0.120 ";
  race.RightLane.DialDifference = "-0.012";
  race.LeftLane.Win = c.leftWin;
  race.RightLane.Win = c.rightWin;
  const ResultPageLayout page = ComposeResultPage(race, c.delayEverything);
  EXPECT_EQ(page.held, c.held);
  EXPECT_EQ(page.releaseHeld, c.release);
  EXPECT_EQ(page.lines[4], c.line4);
  EXPECT_EQ(page.lines[12], c.line12);
}

const std::string kTimes = "  R/T 0.500  0.512 ";

INSTANTIATE_TEST_SUITE_P(
    Modes, ResultModeTest,
    ::testing::Values(ModeCase{"ElimNoWinHeld", false, kEliminations, false, false, false, true,
                               false, "  R/T", "Margin"},
                      ModeCase{"ElimLeftWin", false, kEliminations, false, true, false, true, true,
                               kTimes, "Margin  WIN  .0123 "},
                      ModeCase{"ElimRightWin", false, kEliminations, false, false, true, true, true,
                               kTimes, "Margin.0456   WIN"},
                      ModeCase{"ClassElimBothWin", false, kClassEliminations, false, true, true,
                               true, true, kTimes, "Margin  WIN    WIN"},
                      ModeCase{"ClassElimNoWinHeld", false, kClassEliminations, false, false, false,
                               true, false, "  R/T", "Margin"},
                      ModeCase{"HeadsUpTimeTrials", true, kTimeTrials, false, false, false, false,
                               false, kTimes, " "},
                      ModeCase{"HandicapTimeTrials", false, kTimeTrials, false, false, false, false,
                               false, kTimes, "  +/- 0.120  -0.012"},
                      ModeCase{"HandicapQualifyWithWin", false, kQualify, false, true, false, false,
                               false, kTimes, "  +/- 0.120  -0.012"},
                      ModeCase{"DelayEverythingTimeTrials", true, kTimeTrials, true, false, false,
                               true, false, "  R/T", "Margin"},
                      ModeCase{"DelayEverythingWin", true, kTimeTrials, true, true, false, true,
                               true, kTimes, "Margin  WIN  .0123 "},
                      ModeCase{"HeadsUpElimNoWin", true, kEliminations, false, false, false, false,
                               false, kTimes, "Margin"},
                      ModeCase{"HeadsUpElimLeftWin", true, kEliminations, false, true, false, false,
                               false, kTimes, "Margin  WIN  .0123 "},
                      ModeCase{"HeadsUpElimRightWin", true, kEliminations, false, false, true,
                               false, false, kTimes, "Margin.0456   WIN"},
                      ModeCase{"HeadsUpClassElim", true, kClassEliminations, false, true, false,
                               false, false, kTimes, " "}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST(ResultModeTest, HeldLabelsAndFullLayoutLineByLine) {
  RaceState race;
  race.RaceType = kEliminations;
  const std::array<std::string, 9> labels = {"  R/T", "  60'", " 330'", " 660'", "  mph",
                                             "1000'", "1320'", "  mph", "Margin"};
  const ResultPageLayout held = ComposeResultPage(race, false);
  for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(held.lines[4 + i], labels[i]);

  int code = 0;
  for (int c : {1, 2, 3, 5, 4, 7, 9, 8}) {
    StoreLaneValue(race, Lane::kLeft, "1." + std::to_string(++code), c);
    StoreLaneValue(race, Lane::kRight, "2." + std::to_string(code), c);
  }
  StoreLaneValue(race, Lane::kLeft, "w", kWinCode);
  const ResultPageLayout full = ComposeResultPage(race, false);
  const std::array<std::string, 8> expected = {
      "  R/T 1.100  2.100 ", "  60' 1.200  2.200 ", " 330' 1.3    2.3   ", " 660' 1.4    2.4   ",
      "  mph 1.5    2.5   ", "1000' 1.6    2.6   ", "1320' 1.7    2.7   ", "  mph 1.8    2.8   "};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(full.lines[4 + i], expected[i]);
}

TEST(BuildResultPageTest, StoresFixedLinesReleasesHeldTimesAndRefreshes) {
  ParserBench bench;
  RaceState& race = bench.g.Race;
  race.CurrentClass = FixedText("SS/AA", 16);
  race.RaceType = kEliminations;
  race.RoundNumber = 3;
  race.LeftLane.Driver = "SMITH";
  BuildResultPage(bench.Context());
  EXPECT_EQ(bench.g.Pages[1].Title, "SS/AA E3        ");
  EXPECT_EQ(bench.Line(1, 0), "L[:]SMITH           ");
  EXPECT_EQ(bench.Line(1, 4), "  R/T               ");
  EXPECT_EQ(bench.sender.calls, std::vector<std::string>{});
  EXPECT_EQ(bench.editor.calls, std::vector<std::string>{"Update(1)"});

  bench.ClearCalls();
  race.RightLane.Win = true;
  race.RightLane.Margin = ".0456 ";
  BuildResultPage(bench.Context());
  EXPECT_EQ(bench.Line(1, 12), "Margin.0456   WIN   ");
  EXPECT_EQ(bench.sender.calls, std::vector<std::string>{"Body(1)"});
  EXPECT_EQ(bench.editor.calls, std::vector<std::string>{"Update(1)"});

  race.RaceType = 9;  // unknown: the title stays
  BuildResultPage(bench.Context());
  EXPECT_EQ(bench.g.Pages[1].Title, "SS/AA E3        ");
}

TEST(BuildResultPageTest, LeavesTheRestOfTheResultPageAlone) {
  ParserBench bench;
  bench.g.Pages.SetPageSize(1, 14);
  bench.g.Pages.SetLine(1, 13, "FOOTER");
  bench.g.Pages.SetLink(1, 12, 7);
  bench.g.Pages.SetLink(1, 4, 9);
  BuildResultPage(bench.Context());
  EXPECT_EQ(bench.Line(1, 13), "FOOTER              ");
  EXPECT_EQ(bench.g.Pages[1].Links[12], 7);
  EXPECT_EQ(bench.g.Pages[1].Links[4], 9);
}

TEST(BuildResultPageTest, AShortResultPageGetsTheLinesItHas) {
  ParserBench bench;
  PageRecord& page = bench.g.Pages.Edit(1);
  page.Lines.resize(5);
  page.Links.resize(5);
  bench.g.Race.LeftLane.Win = true;
  BuildResultPage(bench.Context());
  ASSERT_EQ(bench.g.Pages[1].Lines.size(), 5U);
  EXPECT_EQ(bench.Line(1, 2), "_______LEFT___RIGHT_");
  EXPECT_EQ(bench.Line(1, 4), FixedText("  R/T", 20));  // immediate mode, blank fields
}

}  // namespace
}  // namespace torvane
