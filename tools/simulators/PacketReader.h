// The transmitter's receiving side of the block packet: finds packets in a
// stream of bytes and checks their checksum. It never stays out of step: bytes
// before a start pair (27, 250) are skipped, a packet cut short by the start of
// the next one is dropped in favour of that one, and a partial packet that
// waits longer than the gap timeout is dropped.
#ifndef TORVANE_TOOLS_SIMULATORS_PACKETREADER_H_
#define TORVANE_TOOLS_SIMULATORS_PACKETREADER_H_

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "SimTime.h"

namespace torvane::sim {

inline constexpr int kPacketSize = 14;
inline constexpr uint8_t kStartByte0 = 27;
inline constexpr uint8_t kStartByte1 = 250;

using PacketBytes = std::array<uint8_t, kPacketSize>;

// The checksum byte a packet must carry: bytes 1..12 summed, inverted, low 8 bits.
uint8_t PacketChecksum(const PacketBytes& packet);

struct ReadFrame {
  PacketBytes bytes{};
  bool checksumOk = false;
  Instant at{};  // when its last byte was fed
};

class PacketReader {
 public:
  explicit PacketReader(Duration gapTimeout = std::chrono::milliseconds(200));

  // Appends every complete 14-byte frame found in bytes to out, in order. Frames
  // whose checksum fails are reported too (checksumOk false), unless a start pair
  // inside them shows that a new packet began there: then the cut packet is
  // dropped silently (counted as truncated) and reading goes on from that pair.
  void Feed(std::span<const uint8_t> bytes, Instant now, std::vector<ReadFrame>& out);

  // Forgets a partial packet (a new peer on the line); counts it as truncated.
  void Reset();

  int64_t strayBytes() const { return strayBytes_; }  // bytes outside any packet
  int64_t truncated() const { return truncated_; }    // packets cut short and dropped
  size_t pending() const { return partial_.size(); }  // bytes of the packet being read

 private:
  void TakeByte(uint8_t b, Instant now, std::vector<ReadFrame>& out);
  void CompleteFrame(Instant now, std::vector<ReadFrame>& out);

  Duration gapTimeout_;
  std::vector<uint8_t> partial_;
  Instant lastByteAt_{};
  // partial_ holds only the last byte of a frame that failed, kept as a possible
  // start: it is not counted again when it turns out to be none.
  bool carried_ = false;
  int64_t strayBytes_ = 0;
  int64_t truncated_ = 0;
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_PACKETREADER_H_
