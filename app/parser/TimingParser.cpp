#include "TimingParser.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "ClassPages.h"
#include "ClassSelection.h"
#include "Formats.h"
#include "Globals.h"
#include "ResultPage.h"

namespace torvane {
namespace {

constexpr int16_t kDialLine = 3;
constexpr int16_t kNamesLine = 0;

int Code(char c) { return static_cast<unsigned char>(c); }

// "n1"/"n2" may carry a start number before the name: keep what follows the
// first space.
std::string_view DriverName(std::string_view text) {
  const size_t space = text.find(' ');
  return space == std::string_view::npos ? text : text.substr(space + 1);
}

struct TaggedValue {
  std::string_view tag;
  int code;
};

// Left tags; the right lane uses the same digits with "R" and "fr" for "fl".
constexpr TaggedValue kLeftValues[] = {{"L0", 1}, {"L1", 2}, {"L2", 3}, {"L3", 5}, {"L4", 4},
                                       {"L5", 7}, {"L7", 8}, {"L6", 9}, {"fl", 10}};
constexpr TaggedValue kRightValues[] = {{"R0", 1}, {"R1", 2}, {"R2", 3}, {"R3", 5}, {"R4", 4},
                                        {"R5", 7}, {"R7", 8}, {"R6", 9}, {"fr", 10}};

std::optional<int> CodeOfTag(const TaggedValue (&table)[9], std::string_view tag) {
  for (const TaggedValue& value : table) {
    if (value.tag == tag) return value.code;
  }
  return std::nullopt;
}

bool IsIgnoredTag(std::string_view tag) {
  static constexpr std::string_view kIgnored[] = {"D1", "D2", "D3", "D4", "q1", "q2", "R+", "m-"};
  return std::find(std::begin(kIgnored), std::end(kIgnored), tag) != std::end(kIgnored);
}

}  // namespace

std::optional<int16_t> ResultLineOfCode(int code) {
  switch (code) {
    case kReactionCode:
      return 4;
    case kSixtyCode:
      return 5;
    case kThreeThirtyCode:
      return 6;
    case kEighthTimeCode:
      return 7;
    case kEighthSpeedCode:
      return 8;
    case kThousandCode:
      return 9;
    case kQuarterTimeCode:
      return 10;
    case kQuarterSpeedCode:
      return 11;
    case kMarginCode:
    case kWinCode:
      return 12;
    default:
      return std::nullopt;
  }
}

int16_t TimingParser::ResultAddress() const { return c_.globals.Pages[kResultPageNumber].Address; }

void TimingParser::QueueLaneValue(int code) {
  const std::optional<int16_t> line = ResultLineOfCode(code);
  if (!line) return;
  c_.sender.SendResultLine(ResultAddress(), *line);
  if (code == kMarginCode) {
    // The result page is held on the air for PageDelay seconds.
    const int64_t hold = int64_t{c_.globals.PageDelay} * 1000;
    c_.globals.HoldCountdown =
        static_cast<int32_t>(std::clamp<int64_t>(hold, 0, std::numeric_limits<int32_t>::max()));
  }
}

void TimingParser::LaneValue(Lane lane, std::string_view text, int code) {
  StoreLaneValue(c_.globals.Race, lane, text, code);
  BuildResultPage(c_);
  QueueLaneValue(code);
}

void TimingParser::SetIdentity(Lane lane, char field, std::string_view text) {
  LaneResult& result = LaneOf(c_.globals.Race, lane);
  switch (field) {
    case 'L':
      result.Driver = text;
      break;
    case '#':
      result.CarNumber = text;
      break;
    case 'D':
      SetDialHundredths(result, text);
      break;
    case 'I':
      result.Entry = text;
      break;
    default:
      break;
  }
}

void TimingParser::ParseCommandRecord(std::string_view record) {
  if (record.empty()) return;
  record.remove_suffix(1);
  const std::string_view command = record.substr(0, 3);
  const std::optional<char> argument =
      record.size() >= 4 ? std::optional<char>(record[3]) : std::nullopt;
  const std::string_view rest = record.size() >= 5 ? record.substr(4) : std::string_view();
  RaceState& race = c_.globals.Race;

  if (command == "~AS") {
    if (!argument) return;
    if (*argument == 'E') {
      c_.editor.LoadClassListing();
    } else {
      StoreClassName(c_.settings, c_.prompter, rest, Code(*argument));
    }
  } else if (command == "~GC") {
    // The pair that has just finished belongs to the class raced so far: record
    // it on that class's page before the new class takes over line 12's link.
    AddLadderPair(c_);
    SelectClass(c_, rest);
    ClearLaneResults(race);
  } else if (command == "~GH") {
    race.HeadsUp = argument == '1';
  } else if (command == "~GE" || command == "~GT") {
    SetRoundAndType(race, rest, command[2]);
    BuildResultPage(c_);
    c_.sender.SendPageTitle(kResultPageNumber);
  } else if (command == "~GL") {
    if (argument) SetIdentity(Lane::kLeft, *argument, rest);
  } else if (command == "~GR") {
    if (argument) SetIdentity(Lane::kRight, *argument, rest);
    BuildResultPage(c_);
    c_.sender.SendResultNames(ResultAddress(), kNamesLine);
    c_.sender.SendResultLine(ResultAddress(), kDialLine);
    c_.sender.SendResultBody(kResultPageNumber);
  } else if (command == "~TB") {
    race.BumpTime = FixedText(rest, kLaneValueWidth);
    BuildResultPage(c_);
    c_.sender.SendResultLine(ResultAddress(), kDialLine);
  } else if (command == "~TL" || command == "~TR") {
    if (!argument) return;
    LaneValue(command == "~TL" ? Lane::kLeft : Lane::kRight, rest, Code(*argument));
  }
}

void TimingParser::AnnounceRightDriver(std::string_view text) {
  RaceState& race = c_.globals.Race;
  race.RightLane.Driver = DriverName(text);
  ClearLaneResults(race);
  if (race.PendingDialIsText) {
    SetDialText(race.LeftLane, race.PendingLeftDial);
    SetDialText(race.RightLane, race.PendingRightDial);
  } else {
    SetDialHundredths(race.LeftLane, race.PendingLeftDial);
    SetDialHundredths(race.RightLane, race.PendingRightDial);
  }
  race.PendingLeftDial.clear();
  race.PendingRightDial.clear();
  BuildResultPage(c_);
  c_.sender.SendResultBody(kResultPageNumber);
  c_.sender.SendResultNames(ResultAddress(), kNamesLine);
  c_.sender.SendResultLine(ResultAddress(), kDialLine);
}

void TimingParser::ParseTaggedRecord(std::string_view record) {
  if (record.empty()) return;
  record.remove_suffix(1);
  const std::string_view tag = record.substr(0, 2);
  const std::string_view rest = record.size() > 2 ? record.substr(2) : std::string_view();
  RaceState& race = c_.globals.Race;

  if (IsIgnoredTag(tag)) return;
  if (tag == "L+") {
    if (!IsNumeric(rest)) return;
    race.BumpTime = FixedText(rest, kLaneValueWidth);
    BuildResultPage(c_);
    c_.sender.SendResultLine(ResultAddress(), kDialLine);
  } else if (tag == "IQ") {
    race.QualifyingCount = -1;
  } else if (record == "]") {
    BuildQualifyingPage(c_);
  } else if (tag == "c1") {
    // The class header already recorded the finished pair.
    if (!race.LadderAlreadyUpdated) AddLadderPair(c_);
    race.LadderAlreadyUpdated = false;
    race.LeftLane.CarNumber = rest;
  } else if (tag == "b1") {
    race.LeftLane.Entry = rest;
  } else if (tag == "n1") {
    race.LeftLane.Driver = DriverName(rest);
  } else if (tag == "S5" || tag == "D5") {
    race.PendingLeftDial = rest;
    race.PendingDialIsText = tag[0] == 'S';
  } else if (const std::optional<int> left = CodeOfTag(kLeftValues, tag)) {
    LaneValue(Lane::kLeft, rest, *left);
  } else if (tag == "c2") {
    race.RightLane.CarNumber = rest;
  } else if (tag == "b2") {
    race.RightLane.Entry = rest;
  } else if (tag == "n2") {
    AnnounceRightDriver(rest);
  } else if (tag == "S6" || tag == "D6") {
    race.PendingRightDial = rest;
    race.PendingDialIsText = tag[0] == 'S';
  } else if (const std::optional<int> right = CodeOfTag(kRightValues, tag)) {
    LaneValue(Lane::kRight, rest, *right);
  } else if (tag == "w-") {
    if (rest == "LEFT") {
      StoreLaneValue(race, Lane::kLeft, "w", kWinCode);
    } else if (rest == "RIGHT") {
      StoreLaneValue(race, Lane::kRight, "w", kWinCode);
    }
    BuildResultPage(c_);
    c_.sender.SendResultLine(ResultAddress(), kMarginLine);
  } else {
    ParseUntagged(record);
  }
}

void TimingParser::ParseUntagged(std::string_view record) {
  if (record.find(',') != std::string_view::npos) {
    AddQualifier(c_.globals.Race, record);
    return;
  }
  if (record.size() < 2) return;
  char type = record[record.size() - 2];
  if (type == ' ') type = record.back();
  if (type != 'T' && type != 'E' && type != 'Q' && type != 'C') return;

  // A class header: "<class> <type><round>" or "<class> <type>".
  if (record.size() > 5) {
    RaceState& race = c_.globals.Race;
    AddLadderPair(c_);
    race.LadderAlreadyUpdated = true;
    SetRoundAndType(race, record.substr(record.size() - 1), type);
    SelectClass(c_, record.substr(0, record.size() - 2));
  }
  BuildResultPage(c_);
  c_.sender.SendPageTitle(kResultPageNumber);
}

}  // namespace torvane
