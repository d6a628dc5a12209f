// 128-bit class and interface identifiers, written as
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#ifndef TORVANE_PLATFORM_AUTOMATION_GUID_H_
#define TORVANE_PLATFORM_AUTOMATION_GUID_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  // Accepts the braced form (hex digits in any case); nullopt otherwise.
  static std::optional<Guid> Parse(std::string_view text);
  // The braced form in upper case.
  std::string ToString() const;

  friend bool operator==(const Guid&, const Guid&) = default;
};

// The identifiers of the interfaces every automation object may be asked for.
inline constexpr Guid kIidUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidDispatch{
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidConnectionPoint{
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr Guid kIidPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_GUID_H_
