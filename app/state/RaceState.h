// What the timing data has said about the race being run. Fixed-width fields
// always hold exactly their width.
#ifndef TORVANE_APP_STATE_RACESTATE_H_
#define TORVANE_APP_STATE_RACESTATE_H_

#include <array>
#include <cstdint>
#include <string>

namespace torvane {

inline constexpr int kLaneValueWidth = 6;

enum RaceTypeCode : int16_t {
  kTimeTrials = 0,
  kQualify = 1,
  kEliminations = 2,
  kClassEliminations = 3,
};

struct LaneResult {
  std::string Entry;
  std::string CarNumber;
  std::string Driver;
  std::string Dial = std::string(kLaneValueWidth, ' ');
  std::string ReactionTime = std::string(kLaneValueWidth, ' ');
  std::string Sixty = std::string(kLaneValueWidth, ' ');
  std::string ThreeThirty = std::string(kLaneValueWidth, ' ');
  std::string EighthTime = std::string(kLaneValueWidth, ' ');
  std::string EighthSpeed = std::string(kLaneValueWidth, ' ');
  std::string Thousand = std::string(kLaneValueWidth, ' ');
  std::string EventSixValue = std::string(kLaneValueWidth, ' ');
  std::string QuarterTime = std::string(kLaneValueWidth, ' ');
  std::string QuarterSpeed = std::string(kLaneValueWidth, ' ');
  std::string Margin = std::string(kLaneValueWidth, ' ');
  std::string DialDifference = std::string(kLaneValueWidth, ' ');
  bool Win = false;
};

struct Qualifier {
  std::string Position = std::string(2, ' ');
  std::string Name = std::string(12, ' ');
  std::string Time = std::string(kLaneValueWidth, ' ');
};

inline constexpr int kQualifyingListSize = 16;

struct RaceState {
  std::string CurrentClass = std::string(16, ' ');
  int16_t ActiveCategory = 0;
  int16_t RaceType = kTimeTrials;
  int16_t RoundNumber = 0;
  bool HeadsUp = false;
  std::string BumpTime = std::string(kLaneValueWidth, ' ');
  LaneResult LeftLane;
  LaneResult RightLane;
  std::array<Qualifier, kQualifyingListSize> QualifyingList{};
  int16_t QualifyingCount = -1;
  std::string PendingLeftDial;
  std::string PendingRightDial;
  bool PendingDialIsText = false;
  bool LadderAlreadyUpdated = false;
};

}  // namespace torvane

#endif  // TORVANE_APP_STATE_RACESTATE_H_
