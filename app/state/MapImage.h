#ifndef TORVANE_APP_STATE_MAPIMAGE_H_
#define TORVANE_APP_STATE_MAPIMAGE_H_

#include <array>
#include <cstdint>

namespace torvane {

// The memory-map image the transmitter broadcasts: addresses 0..32768.
inline constexpr int kMapImageSize = 32769;
using MapImageBytes = std::array<uint8_t, kMapImageSize>;

}  // namespace torvane

#endif  // TORVANE_APP_STATE_MAPIMAGE_H_
