#include "SimTestSupport.h"

#include "Globals.h"
#include "ImageBuilder.h"
#include "SettingsStore.h"

namespace torvane::sim::testing {

PacketBytes MakePacket(uint8_t venue, uint16_t address, std::initializer_list<uint8_t> data,
                       int checksumDelta) {
  PacketBytes p{};
  p[0] = 27;
  p[1] = 250;
  p[2] = venue;
  p[3] = static_cast<uint8_t>(address >> 8);
  p[4] = static_cast<uint8_t>(address & 0xFF);
  size_t i = 5;
  for (uint8_t b : data) p[i++] = b;
  p[13] = static_cast<uint8_t>(PacketChecksum(p) + checksumDelta);
  return p;
}

PacketBytes PacketOf(const MapImageBytes& image, int address, uint8_t venue) {
  PacketBytes p = MakePacket(venue, static_cast<uint16_t>(address), {});
  for (int i = 0; i < 8; ++i) {
    const int at = address + i;
    p[static_cast<size_t>(5 + i)] = at < kMapImageSize ? image[static_cast<size_t>(at)] : 0;
  }
  p[13] = PacketChecksum(p);
  return p;
}

std::vector<uint8_t> Concat(std::initializer_list<std::span<const uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (std::span<const uint8_t> part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

MapImageBytes SampleImage(int& mapEnd, const std::string& line12) {
  SettingsStore settings;
  Globals g;
  g.Pages.Reset(2);
  g.Pages.SetPageSize(2, 1);
  g.Pages.SetTitle(0, "INDEX");
  g.Pages.SetLine(0, 0, "Welcome");
  g.Pages.SetTitle(1, "PRO STOCK E2");
  g.Pages.SetLine(1, 0, "L[PS:1234]MIKE SMITH");
  g.Pages.SetLine(1, 12, line12);
  g.Pages.SetLink(1, 12, 2);
  g.Pages.SetTitle(2, "CLASSES");
  g.Pages.SetLine(2, 0, "PRO STOCK");
  g.Pages.SetLine(2, 1, "SUPER PRO");
  ImageBuilder builder(g, settings, ImageBuilder::Mode::kFull);
  builder.BuildIndexTable();
  builder.BuildImage();
  builder.BuildIndexTable();
  mapEnd = g.MapEnd;
  return g.MapImage;
}

}  // namespace torvane::sim::testing
