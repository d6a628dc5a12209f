// The two timing record parsers. Each record changes the race state, lays out
// the page it shows on again and has the changed rows stored in the image and
// queued for priority sending at once.
//
// Command stream: "~" + a three-character command + one binary argument
// character + text, e.g. "~TL" + char(9) + "10.62". Tagged stream: a two-
// character tag + text (lane 1/L for left, 2/R for right), plus untagged class
// header lines ("SS/AA E3") and qualifying lines (with commas).
//
// Both take one framed record with its terminating carriage return still on
// the end and drop exactly one trailing character. Malformed or unknown
// records are ignored; nothing is thrown.
#ifndef TORVANE_APP_PARSER_TIMINGPARSER_H_
#define TORVANE_APP_PARSER_TIMINGPARSER_H_

#include <optional>
#include <string_view>

#include "RaceFields.h"
#include "TimingContext.h"

namespace torvane {

// The page 1 line that shows a lane value of the event code; nullopt for codes
// that show nowhere (6 and unknown codes).
std::optional<int16_t> ResultLineOfCode(int code);

class TimingParser {
 public:
  // context's members must outlive the parser.
  explicit TimingParser(const TimingContext& context) : c_(context) {}

  void ParseCommandRecord(std::string_view record);
  void ParseTaggedRecord(std::string_view record);

 private:
  void SetIdentity(Lane lane, char field, std::string_view text);
  void LaneValue(Lane lane, std::string_view text, int code);
  void QueueLaneValue(int code);
  void ParseUntagged(std::string_view record);
  void AnnounceRightDriver(std::string_view text);
  int16_t ResultAddress() const;

  TimingContext c_;
};

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_TIMINGPARSER_H_
