// Any bytes, taken as an image (or as the text of a memory dump), must decode
// without reading outside them, and the JSON of the result must be produced.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ImageDecoder.h"
#include "ImageJson.h"
#include "MemoryDump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A heap copy of exactly size bytes, so the sanitizer sees any read past the end.
  const std::vector<uint8_t> bytes(data, data + size);
  const torvane::DecodedImage image = torvane::DecodeImage(std::span<const uint8_t>(bytes));
  const std::string json = torvane::ToJson(image);
  if (json.empty() || json.front() != '{') __builtin_trap();

  const auto parsed = torvane::ParseMemoryDump(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (parsed) torvane::DecodeImage(*parsed);
  return 0;
}
