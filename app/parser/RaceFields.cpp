#include "RaceFields.h"

#include <limits>
#include <optional>

#include "Formats.h"

namespace torvane {
namespace {

constexpr int kPositionWidth = 2;
constexpr int kQualifierNameWidth = 12;

std::string LaneField(std::string_view text) { return FixedText(text, kLaneValueWidth); }

// Reaction and 60 ft times: "#0.000#", padded to the field.
std::string TimeField(std::string_view text) {
  return LaneField(PadRight(FormatText(text, kTimePattern), kLaneValueWidth));
}

std::string Blank() { return std::string(kLaneValueWidth, ' '); }

void UpdateDialDifference(LaneResult& lane) {
  const std::optional<float> elapsed = ToSingle(lane.QuarterTime);
  const std::optional<float> dial = ToSingle(lane.Dial);
  if (!elapsed || !dial) return;
  const float difference = *elapsed - *dial;
  const std::string text = FormatSingle(RoundSingle(difference, 4), kTimePattern);
  if (text.empty()) return;  // not finite: nothing sensible to show
  lane.DialDifference = LaneField(PadRight(text, kLaneValueWidth));
}

}  // namespace

LaneResult& LaneOf(RaceState& race, Lane lane) {
  return lane == Lane::kLeft ? race.LeftLane : race.RightLane;
}

Lane OtherLane(Lane lane) { return lane == Lane::kLeft ? Lane::kRight : Lane::kLeft; }

bool StoreLaneValue(RaceState& race, Lane lane, std::string_view text, int code) {
  LaneResult& result = LaneOf(race, lane);
  switch (code) {
    case kReactionCode:
      result.ReactionTime = TimeField(text);
      return true;
    case kSixtyCode:
      result.Sixty = TimeField(text);
      return true;
    case kThreeThirtyCode:
      result.ThreeThirty = LaneField(text);
      return true;
    case kEighthSpeedCode:
      result.EighthSpeed = LaneField(text);
      return true;
    case kEighthTimeCode:
      result.EighthTime = LaneField(text);
      return true;
    case kEventSixCode:
      result.EventSixValue = LaneField(text);
      return true;
    case kThousandCode:
      result.Thousand = LaneField(text);
      return true;
    case kQuarterSpeedCode:
      result.QuarterSpeed = LaneField(text);
      return true;
    case kQuarterTimeCode:
      result.QuarterTime = LaneField(text);
      UpdateDialDifference(result);
      return true;
    case kMarginCode:
      result.Margin = LaneField(text);
      return true;
    case kWinCode:
      result.Win = true;
      // In Class Eliminations both lanes can win against the class index.
      if (race.RaceType != kClassEliminations) LaneOf(race, OtherLane(lane)).Win = false;
      return true;
    default:
      return false;
  }
}

void SetDialHundredths(LaneResult& lane, std::string_view text) {
  const std::optional<float> hundredths = ToSingle(text);
  if (!hundredths) return;
  const float dial = *hundredths * 0.01f;
  if (!(dial > 0)) return;
  lane.Dial = LaneField(PadRight(FormatSingle(dial, kDialPattern), kLaneValueWidth));
}

void SetDialText(LaneResult& lane, std::string_view text) {
  if (text.size() < 2) return;
  const std::string_view number = text.substr(2);
  if (!IsNumeric(number)) return;
  if (number.find('.') == std::string_view::npos) {
    SetDialHundredths(lane, number);
    return;
  }
  lane.Dial = LaneField(PadRight(FormatText(number, kDialPattern), kLaneValueWidth));
}

void SetRoundAndType(RaceState& race, std::string_view roundText, char typeLetter) {
  race.RoundNumber = ToInt16(roundText).value_or(0);
  switch (typeLetter) {
    case 'T':
      race.RaceType = kTimeTrials;
      break;
    case 'Q':
      race.RaceType = kQualify;
      break;
    case 'E':
      race.RaceType = kEliminations;
      break;
    case 'C':
      race.RaceType = kClassEliminations;
      break;
    default:
      break;
  }
}

void ClearLaneResults(RaceState& race) {
  for (LaneResult* lane : {&race.LeftLane, &race.RightLane}) {
    lane->Win = false;
    for (std::string* field :
         {&lane->Dial, &lane->ReactionTime, &lane->Sixty, &lane->ThreeThirty, &lane->EighthTime,
          &lane->EighthSpeed, &lane->Thousand, &lane->EventSixValue, &lane->QuarterTime,
          &lane->QuarterSpeed, &lane->Margin, &lane->DialDifference}) {
      *field = Blank();
    }
  }
}

void AddQualifier(RaceState& race, std::string_view record) {
  if (race.QualifyingCount < std::numeric_limits<int16_t>::max()) ++race.QualifyingCount;
  if (race.QualifyingCount < 0 || race.QualifyingCount >= kQualifyingListSize) return;
  Qualifier& qualifier = race.QualifyingList[static_cast<size_t>(race.QualifyingCount)];

  qualifier.Position = FixedText(record.substr(0, 1), kPositionWidth);
  const size_t space = record.find(' ');
  if (space == std::string_view::npos) return;
  std::string_view rest = record.substr(space + 1);

  size_t comma = rest.find(',');
  if (comma == std::string_view::npos) return;
  qualifier.Name = FixedText(rest.substr(0, comma), kQualifierNameWidth);
  rest = rest.substr(comma + 1);

  comma = rest.find(',');
  if (comma == std::string_view::npos) return;
  qualifier.Time = FixedText(rest.substr(0, comma), kLaneValueWidth);
}

}  // namespace torvane
