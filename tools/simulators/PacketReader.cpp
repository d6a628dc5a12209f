#include "PacketReader.h"

#include <algorithm>
#include <cassert>

namespace torvane::sim {

uint8_t PacketChecksum(const PacketBytes& packet) {
  unsigned sum = 0;
  for (int i = 1; i <= 12; ++i) sum += packet[static_cast<size_t>(i)];
  return static_cast<uint8_t>(~sum);
}

PacketReader::PacketReader(Duration gapTimeout) : gapTimeout_(gapTimeout) {
  partial_.reserve(kPacketSize);
}

void PacketReader::Reset() {
  if (!partial_.empty() && !carried_) ++truncated_;
  partial_.clear();
  carried_ = false;
}

void PacketReader::Feed(std::span<const uint8_t> bytes, Instant now, std::vector<ReadFrame>& out) {
  if (bytes.empty()) return;
  if (!partial_.empty() && now - lastByteAt_ > gapTimeout_) Reset();
  for (uint8_t b : bytes) TakeByte(b, now, out);
  lastByteAt_ = now;
}

void PacketReader::TakeByte(uint8_t b, Instant now, std::vector<ReadFrame>& out) {
  switch (partial_.size()) {
    case 0:
      if (b == kStartByte0) {
        partial_.push_back(b);
      } else {
        ++strayBytes_;
      }
      return;
    case 1:
      if (b == kStartByte1) {
        partial_.push_back(b);
      } else if (b == kStartByte0) {
        if (!carried_) ++strayBytes_;  // the earlier 27 was stray; this one may start a packet
      } else {
        strayBytes_ += carried_ ? 1 : 2;
        partial_.clear();
      }
      carried_ = false;
      return;
    default:
      partial_.push_back(b);
      if (partial_.size() == kPacketSize) CompleteFrame(now, out);
      return;
  }
}

void PacketReader::CompleteFrame(Instant now, std::vector<ReadFrame>& out) {
  ReadFrame frame;
  std::copy(partial_.begin(), partial_.end(), frame.bytes.begin());
  frame.at = now;
  frame.checksumOk = PacketChecksum(frame.bytes) == frame.bytes[13];
  if (frame.checksumOk) {
    out.push_back(frame);
    partial_.clear();
    return;
  }
  // A start pair inside a frame that fails means the packet was cut short and the
  // next one began there.
  for (size_t i = 1; i + 1 < partial_.size(); ++i) {
    if (partial_[i] == kStartByte0 && partial_[i + 1] == kStartByte1) {
      ++truncated_;
      partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(i));
      assert(partial_.size() < kPacketSize);
      return;
    }
  }
  out.push_back(frame);
  // Its last byte may begin the next packet.
  const bool lastMayStart = partial_.back() == kStartByte0;
  partial_.clear();
  if (lastMayStart) {
    partial_.push_back(kStartByte0);
    carried_ = true;
  }
}

}  // namespace torvane::sim
