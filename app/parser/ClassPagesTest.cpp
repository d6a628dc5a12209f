#include "ClassPages.h"

#include <gtest/gtest.h>

#include "ParserTestSupport.h"
#include "RaceFields.h"

namespace torvane {
namespace {

using testing_support::ParserBench;

TEST(ClassPageNumberTest, OnlyPagesThreeToOneTwentyFiveThatExist) {
  struct Case {
    int highestPage;
    int16_t link;
    std::optional<int16_t> page;
  } const cases[] = {
      {5, 3, 3},
      {5, 5, 5},
      {5, 6, std::nullopt},
      {5, 2, std::nullopt},
      {5, 1, std::nullopt},
      {5, 255, std::nullopt},
      {126, 125, 125},
      {126, 126, std::nullopt},
      {5, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("N " + std::to_string(c.highestPage) + " link " + std::to_string(c.link));
    PageStore pages;
    while (pages.N() < c.highestPage) pages.AddPage();
    pages.SetLink(1, 12, c.link);
    EXPECT_EQ(ClassPageNumber(pages), c.page);
  }
}

class ClassPagesTest : public ::testing::Test {
 protected:
  static constexpr int kClassPage = 3;

  ClassPagesTest() {
    PageStore& pages = bench_.g.Pages;
    pages.AddPage();
    pages.AddPage();
    pages.SetPageSize(kClassPage, 11);  // 12 lines
    pages.SetLink(1, 12, kClassPage);
    pages.SetTitle(1, "SS/AA E2");
  }

  void SetPair(std::string_view leftTime, std::string_view rightTime, bool leftWins) {
    RaceState& race = bench_.g.Race;
    race.LeftLane.Driver = " SMITH";
    race.RightLane.Driver = "JONES ";
    race.LeftLane.QuarterTime = FixedText(leftTime, 6);
    race.RightLane.QuarterTime = FixedText(rightTime, 6);
    race.LeftLane.Win = leftWins;
    race.RightLane.Win = !leftWins;
  }

  const PageRecord& ClassPage() const { return bench_.g.Pages[kClassPage]; }
  std::string Line(int i) const { return bench_.Line(kClassPage, i); }
  int16_t Link(int i) const { return ClassPage().Links.at(static_cast<size_t>(i)); }

  ParserBench bench_;
};

TEST_F(ClassPagesTest, QualifyingListFillsAsManyLinesAsThePageHas) {
  RaceState& race = bench_.g.Race;
  race.QualifyingCount = -1;
  for (int i = 0; i < 16; ++i) {
    AddQualifier(race, std::string(1, static_cast<char>('A' + i)) + " NAME" + std::to_string(i) +
                           ",7." + std::to_string(100 + i) + ",");
  }
  BuildQualifyingPage(bench_.Context());
  EXPECT_EQ(ClassPage().Title, "SS/AA E2        ");
  EXPECT_EQ(Line(0), "A NAME0       7.100 ");
  EXPECT_EQ(Line(11), "L NAME11      7.111 ");  // 12 lines show the first 12 of 16
  for (int i = 0; i <= 11; ++i) EXPECT_EQ(Link(i), 1);
  EXPECT_EQ(bench_.editor.calls, std::vector<std::string>{"Update(3)"});
  EXPECT_EQ(bench_.sender.calls, std::vector<std::string>{"Whole(3)"});
}

TEST_F(ClassPagesTest, QualifyingListShorterThanThePageBlanksTheRest) {
  bench_.g.Pages.SetLine(kClassPage, 5, "OLD TEXT");
  RaceState& race = bench_.g.Race;
  race.QualifyingCount = -1;
  AddQualifier(race, "A ONE,7.1,");
  AddQualifier(race, "B TWO,7.2,");
  BuildQualifyingPage(bench_.Context());
  EXPECT_EQ(Line(1), "B TWO         7.2   ");
  EXPECT_EQ(Line(2), std::string(20, ' '));
  EXPECT_EQ(Line(5), std::string(20, ' '));
  EXPECT_EQ(Link(5), 1);
}

TEST_F(ClassPagesTest, AnEmptyQualifyingListBlanksThePage) {
  bench_.g.Race.QualifyingCount = -1;
  BuildQualifyingPage(bench_.Context());
  for (int i = 0; i <= 11; ++i) EXPECT_EQ(Line(i), std::string(20, ' '));
}

TEST_F(ClassPagesTest, AClassWithoutAClassPageGetsNoUpdates) {
  bench_.g.Pages.SetLink(1, 12, 255);
  SetPair("10.62", "10.81", true);
  const std::string title = ClassPage().Title;
  AddLadderPair(bench_.Context());
  BuildQualifyingPage(bench_.Context());
  EXPECT_EQ(ClassPage().Title, title);
  EXPECT_TRUE(bench_.editor.calls.empty());
  EXPECT_TRUE(bench_.sender.calls.empty());
}

TEST_F(ClassPagesTest, TheFirstPairOfANewRoundEmptiesThePageAndTakesLinesZeroAndOne) {
  bench_.g.Pages.SetTitle(kClassPage, "SS/AA E1");
  for (int i = 0; i <= 11; ++i) {
    bench_.g.Pages.SetLine(kClassPage, i, "ROUND ONE");
    bench_.g.Pages.SetLink(kClassPage, i, 1);
  }
  bench_.g.Race.RaceType = kEliminations;
  SetPair("10.62", "10.81", true);
  AddLadderPair(bench_.Context());
  EXPECT_EQ(ClassPage().Title, "SS/AA E2        ");
  EXPECT_EQ(Line(0), "W        SMITH10.62 ");
  EXPECT_EQ(Line(1), "L________JONES10.81_");
  EXPECT_EQ(Link(0), 1);
  EXPECT_EQ(Link(1), 1);
  for (int i = 2; i <= 11; ++i) {
    EXPECT_EQ(Line(i), std::string(20, ' '));
    EXPECT_EQ(Link(i), 255);
  }
  EXPECT_EQ(bench_.editor.calls, std::vector<std::string>{"Update(3)"});
  EXPECT_EQ(bench_.sender.calls, std::vector<std::string>{"Whole(3)"});
}

struct LadderCase {
  const char* name;
  int16_t raceType;
  std::string_view leftQuarter, rightQuarter, leftEighth, rightEighth;
  bool leftWins;
  std::string left, right;
};

class LadderLinesTest : public ::testing::TestWithParam<LadderCase> {};

TEST_P(LadderLinesTest, ComposesThePair) {
  const LadderCase& c = GetParam();
  RaceState race;
  race.RaceType = c.raceType;
  race.LeftLane.Driver = " SMITH";
  race.RightLane.Driver = "JONES ";
  race.LeftLane.QuarterTime = FixedText(c.leftQuarter, 6);
  race.RightLane.QuarterTime = FixedText(c.rightQuarter, 6);
  race.LeftLane.EighthTime = FixedText(c.leftEighth, 6);
  race.RightLane.EighthTime = FixedText(c.rightEighth, 6);
  race.LeftLane.Win = c.leftWins;
  race.RightLane.Win = !c.leftWins;
  const auto pair = ComposeLadderPair(race);
  if (c.left.empty()) {
    EXPECT_FALSE(pair.has_value());
    return;
  }
  ASSERT_TRUE(pair.has_value());
  EXPECT_EQ(pair->first, c.left);
  EXPECT_EQ(pair->second, c.right);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, LadderLinesTest,
    ::testing::Values(
        LadderCase{"EliminationsLeftWins", kEliminations, "10.62", "10.81", "", "", true,
                   "W        SMITH10.62 ", "L________JONES10.81_"},
        LadderCase{"EliminationsRightWins", kEliminations, "10.62", "10.81", "", "", false,
                   "L        SMITH10.62 ", "W________JONES10.81_"},
        LadderCase{"ClassEliminations", kClassEliminations, "9.9", "BROKE", "", "", true,
                   "W        SMITH9.9   ", "L________JONESBROKE_"},
        LadderCase{"TimeTrialsKeepsTheDriverUntrimmed", kTimeTrials, "10.62", "", "", "", true,
                   "         SMITH10.62 ", "________JONES ______"},
        LadderCase{"QualifyFallsBackToEighthTimes", kQualify, "", "", "6.71", "6.80", true,
                   "         SMITH6.71  ", "________JONES 6.80__"},
        LadderCase{"OneNumericQuarterIsEnough", kEliminations, "", "10.81", "6.71", "6.80", false,
                   "L        SMITH      ", "W________JONES10.81_"},
        LadderCase{"NoNumericTimeNoPair", kEliminations, "RED", "", "", "", true, "", ""},
        LadderCase{"UnknownRaceTypeNoPair", 7, "10.62", "10.81", "", "", true, "", ""}),
    [](const ::testing::TestParamInfo<LadderCase>& info) { return std::string(info.param.name); });

TEST_F(ClassPagesTest, PairsAppendInTheOrderTheyFinish) {
  bench_.g.Race.RaceType = kEliminations;
  SetPair("10.62", "10.81", true);
  AddLadderPair(bench_.Context());
  SetPair("10.55", "10.50", false);
  AddLadderPair(bench_.Context());
  EXPECT_EQ(Line(2), "L        SMITH10.55 ");
  EXPECT_EQ(Line(3), "W________JONES10.50_");
  EXPECT_EQ(Link(4), 255);
}

TEST_F(ClassPagesTest, WithOneFreeLineLeftOnlyTheLeftLineIsWritten) {
  bench_.g.Race.RaceType = kEliminations;
  bench_.g.Pages.SetTitle(kClassPage, "SS/AA E2");
  for (int i = 0; i <= 11; ++i) {
    bench_.g.Pages.SetLine(kClassPage, i, "TAKEN");
    bench_.g.Pages.SetLink(kClassPage, i, i == 7 ? 255 : 1);
  }
  SetPair("10.62", "10.81", true);
  AddLadderPair(bench_.Context());
  EXPECT_EQ(Line(7), "W        SMITH10.62 ");
  EXPECT_EQ(Link(7), 1);
  for (int i = 0; i <= 11; ++i) {
    if (i != 7) {
      EXPECT_EQ(Line(i), FixedText("TAKEN", 20));
    }
  }
  EXPECT_EQ(bench_.sender.calls, std::vector<std::string>{"Whole(3)"});

  // No free line at all: the page stays, but is still refreshed and sent.
  bench_.ClearCalls();
  AddLadderPair(bench_.Context());
  EXPECT_EQ(Line(7), "W        SMITH10.62 ");
  EXPECT_EQ(bench_.sender.calls, std::vector<std::string>{"Whole(3)"});
  EXPECT_EQ(bench_.editor.calls, std::vector<std::string>{"Update(3)"});
}

TEST_F(ClassPagesTest, APairWithoutTimesEmptiesAStalePageButWritesNothing) {
  bench_.g.Pages.SetTitle(kClassPage, "OLD");
  bench_.g.Pages.SetLine(kClassPage, 0, "OLD PAIR");
  AddLadderPair(bench_.Context());  // fresh lanes: no numeric time
  EXPECT_EQ(ClassPage().Title, "SS/AA E2        ");
  EXPECT_EQ(Line(0), std::string(20, ' '));
  EXPECT_EQ(Link(0), 255);
  EXPECT_TRUE(bench_.sender.calls.empty());
  EXPECT_TRUE(bench_.editor.calls.empty());
}

TEST_F(ClassPagesTest, AQualifyingPageTakesNoPairsUntilTheTitleChanges) {
  bench_.g.Race.QualifyingCount = -1;
  AddQualifier(bench_.g.Race, "A ONE,7.1,");
  BuildQualifyingPage(bench_.Context());
  SetPair("10.62", "10.81", true);
  AddLadderPair(bench_.Context());
  EXPECT_EQ(Line(0), "A ONE         7.1   ");
  EXPECT_EQ(Line(1), std::string(20, ' '));
}

}  // namespace
}  // namespace torvane
