#include "BlockPacket.h"

#include "ConvertLibrary.h"

namespace torvane {

BlockPacket BuildBlockPacket(const MapImageBytes& image, int16_t address, uint8_t venue) {
  BlockPacket packet{};
  packet[0] = 27;
  packet[1] = 250;
  packet[2] = venue;
  const Int16Buffer split = Int16ToBuffer(address);
  packet[3] = split.element1;
  packet[4] = split.element0;
  for (int i = 0; i < kBlockDataSize; ++i) {
    const int at = address + i;
    packet[5 + i] = at >= 0 && at < kMapImageSize ? image[static_cast<size_t>(at)] : 0;
  }
  unsigned sum = 0;
  for (int i = 1; i <= 12; ++i) sum += packet[i];
  packet[13] = static_cast<uint8_t>(~sum);
  return packet;
}

}  // namespace torvane
