// The command stream: records of "~", a two-letter command, a one-character
// argument (binary where it carries a number), text, and a carriage return.
//
//   "~GC" ' ' class   a new pair of this class (the argument is unused: a space)
//   "~GH" '1'|'0'     heads-up or not
//   "~GE"|"~GT" ' ' round   eliminations (class eliminations too) or time trials
//                     (qualifying too): the stream has no letter of its own for those
//   "~GL"|"~GR" 'I' entry, '#' car number, 'L' driver, 'D' dial-in in hundredths
//   "~TL"|"~TR" code value  lane value; the argument is the event code as a byte
//   "~TL"|"~TR" 'W'   win light
//   "~TB" ' ' time    bump spot
//   "~AS" index name  one class of the class list (index as a byte); "~ASE" ends it
//
// Round starts, qualifying lists and the tagged-only records have no command form.
#ifndef TORVANE_TOOLS_SIMULATORS_COMMANDSTREAMWRITER_H_
#define TORVANE_TOOLS_SIMULATORS_COMMANDSTREAMWRITER_H_

#include <string>
#include <string_view>
#include <vector>

#include "RaceDay.h"

namespace torvane::sim {

// Index 13 would be a carriage return, which ends a record.
inline constexpr int kMaxClassListEntries = 13;

class CommandStreamWriter {
 public:
  // The records of one event, each ending in a carriage return; none for events
  // the stream does not carry.
  static std::vector<std::string> Records(const RaceEvent& event);
  // The answer to a class list request: "~AS" records for the first 13 names,
  // indices from 0, then "~ASE".
  static std::vector<std::string> ClassList(const std::vector<std::string>& names);
  // "~" + command + argument + text + carriage return. Throws
  // std::invalid_argument when the argument or the text holds a carriage
  // return, which would end the record early.
  static std::string Record(std::string_view command, char argument, std::string_view text);
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_COMMANDSTREAMWRITER_H_
