#include "PortLatencyTimer.h"

// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <functional>

namespace torvane {
namespace {

constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr char kPortName[] = "PortName";
constexpr char kLatencyTimer[] = "LatencyTimer";

// Opens the hardware key of the first present port device whose "PortName"
// is portName, with access, and runs use on it. False when it could not:
// error then says why the device's key would not open (0: no such device).
bool WithDeviceKey(const std::string& portName, REGSAM access, const std::function<void(HKEY)>& use,
                   LONG& error) {
  error = 0;
  HDEVINFO devices = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    HKEY key =
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) continue;  // a device without a hardware key
    char name[32] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const bool named = RegQueryValueExA(key, kPortName, nullptr, &type,
                                        reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
                       type == REG_SZ && lstrcmpiA(name, portName.c_str()) == 0;
    if (!named) {
      RegCloseKey(key);
      continue;
    }
    found = true;
    if (access != KEY_QUERY_VALUE) {
      RegCloseKey(key);
      key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                 access | KEY_QUERY_VALUE);
      if (key == INVALID_HANDLE_VALUE) {
        error = static_cast<LONG>(GetLastError());
        found = false;
        break;
      }
    }
    use(key);
    RegCloseKey(key);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return found;
}

}  // namespace

std::optional<uint32_t> PortLatencyTimer::Read() {
  std::optional<uint32_t> timer;
  LONG error = 0;
  WithDeviceKey(
      portName_, KEY_QUERY_VALUE,
      [&](HKEY key) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExA(key, kLatencyTimer, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value) {
          timer = value;
        }
      },
      error);
  return timer;
}

LatencyTimerSetting::WriteResult PortLatencyTimer::Write(uint32_t ms) {
  LONG result = ERROR_FILE_NOT_FOUND;
  LONG error = 0;
  const bool opened = WithDeviceKey(
      portName_, KEY_SET_VALUE,
      [&](HKEY key) {
        const DWORD value = ms;
        result = RegSetValueExA(key, kLatencyTimer, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value);
      },
      error);
  if (!opened) return error == ERROR_ACCESS_DENIED ? WriteResult::kRefused : WriteResult::kFailed;
  if (result == ERROR_ACCESS_DENIED) return WriteResult::kRefused;
  return result == ERROR_SUCCESS ? WriteResult::kWritten : WriteResult::kFailed;
}

}  // namespace torvane
