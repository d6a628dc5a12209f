// What the transmitter has taken: the image as rebuilt from the packets it
// acknowledged, byte for byte what a receiver card holds once every one of them
// went out on air. The operator's receiver view decodes this, not the image the
// station is still sending.
#ifndef TORVANE_APP_SHELL_ACKNOWLEDGEDIMAGE_H_
#define TORVANE_APP_SHELL_ACKNOWLEDGEDIMAGE_H_

#include <cstdint>

#include "BlockPacket.h"
#include "MapImage.h"

namespace torvane {

class AcknowledgedImage {
 public:
  AcknowledgedImage() { bytes_.fill(0); }

  // Copies the packet's 8 data bytes to its address; bytes that would fall
  // outside the image are dropped.
  void Accept(const BlockPacket& packet);

  const MapImageBytes& Bytes() const { return bytes_; }
  // Counts accepted packets, so a viewer can tell whether to decode again.
  uint64_t Revision() const { return revision_; }
  // Counts accepted packets that changed a byte: what a card shows changed.
  uint64_t Changes() const { return changes_; }

 private:
  MapImageBytes bytes_;
  uint64_t revision_ = 0;
  uint64_t changes_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_ACKNOWLEDGEDIMAGE_H_
