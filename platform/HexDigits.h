// One hexadecimal digit's value, for the readers of escaped and hex-coded text.
#ifndef TORVANE_PLATFORM_HEXDIGITS_H_
#define TORVANE_PLATFORM_HEXDIGITS_H_

namespace torvane {

// 0..15, or -1 when c is not a hexadecimal digit (either case).
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace torvane

#endif  // TORVANE_PLATFORM_HEXDIGITS_H_
