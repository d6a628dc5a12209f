#include "FeedPlayer.h"

#include "CommandStreamWriter.h"
#include "TaggedStreamWriter.h"

namespace torvane::sim {

std::vector<FeedChunk> FeedFromRaceDay(const RaceDay& day, bool command, bool tagged,
                                       bool lineFeed) {
  const TaggedStreamWriter taggedWriter(lineFeed);
  std::vector<FeedChunk> out;
  for (const RaceEvent& event : day.events) {
    if (command) {
      for (std::string& r : CommandStreamWriter::Records(event)) {
        out.push_back({event.atMs, FeedStream::kCommand, std::move(r)});
      }
    }
    if (tagged) {
      for (std::string& r : taggedWriter.Records(event)) {
        out.push_back({event.atMs, FeedStream::kTagged, std::move(r)});
      }
    }
  }
  return out;
}

FeedPlayer::FeedPlayer(std::vector<FeedChunk> chunks, std::optional<double> speed,
                       std::optional<int64_t> limit)
    : chunks_(std::move(chunks)), speed_(speed), limit_(limit) {
  if (speed_ && !(*speed_ > 0)) speed_.reset();
}

void FeedPlayer::Start(Instant now) {
  started_ = true;
  start_ = now;
  SkipOverLimit();
}

int64_t FeedPlayer::played(FeedStream stream) const {
  return stream == FeedStream::kCommand ? playedCommand_ : playedTagged_;
}

void FeedPlayer::SkipOverLimit() {
  while (next_ < chunks_.size() && limit_ && played(chunks_[next_].stream) >= *limit_) ++next_;
}

bool FeedPlayer::Done() const { return next_ >= chunks_.size(); }

Instant FeedPlayer::DueOf(const FeedChunk& chunk) const {
  if (!speed_) return start_;
  const double ms = static_cast<double>(chunk.atMs - chunks_.front().atMs) / *speed_;
  return start_ +
         std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(ms));
}

std::optional<Instant> FeedPlayer::NextDue() const {
  if (!started_ || Done()) return std::nullopt;
  return DueOf(chunks_[next_]);
}

std::vector<FeedChunk> FeedPlayer::TakeDue(Instant now, size_t maxChunks) {
  std::vector<FeedChunk> out;
  if (!started_) return out;
  while (out.size() < maxChunks && !Done() && DueOf(chunks_[next_]) <= now) {
    FeedChunk& chunk = chunks_[next_++];
    ++(chunk.stream == FeedStream::kCommand ? playedCommand_ : playedTagged_);
    out.push_back(std::move(chunk));
    SkipOverLimit();
  }
  return out;
}

}  // namespace torvane::sim
