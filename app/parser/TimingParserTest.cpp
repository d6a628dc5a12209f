#include "TimingParser.h"

#include <gtest/gtest.h>

#include "ParserTestSupport.h"
#include "SettingsKeys.h"

namespace torvane {
namespace {

using testing_support::ParserBench;
using Calls = std::vector<std::string>;

std::string Record(std::string_view text) { return std::string(text) + "\r"; }
std::string Command(std::string_view command, int argument, std::string_view rest = "") {
  return std::string(command) + static_cast<char>(argument) + std::string(rest) + "\r";
}

class TimingParserTest : public ::testing::Test {
 protected:
  TimingParserTest() : parser_(bench_.Context()) {
    bench_.g.PageDelay = 5;
    bench_.editor.categories = {"PRO STOCK", "SS/AA"};
    PageStore& pages = bench_.g.Pages;
    pages.AddPage();
    pages.AddPage();
    pages.SetPageSize(2, 1);
    pages.SetLink(2, 0, 3);
    pages.SetLink(2, 1, 4);
    pages.SetPageSize(4, 11);
  }

  void Tagged(std::string_view text) { parser_.ParseTaggedRecord(Record(text)); }
  void Commanded(std::string_view record) { parser_.ParseCommandRecord(record); }
  RaceState& Race() { return bench_.g.Race; }
  // Page 1 line 12 leads to page 4 and both lanes have a finished time, so a
  // ladder update shows as a whole-page send of page 4.
  void ArmLadder() {
    bench_.g.Pages.SetLink(1, 12, 4);
    Race().LeftLane.QuarterTime = "10.62 ";
    Race().RightLane.QuarterTime = "10.81 ";
  }

