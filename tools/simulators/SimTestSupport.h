// Helpers of the simulator tests: packets made byte by byte, and a real image
// built by the program's own image builder.
#ifndef TORVANE_TOOLS_SIMULATORS_SIMTESTSUPPORT_H_
#define TORVANE_TOOLS_SIMULATORS_SIMTESTSUPPORT_H_

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "MapImage.h"
#include "PacketReader.h"

namespace torvane::sim::testing {

// 27, 250, venue, address (big-endian), data, checksum of bytes 1..12 plus
// checksumDelta (0 for a correct packet).
PacketBytes MakePacket(uint8_t venue, uint16_t address, std::initializer_list<uint8_t> data,
                       int checksumDelta = 0);
// The packet of image[address..address+7].
PacketBytes PacketOf(const MapImageBytes& image, int address, uint8_t venue);
std::vector<uint8_t> Concat(std::initializer_list<std::span<const uint8_t>> parts);

// The image of a small page store: page 0 with one line, page 1 (the result
// page) with text on lines 0 and 12, page 2 with two lines; no ticker. mapEnd
// gets the image's last address. line12 changes page 1's line 12.
MapImageBytes SampleImage(int& mapEnd, const std::string& line12 = "Margin  WIN  0.0123");

}  // namespace torvane::sim::testing

#endif  // TORVANE_TOOLS_SIMULATORS_SIMTESTSUPPORT_H_
