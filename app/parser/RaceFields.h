// The field setters of the race state: what one timing value, dial-in, round
// or qualifier line does to RaceState. None of them touches a page.
#ifndef TORVANE_APP_PARSER_RACEFIELDS_H_
#define TORVANE_APP_PARSER_RACEFIELDS_H_

#include <string>
#include <string_view>

#include "PageStore.h"  // FixedText
#include "RaceState.h"

namespace torvane {

enum class Lane { kLeft, kRight };

LaneResult& LaneOf(RaceState& race, Lane lane);
Lane OtherLane(Lane lane);

// Event codes of lane timing values.
inline constexpr int kReactionCode = 1;
inline constexpr int kSixtyCode = 2;
inline constexpr int kThreeThirtyCode = 3;
inline constexpr int kEighthSpeedCode = 4;
inline constexpr int kEighthTimeCode = 5;
inline constexpr int kEventSixCode = 6;
inline constexpr int kThousandCode = 7;
inline constexpr int kQuarterSpeedCode = 8;
inline constexpr int kQuarterTimeCode = 9;
inline constexpr int kMarginCode = 10;
inline constexpr int kWinCode = 87;  // 'W'

// Stores a timing value of the lane by event code. Codes 1 and 2 are formatted
// "#0.000#"; 3..8 and 10 are kept as received; 9 also works out the lane's
// DialDifference (single precision, rounded to 4 places) when both the elapsed
// time and the dial-in are numeric; 87 lights the lane's win light and, except
// in Class Eliminations, puts the other lane's out. Other codes store nothing.
// Returns false when nothing was stored.
bool StoreLaneValue(RaceState& race, Lane lane, std::string_view text, int code);

// Dial = text hundredths x 0.01 (single precision) formatted "#0.00", when the
// text is numeric and the result is above 0; otherwise Dial stays as it is.
void SetDialHundredths(LaneResult& lane, std::string_view text);
// Drops two prefix characters; a remainder with "." is a dial-in as it stands
// ("#0.00"), one without is hundredths as above. Anything else changes nothing.
void SetDialText(LaneResult& lane, std::string_view text);

// RoundNumber = the round text's value (0 when not numeric or beyond the 16-bit
// range); RaceType from the letter T, Q, E or C, any other letter keeps it.
void SetRoundAndType(RaceState& race, std::string_view roundText, char typeLetter);

// Both win lights off; Dial, the ten timing values and DialDifference of both
// lanes blank. Entry, CarNumber and Driver stay.
void ClearLaneResults(RaceState& race);

// One qualifying line "<position>... <name>,<time>,...": QualifyingCount moves
// on by one (held at 32767); past index 15 the line is dropped. Position is the
// first character; Name and Time are filled only as far as the line has the
// space and commas they need, so a short line leaves the rest as it was.
void AddQualifier(RaceState& race, std::string_view record);

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_RACEFIELDS_H_
