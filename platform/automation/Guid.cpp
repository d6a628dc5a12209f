#include "Guid.h"

#include <cstdio>

namespace torvane {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  // {00000000-0000-0000-0000-000000000000}: 38 characters, dashes at fixed places.
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  uint8_t bytes[16];
  size_t pos = 1;
  for (int i = 0; i < 16; ++i) {
    if (pos == 9 || pos == 14 || pos == 19 || pos == 24) {
      if (text[pos] != '-') return std::nullopt;
      ++pos;
    }
    int high = HexValue(text[pos]);
    int low = HexValue(text[pos + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
    pos += 2;
  }
  Guid guid;
  guid.data1 =
      uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
  guid.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) guid.data4[i] = bytes[8 + i];
  return guid;
}

std::string Guid::ToString() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6],
                data4[7]);
  return text;
}

}  // namespace torvane