  ParserBench bench_;
  TimingParser parser_;
};

struct LaneValueCase {
  std::string_view record;  // tagged record without its carriage return
  std::string LaneResult::*field;
  bool left;
  std::string stored;
  Calls sent;
};

TEST_F(TimingParserTest, TaggedLaneValuesStoreRebuildAndQueueTheirLine) {
  const LaneValueCase cases[] = {
      {"L00.5", &LaneResult::ReactionTime, true, "0.500 ", {"Line(392,4)"}},
      {"L11.2", &LaneResult::Sixty, true, "1.200 ", {"Line(392,5)"}},
      {"L23.81", &LaneResult::ThreeThirty, true, "3.81  ", {"Line(392,6)"}},
      {"L36.71", &LaneResult::EighthTime, true, "6.71  ", {"Line(392,7)"}},
      {"L498.5", &LaneResult::EighthSpeed, true, "98.5  ", {"Line(392,8)"}},
      {"L58.91", &LaneResult::Thousand, true, "8.91  ", {"Line(392,9)"}},
      {"L6 10.62", &LaneResult::QuarterTime, true, " 10.62", {"Line(392,10)"}},
      {"L7131.02", &LaneResult::QuarterSpeed, true, "131.02", {"Line(392,11)"}},
      {"fl.0123", &LaneResult::Margin, true, ".0123 ", {"Line(392,12)"}},
      {"R00.4567", &LaneResult::ReactionTime, false, "0.4567", {"Line(392,4)"}},
      {"R36.80", &LaneResult::EighthTime, false, "6.80  ", {"Line(392,7)"}},
      {"R4101.1", &LaneResult::EighthSpeed, false, "101.1 ", {"Line(392,8)"}},
      {"R610.81", &LaneResult::QuarterTime, false, "10.81 ", {"Line(392,10)"}},
      {"R7130", &LaneResult::QuarterSpeed, false, "130   ", {"Line(392,11)"}},
      {"fr.0456", &LaneResult::Margin, false, ".0456 ", {"Line(392,12)"}},
  };
  for (const LaneValueCase& c : cases) {
    SCOPED_TRACE(std::string(c.record));
    bench_.ClearCalls();
    Tagged(c.record);
    EXPECT_EQ((c.left ? Race().LeftLane : Race().RightLane).*c.field, c.stored);
    EXPECT_EQ(bench_.sender.calls, c.sent);
    EXPECT_EQ(bench_.editor.calls, Calls{"Update(1)"});
  }
}

struct CommandCase {
  std::string record;
  std::string LaneResult::*field;
  bool left;
  std::string stored;
  Calls sent;
};

TEST_F(TimingParserTest, CommandLaneValuesByBinaryEventCode) {
  const CommandCase cases[] = {
      {Command("~TL", 1, "0.5"), &LaneResult::ReactionTime, true, "0.500 ", {"Line(392,4)"}},
      {Command("~TR", 2, "1.25"), &LaneResult::Sixty, false, "1.250 ", {"Line(392,5)"}},
      {Command("~TL", 3, "3.8"), &LaneResult::ThreeThirty, true, "3.8   ", {"Line(392,6)"}},
      {Command("~TR", 4, "98"), &LaneResult::EighthSpeed, false, "98    ", {"Line(392,8)"}},
      {Command("~TL", 5, "6.7"), &LaneResult::EighthTime, true, "6.7   ", {"Line(392,7)"}},
      {Command("~TL", 6, "X"), &LaneResult::EventSixValue, true, "X     ", {}},  // no line
      {Command("~TR", 7, "8.9"), &LaneResult::Thousand, false, "8.9   ", {"Line(392,9)"}},
      {Command("~TL", 8, "131"), &LaneResult::QuarterSpeed, true, "131   ", {"Line(392,11)"}},
      {Command("~TR", 9, "10.8"), &LaneResult::QuarterTime, false, "10.8  ", {"Line(392,10)"}},
      {Command("~TR", 10, ".01"), &LaneResult::Margin, false, ".01   ", {"Line(392,12)"}},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.record.substr(0, 3) + " code " + std::to_string(c.record[3]));
    bench_.ClearCalls();
    Commanded(c.record);
    EXPECT_EQ((c.left ? Race().LeftLane : Race().RightLane).*c.field, c.stored);
    EXPECT_EQ(bench_.sender.calls, c.sent);
    EXPECT_EQ(bench_.editor.calls, Calls{"Update(1)"});
  }
}

TEST_F(TimingParserTest, AMarginStartsThePageHold) {
  Commanded(Command("~TL", 10, ".01"));
  EXPECT_EQ(bench_.g.HoldCountdown, 5000);
  bench_.g.HoldCountdown = 0;
  bench_.g.PageDelay = 0;
  Tagged("fr.02");
  EXPECT_EQ(bench_.g.HoldCountdown, 0);
  bench_.g.PageDelay = 20;
  Tagged("fl.03");
  EXPECT_EQ(bench_.g.HoldCountdown, 20000);
  Tagged("L00.5");  // other values leave the hold alone
  EXPECT_EQ(bench_.g.HoldCountdown, 20000);
}

TEST_F(TimingParserTest, WinLightsInBothStreams) {
  Race().RaceType = kEliminations;
  Commanded(Command("~TR", 'W', ""));
  EXPECT_TRUE(Race().RightLane.Win);
  EXPECT_EQ(bench_.sender.calls, (Calls{"Body(1)", "Line(392,12)"}));  // held times released

  bench_.ClearCalls();
  Tagged("w-LEFT");
  EXPECT_TRUE(Race().LeftLane.Win);
  EXPECT_FALSE(Race().RightLane.Win);
  Tagged("w-RIGHT");
  EXPECT_TRUE(Race().RightLane.Win);
  EXPECT_FALSE(Race().LeftLane.Win);

  bench_.ClearCalls();
  Tagged("w-NOBODY");  // no light, but the page is still rebuilt and line 12 queued
  EXPECT_TRUE(Race().RightLane.Win);
  EXPECT_EQ(bench_.sender.calls, (Calls{"Body(1)", "Line(392,12)"}));
  EXPECT_EQ(bench_.editor.calls, Calls{"Update(1)"});

  Race().RaceType = kClassEliminations;
  Tagged("w-LEFT");
  EXPECT_TRUE(Race().LeftLane.Win);
  EXPECT_TRUE(Race().RightLane.Win);
  EXPECT_EQ(bench_.Line(1, 12), FixedText("Margin  WIN    WIN", 20));
}

TEST_F(TimingParserTest, CodesWithoutAFieldRebuildButStoreAndQueueNothing) {
  for (int code : {0, 11, 86, 200}) {
    SCOPED_TRACE(code);
    bench_.ClearCalls();
    Commanded(Command("~TL", code, "1.5"));
    EXPECT_TRUE(bench_.sender.calls.empty());
    EXPECT_EQ(bench_.editor.calls, Calls{"Update(1)"});
  }
  EXPECT_EQ(Race().LeftLane.ReactionTime, "      ");
}

TEST_F(TimingParserTest, HeadsUpByItsArgument) {
  const std::pair<std::string, bool> cases[] = {
      {Command("~GH", '1'), true},  {Command("~GH", '0'), false}, {Command("~GH", '1'), true},
      {Command("~GH", 'Y'), false}, {Command("~GH", 1), false},   {"~GH\r", false}};
  for (const auto& [record, headsUp] : cases) {
    Commanded(record);
    EXPECT_EQ(Race().HeadsUp, headsUp);
  }
  EXPECT_TRUE(bench_.sender.calls.empty());
}

TEST_F(TimingParserTest, RoundAndTypeCommandsRebuildAndQueueTheTitle) {
  Race().CurrentClass = FixedText("SS/AA", 16);
  Commanded(Command("~GE", ' ', "3"));
  EXPECT_EQ(Race().RaceType, kEliminations);
  EXPECT_EQ(Race().RoundNumber, 3);
  EXPECT_EQ(bench_.g.Pages[1].Title, "SS/AA E3        ");
  EXPECT_EQ(bench_.sender.calls, Calls{"Title(1)"});
  Commanded(Command("~GT", ' ', "x"));
  EXPECT_EQ(Race().RaceType, kTimeTrials);
  EXPECT_EQ(Race().RoundNumber, 0);
  EXPECT_EQ(bench_.g.Pages[1].Title, "SS/AA T0        ");
}

TEST_F(TimingParserTest, LeftIdentityWaitsForTheRightLane) {
  Commanded(Command("~GL", 'I', "A"));
  Commanded(Command("~GL", '#', "1234"));
  Commanded(Command("~GL", 'L', "JOHN SMITH"));
  Commanded(Command("~GL", 'D', "1050"));
  Commanded(Command("~GL", 'X', "IGNORED"));
  Commanded("~GL\r");
  EXPECT_TRUE(bench_.sender.calls.empty());
  EXPECT_TRUE(bench_.editor.calls.empty());
  EXPECT_EQ(Race().LeftLane.Entry, "A");
  EXPECT_EQ(Race().LeftLane.CarNumber, "1234");
  EXPECT_EQ(Race().LeftLane.Driver, "JOHN SMITH");  // the whole name: no number rule here
  EXPECT_EQ(Race().LeftLane.Dial, "10.50 ");

  Commanded(Command("~GR", 'L', "JONES"));
  EXPECT_EQ(Race().RightLane.Driver, "JONES");
  const Calls identity = {"Names(392,0)", "Line(392,3)", "Body(1)"};
  EXPECT_EQ(bench_.sender.calls, identity);
  EXPECT_EQ(bench_.Line(1, 0), "L[A:1234]JOHN SMITH ");
  EXPECT_EQ(bench_.Line(1, 1), FixedText("R[:]JONES", 20));

  bench_.ClearCalls();
  Commanded(Command("~GR", 'Z', "ANYTHING"));  // any argument still queues
  EXPECT_EQ(bench_.sender.calls, identity);
}

TEST_F(TimingParserTest, BumpSpotInBothStreams) {
  Race().HeadsUp = true;
  Commanded(Command("~TB", ' ', "8.1234567"));
  EXPECT_EQ(Race().BumpTime, "8.1234");
  EXPECT_EQ(bench_.sender.calls, Calls{"Line(392,3)"});
  EXPECT_EQ(bench_.Line(1, 3), FixedText(" Bump  >> 8.1234 <<", 20));

  bench_.ClearCalls();
  Tagged("L+7.9");
  EXPECT_EQ(Race().BumpTime, "7.9   ");
  EXPECT_EQ(bench_.sender.calls, Calls{"Line(392,3)"});
  bench_.ClearCalls();
  Tagged("L+N/A");  // not numeric: ignored
  EXPECT_EQ(Race().BumpTime, "7.9   ");
  EXPECT_TRUE(bench_.sender.calls.empty());
}

TEST_F(TimingParserTest, ClassListCommands) {
  Commanded(Command("~AS", 0, "PRO STOCK"));
  Commanded(Command("~AS", 1, "SS/AA"));
  EXPECT_EQ(bench_.settings.ReadSetting(kClassListingKey, "0"), "PRO STOCK");
  EXPECT_EQ(bench_.settings.ReadSetting(kClassListingKey, "1"), "SS/AA");
  EXPECT_TRUE(bench_.editor.calls.empty());
  Commanded(Command("~AS", 'E'));
  EXPECT_EQ(bench_.editor.calls, Calls{"LoadClassListing"});
  Commanded(Command("~AS", 0, "ONLY"));  // a shorter list ends at its last index
  EXPECT_EQ(bench_.settings.ReadSetting(kClassListingKey, "1"), kNoKeyValue);
  Commanded("~AS\r");  // no index: ignored
  EXPECT_EQ(bench_.settings.ReadSetting(kClassListingKey, "0"), "ONLY");
  EXPECT_TRUE(bench_.prompter.Shown().empty());
}

TEST_F(TimingParserTest, ANewClassRecordsTheFinishedPairOnTheOldClassPage) {
  ArmLadder();  // the pair just raced belongs to the class of page 4
  bench_.g.Pages.SetTitle(4, bench_.g.Pages[1].Title);
  for (int i = 0; i <= 11; ++i) bench_.g.Pages.SetLink(4, i, 255);
  Race().LeftLane.Driver = "SMITH";
  Race().LeftLane.Win = true;
  Commanded(Command("~GC", ' ', "PRO STOCK"));  // category 0 leads to page 3
  EXPECT_EQ(bench_.sender.calls, Calls{"Whole(4)"});
  EXPECT_EQ(bench_.Line(4, 0).substr(0, 14), "         SMITH");
  EXPECT_EQ(bench_.g.Pages[1].Links[12], 3);
  EXPECT_EQ(Race().CurrentClass, FixedText("PRO STOCK", 16));
  EXPECT_EQ(Race().LeftLane.QuarterTime, "      ");  // lane results cleared
  EXPECT_FALSE(Race().LeftLane.Win);
  EXPECT_EQ(Race().LeftLane.Driver, "SMITH");
}

TEST_F(TimingParserTest, TaggedIdentityAndTheRightDriverAnnouncesThePair) {
  Tagged("b1A");
  Tagged("c11234");
  Tagged("n112 JOHN SMITH");
  Tagged("D51050");
  Tagged("b2B");
  Tagged("c2777");
  Tagged("D6999");
  EXPECT_TRUE(bench_.sender.calls.empty());
  Race().LeftLane.ReactionTime = "0.500 ";
  Tagged("n2JONES");
  EXPECT_EQ(Race().LeftLane.Driver, "JOHN SMITH");
  EXPECT_EQ(Race().RightLane.Driver, "JONES");
  EXPECT_EQ(Race().LeftLane.Dial, "10.50 ");
  EXPECT_EQ(Race().RightLane.Dial, "9.99  ");
  EXPECT_EQ(Race().LeftLane.ReactionTime, "      ");  // cleared for the new pair
  EXPECT_TRUE(Race().PendingLeftDial.empty());
  EXPECT_TRUE(Race().PendingRightDial.empty());
  EXPECT_EQ(bench_.sender.calls, (Calls{"Body(1)", "Names(392,0)", "Line(392,3)"}));
  EXPECT_EQ(bench_.Line(1, 0), "L[A:1234]JOHN SMITH ");
  EXPECT_EQ(bench_.Line(1, 1), FixedText("R[B:777]JONES", 20));
  EXPECT_EQ(bench_.Line(1, 3), FixedText(" Dial 10.50  9.99  ", 20));
}

TEST_F(TimingParserTest, DriverNamesDropOnlyUpToTheFirstSpace) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"n112 SMITH", "SMITH"}, {"n1SMITH", "SMITH"}, {"n1JOHN SMITH", "SMITH"},
      {"n1 SMITH", "SMITH"},   {"n1", ""},           {"n1 ", ""}};
  for (const auto& [record, driver] : cases) {
    SCOPED_TRACE(std::string(record));
    Tagged(record);
    EXPECT_EQ(Race().LeftLane.Driver, driver);
  }
  Tagged("n27 JONES");
  EXPECT_EQ(Race().RightLane.Driver, "JONES");
}

