// The 14-byte packet that carries 8 image bytes and their address to the transmitter.
#ifndef TORVANE_APP_SHELL_BLOCKPACKET_H_
#define TORVANE_APP_SHELL_BLOCKPACKET_H_

#include <array>
#include <cstdint>

#include "MapImage.h"

namespace torvane {

inline constexpr int kBlockPacketSize = 14;
inline constexpr int kBlockDataSize = 8;
using BlockPacket = std::array<uint8_t, kBlockPacketSize>;

// Transmitter replies.
inline constexpr uint8_t kAck = 6;
inline constexpr uint8_t kNak = 21;
inline constexpr uint8_t kEsc = 27;

// 27, 250, venue, address high, address low, image[address .. address+7], checksum
// of bytes 1..12. Image bytes outside 0..32768 are sent as 0 rather than read.
BlockPacket BuildBlockPacket(const MapImageBytes& image, int16_t address, uint8_t venue);

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_BLOCKPACKET_H_
