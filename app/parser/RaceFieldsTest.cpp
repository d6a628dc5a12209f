#include "RaceFields.h"

#include <gtest/gtest.h>

#include <functional>

namespace torvane {
namespace {

struct StoreCase {
  int code;
  std::string_view text;
  std::string LaneResult::*field;
  std::string expected;
};

TEST(StoreLaneValueTest, EachCodeFillsItsFieldInItsFormat) {
  const StoreCase cases[] = {
      {1, "0.5", &LaneResult::ReactionTime, "0.500 "},
      {1, "0.4567", &LaneResult::ReactionTime, "0.4567"},
      {1, "0.45675", &LaneResult::ReactionTime, "0.4568"},  // half away from zero
      {1, "-0.0123", &LaneResult::ReactionTime, "-0.012"},  // 7 characters cut to 6
      {1, "FOUL", &LaneResult::ReactionTime, "FOUL  "},     // not a number: as received
      {2, "1.2", &LaneResult::Sixty, "1.200 "},
      {3, "3.8123", &LaneResult::ThreeThirty, "3.8123"},
      {3, "3.81234", &LaneResult::ThreeThirty, "3.8123"},  // cut, not rounded
      {4, "98.5", &LaneResult::EighthSpeed, "98.5  "},
      {5, "6.7", &LaneResult::EighthTime, "6.7   "},
      {6, "x", &LaneResult::EventSixValue, "x     "},
      {7, "8.91", &LaneResult::Thousand, "8.91  "},
      {8, "131.02", &LaneResult::QuarterSpeed, "131.02"},
      {9, "10.62", &LaneResult::QuarterTime, "10.62 "},
      {10, ".0123", &LaneResult::Margin, ".0123 "},
  };
  for (const StoreCase& c : cases) {
    SCOPED_TRACE("code " + std::to_string(c.code) + " \"" + std::string(c.text) + "\"");
    RaceState race;
    EXPECT_TRUE(StoreLaneValue(race, Lane::kRight, c.text, c.code));
    EXPECT_EQ(race.RightLane.*c.field, c.expected);
    EXPECT_EQ(race.LeftLane.*c.field, std::string(6, ' '));
  }
}

TEST(StoreLaneValueTest, UnknownCodesStoreNothing) {
  for (int code : {0, 11, 12, 86, 88, 255, -1}) {
    SCOPED_TRACE(code);
    RaceState race;
    const RaceState before = race;
    EXPECT_FALSE(StoreLaneValue(race, Lane::kLeft, "1.234", code));
    EXPECT_EQ(race.LeftLane.ReactionTime, before.LeftLane.ReactionTime);
    EXPECT_EQ(race.LeftLane.Margin, before.LeftLane.Margin);
    EXPECT_FALSE(race.LeftLane.Win);
  }
}

struct DifferenceCase {
  std::string_view dial;
  std::string_view elapsed;
  std::string expected;  // DialDifference afterwards
};

TEST(StoreLaneValueTest, ElapsedTimeWorksOutTheDialDifference) {
  const DifferenceCase cases[] = {
      {"10.50 ", "10.62", "0.120 "},   {"9.45  ", "9.4377", "-0.012"},  // -0.0123 cut by the field
      {"10.45 ", "10.4377", "-0.013"},  // the elapsed time is cut to 10.437 first
      {"9.00  ", "8.9999", "-0.000"},   // -0.0001, cut
      {"10.50 ", "10.5", "0.000 "},    {"8.00  ", "18.1234", "10.123"},  // 10.1234 cut
      {"      ", "10.62", "      "},                                     // no dial-in: unchanged
      {"10.50 ", "BROKE", "      "},  // no elapsed time: unchanged
  };
  for (const DifferenceCase& c : cases) {
    SCOPED_TRACE(std::string(c.dial) + " / " + std::string(c.elapsed));
    RaceState race;
    race.LeftLane.Dial = c.dial;
    StoreLaneValue(race, Lane::kLeft, c.elapsed, kQuarterTimeCode);
    EXPECT_EQ(race.LeftLane.DialDifference, c.expected);
  }
}

struct WinCase {
  int16_t raceType;
  bool leftBefore, rightBefore;
  Lane winner;
  bool leftAfter, rightAfter;
};

TEST(StoreLaneValueTest, AWinLightPutsTheOtherOutExceptInClassEliminations) {
  const WinCase cases[] = {
      {kEliminations, false, true, Lane::kLeft, true, false},
      {kEliminations, true, false, Lane::kRight, false, true},
      {kTimeTrials, false, true, Lane::kLeft, true, false},
      {kQualify, false, false, Lane::kRight, false, true},
      {kClassEliminations, false, true, Lane::kLeft, true, true},
      {kClassEliminations, true, false, Lane::kRight, true, true},
      {kClassEliminations, false, false, Lane::kLeft, true, false},
  };
  for (const WinCase& c : cases) {
    SCOPED_TRACE("race type " + std::to_string(c.raceType) +
                 (c.winner == Lane::kLeft ? " left" : " right"));
    RaceState race;
    race.RaceType = c.raceType;
    race.LeftLane.Win = c.leftBefore;
    race.RightLane.Win = c.rightBefore;
    EXPECT_TRUE(StoreLaneValue(race, c.winner, "w", kWinCode));
    EXPECT_EQ(race.LeftLane.Win, c.leftAfter);
    EXPECT_EQ(race.RightLane.Win, c.rightAfter);
  }
}

struct DialCase {
  std::function<void(LaneResult&, std::string_view)> set;
  const char* name;
  std::string text;
  std::string expected;
};

TEST(DialTest, HundredthsAndTextFormsOfTheDialIn) {
  const DialCase cases[] = {
      {SetDialHundredths, "hundredths", "1050", "10.50 "},
      {SetDialHundredths, "hundredths", "999", "9.99  "},
      {SetDialHundredths, "hundredths", "1", "0.01  "},
      {SetDialHundredths, "hundredths", " 1234 ", "12.34 "},
      {SetDialHundredths, "hundredths", "1050.5", "10.51 "},  // 10.505: half up
      {SetDialHundredths, "hundredths", "123456", "1234.5"},  // 1234.56, cut
      {SetDialHundredths, "hundredths", "0", "7.77  "},       // unchanged
      {SetDialHundredths, "hundredths", "-1050", "7.77  "},   // unchanged
      {SetDialHundredths, "hundredths", "0.4", "0.00  "},     // 0.004 is above 0
      {SetDialHundredths, "hundredths", "", "7.77  "},
      {SetDialHundredths, "hundredths", "10.5x", "7.77  "},
      {SetDialHundredths, "hundredths", "1" + std::string(40, '0'), "7.77  "},  // too large
      {SetDialText, "text", "D:10.5", "10.50 "},
      {SetDialText, "text", "D:9.876", "9.88  "},
      {SetDialText, "text", "D:1050", "10.50 "},  // no point: hundredths
      {SetDialText, "text", "D:0", "7.77  "},     // hundredths, not above 0
      {SetDialText, "text", "D:", "7.77  "},
      {SetDialText, "text", "D", "7.77  "},
      {SetDialText, "text", "", "7.77  "},
      {SetDialText, "text", "D:abc", "7.77  "},
      {SetDialText, "text", "10.5", "0.50  "},  // any two characters are the prefix
  };
  for (const DialCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " \"" + std::string(c.text) + "\"");
    LaneResult lane;
    lane.Dial = "7.77  ";
    c.set(lane, c.text);
    EXPECT_EQ(lane.Dial, c.expected);
  }
}

struct RoundCase {
  std::string_view round;
  char letter;
  int16_t roundAfter;
  int16_t typeAfter;
};

TEST(SetRoundAndTypeTest, RoundFromTheTextTypeFromTheLetter) {
  const RoundCase cases[] = {
      {"3", 'E', 3, kEliminations},     {"T", 'T', 0, kTimeTrials},
      {"2", 'Q', 2, kQualify},          {"4", 'C', 4, kClassEliminations},
      {"abc", 'E', 0, kEliminations},   {"5", 'X', 5, kClassEliminations},  // type kept
      {" 12 ", 'T', 12, kTimeTrials},   {"99999", 'E', 0, kEliminations},
      {"", 'e', 0, kClassEliminations},  // lower case is not a type letter
  };
  for (const RoundCase& c : cases) {
    SCOPED_TRACE(std::string(c.round) + " " + c.letter);
    RaceState race;
    race.RaceType = kClassEliminations;
    race.RoundNumber = 9;
    SetRoundAndType(race, c.round, c.letter);
    EXPECT_EQ(race.RoundNumber, c.roundAfter);
    EXPECT_EQ(race.RaceType, c.typeAfter);
  }
}

TEST(ClearLaneResultsTest, BlanksResultsAndKeepsWhoIsRacing) {
  RaceState race;
  for (LaneResult* lane : {&race.LeftLane, &race.RightLane}) {
    lane->Entry = "A";
    lane->CarNumber = "123";
    lane->Driver = "SMITH";
    lane->Win = true;
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) StoreLaneValue(race, Lane::kLeft, "1.5", code);
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10})
      StoreLaneValue(race, Lane::kRight, "1.5", code);
    lane->Dial = "9.99  ";
    lane->DialDifference = "0.1   ";
  }
  ClearLaneResults(race);
  const std::string blank(6, ' ');
  for (const LaneResult* lane : {&race.LeftLane, &race.RightLane}) {
    EXPECT_FALSE(lane->Win);
    for (const std::string* field :
         {&lane->Dial, &lane->ReactionTime, &lane->Sixty, &lane->ThreeThirty, &lane->EighthTime,
          &lane->EighthSpeed, &lane->Thousand, &lane->EventSixValue, &lane->QuarterTime,
          &lane->QuarterSpeed, &lane->Margin, &lane->DialDifference}) {
      EXPECT_EQ(*field, blank);
    }
    EXPECT_EQ(lane->Entry, "A");
    EXPECT_EQ(lane->CarNumber, "123");
    EXPECT_EQ(lane->Driver, "SMITH");
  }
}