TEST_F(TimingParserTest, TextDialInsComeFromSRecords) {
  Tagged("S5D:10.5");
  Tagged("S6D:1075");
  Tagged("n2X");
  EXPECT_EQ(Race().LeftLane.Dial, "10.50 ");
  EXPECT_EQ(Race().RightLane.Dial, "10.75 ");
  // The form of the last record decides for both.
  Tagged("S5D:10.5");
  Tagged("D6999");
  Tagged("n2X");
  EXPECT_EQ(Race().LeftLane.Dial, "      ");  // "D:10.5" read as hundredths: not numeric
  EXPECT_EQ(Race().RightLane.Dial, "9.99  ");
  // Zero or no dial-in leaves the cleared field blank.
  Tagged("D50");
  Tagged("n2X");
  EXPECT_EQ(Race().LeftLane.Dial, "      ");
  EXPECT_EQ(Race().RightLane.Dial, "      ");
}

TEST_F(TimingParserTest, QualifyingListRecords) {
  bench_.g.Pages.SetLink(1, 12, 4);
  Tagged("IQ");
  EXPECT_EQ(Race().QualifyingCount, -1);
  Tagged("A SMITH,7.123,1");
  Tagged("B JONES,7.200,2");
  EXPECT_EQ(Race().QualifyingCount, 1);
  EXPECT_TRUE(bench_.sender.calls.empty());
  Tagged("]");
  EXPECT_EQ(bench_.sender.calls, Calls{"Whole(4)"});
  EXPECT_EQ(bench_.Line(4, 1), "B JONES       7.200 ");
}

