#include "AcknowledgedImage.h"

#include <cstddef>

namespace torvane {

void AcknowledgedImage::Accept(const BlockPacket& packet) {
  const int address = packet[3] * 256 + packet[4];
  for (int i = 0; i < kBlockDataSize; ++i) {
    const int at = address + i;
    if (at < kMapImageSize) bytes_[static_cast<size_t>(at)] = packet[5 + static_cast<size_t>(i)];
  }
  ++revision_;
}

}  // namespace torvane
