#include "AcknowledgedImage.h"

#include <cstddef>

namespace torvane {

void AcknowledgedImage::Accept(const BlockPacket& packet) {
  const int address = packet[3] * 256 + packet[4];
  bool changed = false;
  for (int i = 0; i < kBlockDataSize; ++i) {
    const int at = address + i;
    if (at >= kMapImageSize) continue;
    uint8_t& byte = bytes_[static_cast<size_t>(at)];
    const uint8_t value = packet[5 + static_cast<size_t>(i)];
    changed |= byte != value;
    byte = value;
  }
  ++revision_;
  if (changed) ++changes_;
}

}  // namespace torvane