TEST_F(TimingParserTest, ClassHeaderSelectsTheClassTypeAndRound) {
  ArmLadder();
  Tagged("SS/AA E3");
  EXPECT_EQ(Race().CurrentClass, FixedText("SS/AA", 16));
  EXPECT_EQ(Race().RaceType, kEliminations);
  EXPECT_EQ(Race().RoundNumber, 3);
  EXPECT_TRUE(Race().LadderAlreadyUpdated);
  EXPECT_EQ(bench_.g.Pages[1].Title, "SS/AA E3        ");
  EXPECT_EQ(bench_.sender.calls, (Calls{"Whole(4)", "Title(1)"}));
  EXPECT_EQ(bench_.editor.calls.front(), "Update(4)");

  Tagged("PRO STOCK T");
  EXPECT_EQ(Race().CurrentClass, FixedText("PRO STOCK", 16));
  EXPECT_EQ(Race().RaceType, kTimeTrials);
  EXPECT_EQ(Race().RoundNumber, 0);
  EXPECT_EQ(bench_.g.Pages[1].Title, "PRO STOCK T0    ");
}

TEST_F(TimingParserTest, AFiveCharacterHeaderOnlyRebuildsAndQueuesTheTitle) {
  Race().CurrentClass = FixedText("SS/AA", 16);
  Race().RaceType = kQualify;
  Race().RoundNumber = 2;
  ArmLadder();
  Tagged("AA E3");
  EXPECT_EQ(Race().CurrentClass, FixedText("SS/AA", 16));
  EXPECT_EQ(Race().RaceType, kQualify);
  EXPECT_EQ(Race().RoundNumber, 2);
  EXPECT_FALSE(Race().LadderAlreadyUpdated);
  EXPECT_EQ(bench_.sender.calls, Calls{"Title(1)"});
  EXPECT_EQ(bench_.editor.calls, Calls{"Update(1)"});
}

