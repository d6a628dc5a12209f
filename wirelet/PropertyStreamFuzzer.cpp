// libFuzzer target: arbitrary bytes as a stream block of persisted
// properties, as a container hands them to the control. Each input is
// decoded as it is and once more with its checksum made to fit, so the
// entries are reached as well as the checksum. A block that decodes must
// encode again to a block that decodes to the same properties.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "PropertyStream.h"

namespace {

using namespace torvane;

void Check(std::span<const uint8_t> block) {
  MemoryPropertyBag bag;
  if (Failed(DecodePropertyStream(block, &bag))) {
    if (!bag.Values().empty()) std::abort();  // nothing is taken from a refused block
    return;
  }
  std::vector<uint8_t> again;
  if (Failed(EncodePropertyStream(bag, &again))) std::abort();
  MemoryPropertyBag reread;
  if (Failed(DecodePropertyStream(again, &reread)) || reread.Values() != bag.Values()) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check({data, size});
  if (size >= kPropertyStreamHeaderSize + kPropertyStreamTrailerSize) {
    std::vector<uint8_t> sealed(data, data + size);
    const size_t at = size - kPropertyStreamTrailerSize;
    const uint32_t crc = PropertyStreamChecksum(std::span(sealed).first(at));
    for (size_t i = 0; i < kPropertyStreamTrailerSize; ++i) {
      sealed[at + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    Check(sealed);
  }
  return 0;
}
