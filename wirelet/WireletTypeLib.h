// What the control's type library says: the identifiers of the class, its
// interfaces and library, and every property, method and event of IWirelet
// and _IWireletEvents with its dispatch identifier, type, access, default,
// help context and help string. Late-bound callers read it to name members.
#ifndef TORVANE_WIRELET_WIRELETTYPELIB_H_
#define TORVANE_WIRELET_WIRELETTYPELIB_H_

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "Dispatch.h"
#include "Guid.h"

namespace torvane {

inline constexpr Guid kClsidWirelet{
    0x1D82D4CC, 0x5106, 0x402A, {0x9C, 0xD1, 0xA2, 0x2C, 0xDE, 0x85, 0x16, 0x6C}};
inline constexpr Guid kIidIWirelet{
    0x63797D8E, 0x1B82, 0x41AD, {0xBD, 0xCE, 0x3D, 0xCB, 0xFE, 0xEE, 0xBA, 0x42}};
inline constexpr Guid kDiidWireletEvents{
    0x1772289B, 0x2599, 0x4638, {0xA5, 0x74, 0xA3, 0x0E, 0xD3, 0x80, 0xB9, 0x5C}};
inline constexpr Guid kLibidWirelet{
    0x2A5682DA, 0x0822, 0x48DD, {0xB6, 0x8D, 0xF6, 0x5A, 0xFD, 0xCD, 0x77, 0x0D}};

inline constexpr char kWireletProgId[] = "Wirekit.Wirelet.1";
inline constexpr char kWireletDisplayName[] = "Wirelet Control";
inline constexpr char kWireletHelpFile[] = "wirelet61.hlp";

// Dispatch identifiers of the events.
enum WireletEvent : DispId {
  kEventConnected = 1,
  kEventConnectionStatus = 2,
  kEventDataIn = 3,
  kEventDisconnected = 4,
  kEventError = 5,
  kEventReadyToSend = 6,
};

// One member of IWirelet or _IWireletEvents, as the type library describes it.
struct WireletMember {
  enum Kind { kProperty, kMethod, kEvent };
  enum Access : uint8_t { kRead = 1, kWrite = 2, kRunTimeOnly = 4 };
  DispId id;
  const char* name;
  Kind kind;
  VarType type;    // property type or method result (kEmpty: none)
  uint8_t access;  // properties
  const char* defaultValue;
  uint32_t helpContext;  // 0: none
  const char* helpString;
  std::vector<std::pair<const char*, VarType>> arguments;
};

// IWirelet's properties and methods in vtable order, then the events.
std::span<const WireletMember> WireletMembers();
const WireletMember* FindWireletMember(DispId id, WireletMember::Kind kind);

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIRELETTYPELIB_H_