TEST_F(TimingParserTest, TheLadderIsUpdatedOncePerPairInTheTaggedStream) {
  ArmLadder();
  Tagged("SS/AA E1");  // runs the update
  Tagged("c1101");     // suppressed once
  Tagged("c1102");     // runs again
  Tagged("c1103");
  int sends = 0;
  for (const std::string& call : bench_.sender.calls) sends += call == "Whole(4)";
  EXPECT_EQ(sends, 3);
  EXPECT_FALSE(Race().LadderAlreadyUpdated);
  EXPECT_EQ(Race().LeftLane.CarNumber, "103");
}

TEST_F(TimingParserTest, IgnoredAndMalformedRecordsChangeNothing) {
  Race().LeftLane.ReactionTime = "0.500 ";
  const std::string pageBefore = bench_.Line(1, 4);
  const std::vector<std::string> tagged = {"D1x\r",   "D2\r",    "D3 1\r",   "D4,\r",   "q1SS E3\r",
                                           "q2a,b\r", "R+9.9\r", "m-LEFT\r", "HELLO\r", "X\r",
                                           "\r",      "",        "ZZ\r",     "AB Z9\r", "]]\r"};
  for (const std::string& record : tagged) parser_.ParseTaggedRecord(record);
  const std::vector<std::string> commands = {"",       "\r",    "~\r",   "~G\r",       "~gc SS\r",
                                             "~XX1\r", "~TL\r", "~TR\r", "GC SS/AA\r", "~~~~\r"};
  for (const std::string& record : commands) parser_.ParseCommandRecord(record);
  EXPECT_TRUE(bench_.sender.calls.empty());
  EXPECT_TRUE(bench_.editor.calls.empty());
  EXPECT_EQ(Race().LeftLane.ReactionTime, "0.500 ");
  EXPECT_EQ(Race().QualifyingCount, -1);
  EXPECT_EQ(bench_.Line(1, 4), pageBefore);
}

TEST_F(TimingParserTest, OnlyTheLastCharacterIsDropped) {
  parser_.ParseTaggedRecord("L00.5x");  // any terminator
  EXPECT_EQ(Race().LeftLane.ReactionTime, "0.500 ");
  parser_.ParseTaggedRecord("L00.25\r\r");  // the first carriage return stays: not numeric
  EXPECT_EQ(Race().LeftLane.ReactionTime, "0.25\r ");
}

}  // namespace
}  // namespace torvane
