// The receive latency timer that the drivers of common USB serial adapters
// keep for their port: how long the adapter holds a part-filled packet of
// received bytes before handing it on (16 ms unless changed). Every one-byte
// reply of the transmitter waits for it, so the line brings it down to the
// lowest value when it is asked for low latency. Where the value lives is the
// system's business (the device's registry key on Windows); what to do with
// it is decided here, the same on every system.
#ifndef TORVANE_APP_PORTS_LATENCYTIMERSETTING_H_
#define TORVANE_APP_PORTS_LATENCYTIMERSETTING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "SerialLine.h"

namespace torvane {

class LatencyTimerSetting {
 public:
  enum class WriteResult { kWritten, kRefused, kFailed };

  virtual ~LatencyTimerSetting() = default;
  // The driver's value in ms; nullopt when the port has no such setting.
  virtual std::optional<uint32_t> Read() = 0;
  // kRefused: the system does not let this program change it (rights).
  virtual WriteResult Write(uint32_t ms) = 0;
};

// Each received byte goes on within a millisecond.
inline constexpr uint32_t kLowLatencyTimerMs = 1;

struct LatencyTimerOutcome {
  SerialLine::LowLatency lowLatency = SerialLine::LowLatency::kNotOffered;
  // The driver's value now; 0 when it keeps none.
  uint32_t timerMs = 0;
  // A new value was written; drivers take it when the port is opened, so the
  // line must open its device again for it to count.
  bool reopen = false;
};

// on: a timer other than kLowLatencyTimerMs is set to it; off: the driver's
// value is left as it is (it may be the operator's own choice).
LatencyTimerOutcome ApplyLowLatency(LatencyTimerSetting& setting, bool on);

// "COM5" for "\\.\COM5", "\\?\COM5" or "COM5"; empty for a path that names
// no COM port (a device path of its own, a file).
std::string ComPortNameOf(std::string_view devicePath);

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_LATENCYTIMERSETTING_H_
