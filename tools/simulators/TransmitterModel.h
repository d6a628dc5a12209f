// A Torvane transmitter as the program sees it over its serial line: reads
// block packets, checks every byte, answers ACK, ESC or NAK, and keeps its copy
// of the memory-map image. Failure switches make it behave like a device on a
// bad day. Time is passed in by the caller, so tests drive it without waiting.
#ifndef TORVANE_TOOLS_SIMULATORS_TRANSMITTERMODEL_H_
#define TORVANE_TOOLS_SIMULATORS_TRANSMITTERMODEL_H_

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "MapImage.h"
#include "PacketReader.h"
#include "SimTime.h"

namespace torvane::sim {

inline constexpr uint8_t kReplyAck = 6;
inline constexpr uint8_t kReplyNak = 21;
inline constexpr uint8_t kReplyEsc = 27;
// Highest address whose 8 bytes still lie inside the image.
inline constexpr int kLastBlockAddress = kMapImageSize - 8;  // 32761
// One byte on a 57600-baud line with a start and a stop bit.
inline constexpr Duration kWireByteTime{10'000'000'000 / 57600};

// Counters of "every Nth" switches count from 1; 0 turns a switch off.
struct FailureSwitches {
  int nakEvery = 0;       // every Nth packet that passes its checks is refused (NAK, not stored)
  int escEvery = 0;       // every Nth accepted packet is answered ESC instead of ACK
  int dropEvery = 0;      // every Nth reply is lost
  int garbleEvery = 0;    // every Nth reply becomes a byte that is none of ACK, NAK, ESC
  Duration late{0};       // every reply goes out this much later
  int silentAfter = 0;    // after every N packets ...
  Duration silentFor{0};  // ... the device ignores the line this long
  bool wireTime = false;  // packets and replies take their 57600-baud time on the wire
  // A USB serial adapter's latency timer on the host side: a reply waits in
  // the adapter until this long after the first byte of its batch arrived;
  // bytes that come meanwhile leave with it.
  Duration adapterLatency{0};
};

struct TransmitterConfig {
  std::optional<uint8_t> venue;  // packets for another venue are refused; none: any venue
  FailureSwitches switches;
  Duration gapTimeout = std::chrono::milliseconds(200);
};

struct TransmitterStats {
  int64_t bytesIn = 0;
  int64_t packets = 0;  // complete frames, good or bad, silence included
  int64_t stored = 0;   // packets whose 8 bytes went into the image
  int64_t acks = 0;     // replies chosen, before drop and garble
  int64_t escs = 0;
  int64_t naks = 0;
  int64_t forcedNaks = 0;  // NAKs of the nak-every switch
  int64_t badChecksum = 0;
  int64_t wrongVenue = 0;
  int64_t badAddress = 0;  // the 8 bytes would run past address 32768
  int64_t unaligned = 0;   // stored, but the address is no multiple of 8
  int64_t strayBytes = 0;
  int64_t truncated = 0;
  int64_t dropped = 0;
  int64_t garbled = 0;
  int64_t ignoredSilent = 0;  // packets that arrived while the device was silent
  int64_t passes = 0;         // full image passes completed
  Duration lastPass{0};       // how long the last full pass took
  // Rows of the page area whose bytes changed: how long from the first changed
  // block until the row's checksum held again, which is when a card can show it.
  int64_t changedRows = 0;
  Duration rowLatencyTotal{0};
  Duration rowLatencyMax{0};
  int64_t pendingRows = 0;  // changed rows whose checksum does not hold yet
};

class TransmitterModel {
 public:
  explicit TransmitterModel(TransmitterConfig config = {});

  // Bytes as they arrive at now. Replies are queued with the time they are due.
  void Receive(std::span<const uint8_t> bytes, Instant now);
  // The replies due at or before now, in order, removed from the queue.
  std::vector<uint8_t> TakeReplies(Instant now);
  // When the next queued reply is due.
  std::optional<Instant> NextReplyAt() const;
  // A new peer on the line: the partial packet and the queued replies go.
  void ResetLine();

  bool SilentAt(Instant now) const { return now < silentUntil_; }
  const MapImageBytes& Image() const { return image_; }
  TransmitterStats Stats() const;
  const TransmitterConfig& config() const { return config_; }

 private:
  struct Reply {
    uint8_t byte;
    Instant due;
  };

  void HandleFrame(const ReadFrame& frame);
  uint8_t Verdict(const ReadFrame& frame);
  void Store(int address, const PacketBytes& bytes, Instant at);
  void QueueReply(uint8_t byte, Instant at);
  Instant WireArrival(size_t byteCount, Instant now);
  int MapEndFromImage() const;
  void TrackPass(int address, Instant at);
  void TrackRows(int address, const bool changed[8], Instant at);
  bool RowHolds(int rowStart) const;

  TransmitterConfig config_;
  PacketReader reader_;
  MapImageBytes image_{};
  TransmitterStats stats_;
  std::deque<Reply> replies_;
  std::vector<ReadFrame> frames_;
  std::vector<Instant> frameArrivals_;
  int64_t replyCount_ = 0;
  int64_t passedChecks_ = 0;
  int64_t accepted_ = 0;
  int64_t packetsSinceSilence_ = 0;
  Instant silentUntil_{Duration::min()};
  Instant wireInFreeAt_{Duration::min()};
  Instant wireOutFreeAt_{Duration::min()};
  Instant adapterFlushAt_{Duration::min()};  // when the adapter's held batch leaves
  // Full pass: blocks 0..MapEnd seen since passStart_.
  std::vector<bool> blockSeen_;
  int coveredBlocks_ = 0;
  int passMapEnd_ = -1;
  std::optional<Instant> passStart_;
  // Changed rows waiting for their checksum, by row start address.
  std::unordered_map<int, Instant> pendingRows_;
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_TRANSMITTERMODEL_H_