TEST(AddQualifierTest, SixteenQualifiersAfterTheListStartsTheSeventeenthIsDropped) {
  RaceState race;
  race.QualifyingCount = -1;
  for (int i = 0; i < 17; ++i) {
    const std::string name = "DRIVER" + std::to_string(i);
    AddQualifier(race, std::string(1, static_cast<char>('A' + i)) + " " + name + ",7." +
                           std::to_string(100 + i) + ",x");
  }
  EXPECT_EQ(race.QualifyingCount, 16);
  EXPECT_EQ(race.QualifyingList[0].Position, "A ");
  EXPECT_EQ(race.QualifyingList[0].Name, "DRIVER0     ");
  EXPECT_EQ(race.QualifyingList[0].Time, "7.100 ");
  EXPECT_EQ(race.QualifyingList[15].Position, "P ");
  EXPECT_EQ(race.QualifyingList[15].Time, "7.115 ");
  for (const Qualifier& q : race.QualifyingList) EXPECT_NE(q.Position, "Q ");  // the 17th
}

TEST(AddQualifierTest, WithoutAListStartTheFirstLineGoesToIndexOne) {
  RaceState race;
  race.QualifyingCount = 0;  // left from an earlier list
  AddQualifier(race, "A SMITH,7.1,");
  EXPECT_EQ(race.QualifyingCount, 1);
  EXPECT_EQ(race.QualifyingList[1].Name, "SMITH       ");
}

