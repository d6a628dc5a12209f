// The tagged stream: text lines that start with a two-character tag, plus the
// untagged class header ("<class> <race letter><round digit>") and qualifying
// lines ("<position letter> <driver>,<time>,<speed>"), each ending in a carriage
// return (and a line feed, if chosen).
//
//   class header                    a round of a class begins
//   "c1" car  "b1" entry  "n1" car+" "+driver  "D5" hundredths | "S5" "DI"+dial
//   "c2" car  "b2" entry  "D6" | "S6"          "n2" car+" "+driver (ends a pair)
//   "L0".."L7", "fl" / "R0".."R7", "fr"       lane values, codes 1,2,3,5,4,7,9,8,10
//   "w-LEFT" | "w-RIGHT"                      win light
//   "L+" time                                 bump spot
//   "IQ", qualifying lines, "]"               qualifying list
//   "D1".."D4", "q1", "q2", "R+", "m-"        records the program ignores
//
// The framing starts a record only at a character from "A" to "z", so a
// qualifying line begins with a letter for its position: "A" for 1, "B" for 2.
// Event code 6 has no tag and is not sent.
#ifndef TORVANE_TOOLS_SIMULATORS_TAGGEDSTREAMWRITER_H_
#define TORVANE_TOOLS_SIMULATORS_TAGGEDSTREAMWRITER_H_

#include <string>
#include <string_view>
#include <vector>

#include "RaceDay.h"

namespace torvane::sim {

class TaggedStreamWriter {
 public:
  explicit TaggedStreamWriter(bool lineFeed = false) : lineFeed_(lineFeed) {}

  // The records of one event, each with its line end.
  std::vector<std::string> Records(const RaceEvent& event) const;
  // text + line end. Throws std::invalid_argument when text does not start with
  // a character from "A" to "z", or holds a double quote (the framing drops it)
  // or a character outside 32..126.
  std::string Record(std::string_view text) const;

  // The tag of a lane value, or "" for a code without one.
  static std::string LaneTag(Lane lane, int code);

 private:
  bool lineFeed_;
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_TAGGEDSTREAMWRITER_H_
