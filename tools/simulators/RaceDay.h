// A race day as the timing system reports it, before it is put into either
// record format: classes, and events in time order (round starts, pairs, lane
// values as the cars pass the beams, win lights, bump spots, qualifying lists).
// Values are kept as the text the timing system sends.
#ifndef TORVANE_TOOLS_SIMULATORS_RACEDAY_H_
#define TORVANE_TOOLS_SIMULATORS_RACEDAY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace torvane::sim {

enum class RaceKind { kTimeTrials, kQualify, kEliminations, kClassEliminations };

// "T", "Q", "E", "C".
constexpr char RaceLetter(RaceKind kind) {
  switch (kind) {
    case RaceKind::kTimeTrials:
      return 'T';
    case RaceKind::kQualify:
      return 'Q';
    case RaceKind::kEliminations:
      return 'E';
    case RaceKind::kClassEliminations:
      return 'C';
  }
  return 'T';
}

enum class Lane { kLeft, kRight };

// Event codes of the lane values.
namespace code {
inline constexpr int kReaction = 1;
inline constexpr int kSixty = 2;
inline constexpr int kThreeThirty = 3;
inline constexpr int kEighthSpeed = 4;
inline constexpr int kEighthTime = 5;
inline constexpr int kSix = 6;  // sent in the command stream only; the program stores it unshown
inline constexpr int kThousand = 7;
inline constexpr int kQuarterSpeed = 8;
inline constexpr int kQuarterTime = 9;
inline constexpr int kMargin = 10;
}  // namespace code

struct RaceClass {
  std::string name;       // at most 16 characters, upper case, no comma
  std::string entryCode;  // two letters, shown before the car number
  bool headsUp = false;   // no dial-ins; the page shows the bump spot
  bool eighthMile = false;
  bool classEliminations = false;  // eliminations run as class eliminations
  bool dialsAsText = false;        // the tagged stream sends dial-ins in text form
  int quickestMs = 0;              // range of the cars' elapsed times (660 ft for eighth mile)
  int slowestMs = 0;
};

// One lane's competitor. An empty lane (a single run) has empty texts.
struct Racer {
  std::string entry;
  std::string carNumber;
  std::string driver;
  std::optional<int> dialHundredths;  // handicap classes only
};

struct RoundStart {
  int classIndex = 0;
  std::string className;
  RaceKind kind = RaceKind::kTimeTrials;
  int round = 0;  // 0..9
  bool headsUp = false;
};

struct PairStart {
  int classIndex = 0;
  std::string className;
  RaceKind kind = RaceKind::kTimeTrials;
  int round = 0;
  bool headsUp = false;
  bool dialsAsText = false;
  Racer left;
  Racer right;
};

struct LaneValue {
  Lane lane = Lane::kLeft;
  int code = 0;
  std::string text;
};

struct WinLight {
  Lane lane = Lane::kLeft;
};

struct BumpSpot {
  std::string text;
};

struct QualifierLine {
  int position = 0;  // 1..16
  std::string driver;
  std::string elapsedTime;
  std::string speed;
};

struct QualifyingList {
  std::vector<QualifierLine> lines;
};

// Tagged-stream records the program reads past ("D1".."D4", "q1", "q2", "R+",
// "m-"); sent so that a parser is seen to ignore them.
struct IgnoredRecord {
  std::string tag;
  std::string text;
};

using RaceEventBody = std::variant<RoundStart, PairStart, LaneValue, WinLight, BumpSpot,
                                   QualifyingList, IgnoredRecord>;

struct RaceEvent {
  int64_t atMs = 0;  // since the start of the day
  RaceEventBody body;
};

struct RaceDay {
  std::vector<RaceClass> classes;
  std::vector<RaceEvent> events;  // atMs never decreases
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_RACEDAY_H_
