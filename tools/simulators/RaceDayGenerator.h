// Makes up a race day from a seed: time trials, qualifying sessions with
// qualifying lists and bump spots, and eliminations ladders, for heads-up and
// handicap (dial-in) classes, with realistic reaction times, incremental times,
// speeds, win lights and margins. The same configuration always gives the same
// day, on any machine: the generator uses its own integer arithmetic and a
// fixed engine, not the library's distributions.
#ifndef TORVANE_TOOLS_SIMULATORS_RACEDAYGENERATOR_H_
#define TORVANE_TOOLS_SIMULATORS_RACEDAYGENERATOR_H_

#include <cstdint>
#include <vector>

#include "RaceDay.h"

namespace torvane::sim {

// The class list is sent with each class's index as a one-byte argument; index
// 13 would be a carriage return and end the record, so a day has at most 12.
inline constexpr int kMaxClasses = 12;

// Out-of-range values are brought into range: classes 1..12, entries 2..32
// (max at least min), rounds and sessions 0..9.
struct RaceDayConfig {
  uint64_t seed = 1;
  int classCount = 8;
  int minEntries = 8;
  int maxEntries = 18;
  int timeTrialRounds = 1;
  int qualifyingSessions = 2;
  bool ignoredRecords = true;  // also send the tagged records the program ignores
};

// All classes the generator knows, in the order a day uses them.
const std::vector<RaceClass>& ClassCatalogue();

RaceDay GenerateRaceDay(const RaceDayConfig& config);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_RACEDAYGENERATOR_H_
