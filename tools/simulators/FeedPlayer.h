// Plays a feed at a chosen pace: real time, N times faster, or as fast as
// possible. The feed is a list of chunks with their times (a generated race day
// put into records, or a recording); the player says which are due when.
#ifndef TORVANE_TOOLS_SIMULATORS_FEEDPLAYER_H_
#define TORVANE_TOOLS_SIMULATORS_FEEDPLAYER_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "FeedRecording.h"
#include "RaceDay.h"
#include "SimTime.h"

namespace torvane::sim {

// The records of a race day as feed chunks, one record a chunk, for the chosen
// streams; the tagged stream with CR LF line ends when lineFeed is set.
std::vector<FeedChunk> FeedFromRaceDay(const RaceDay& day, bool command, bool tagged,
                                       bool lineFeed = false);

class FeedPlayer {
 public:
  // speed: 1 real time, 2 twice as fast ...; nullopt as fast as possible.
  // limit: at most this many chunks of each stream are played.
  FeedPlayer(std::vector<FeedChunk> chunks, std::optional<double> speed,
             std::optional<int64_t> limit = std::nullopt);

  // The feed's first chunk is due at now.
  void Start(Instant now);
  bool started() const { return started_; }
  bool Done() const;
  // When the next chunk is due; nullopt when done or not started.
  std::optional<Instant> NextDue() const;
  // The chunks due at or before now, at most maxChunks of them, in order.
  std::vector<FeedChunk> TakeDue(Instant now, size_t maxChunks);
  int64_t played(FeedStream stream) const;

 private:
  void SkipOverLimit();
  Instant DueOf(const FeedChunk& chunk) const;

  std::vector<FeedChunk> chunks_;
  std::optional<double> speed_;
  std::optional<int64_t> limit_;
  size_t next_ = 0;
  bool started_ = false;
  Instant start_{};
  int64_t playedCommand_ = 0;
  int64_t playedTagged_ = 0;
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_FEEDPLAYER_H_