struct QualifierCase {
  std::string_view line;
  Qualifier expected;
};

TEST(AddQualifierTest, ShortLinesFillWhatTheyHave) {
  const Qualifier old{"Z ", "OLDNAME     ", "9.999 "};
  const QualifierCase cases[] = {
      {"1 JONES,7.123,99", {"1 ", "JONES       ", "7.123 "}},
      {"1 A VERY LONG NAME,7.1234567,", {"1 ", "A VERY LONG ", "7.1234"}},
      {"1 JONES,7.123", {"1 ", "JONES       ", "9.999 "}},  // no second comma
      {"1,JONES", {"1 ", "OLDNAME     ", "9.999 "}},        // no space
      {"1 JONES", {"1 ", "OLDNAME     ", "9.999 "}},        // no comma
      {"", {"  ", "OLDNAME     ", "9.999 "}},
  };
  for (const QualifierCase& c : cases) {
    SCOPED_TRACE(std::string(c.line));
    RaceState race;
    race.QualifyingCount = -1;
    race.QualifyingList[0] = old;
    AddQualifier(race, c.line);
    EXPECT_EQ(race.QualifyingList[0].Position, c.expected.Position);
    EXPECT_EQ(race.QualifyingList[0].Name, c.expected.Name);
    EXPECT_EQ(race.QualifyingList[0].Time, c.expected.Time);
  }
}

TEST(AddQualifierTest, CountIsHeldAtTheTopOfItsRange) {
  RaceState race;
  race.QualifyingCount = 32767;
  AddQualifier(race, "A B,1,");
  EXPECT_EQ(race.QualifyingCount, 32767);
}

}  // namespace
}  // namespace torvane
