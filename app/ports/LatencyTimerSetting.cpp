#include "LatencyTimerSetting.h"

#include <cctype>

namespace torvane {

LatencyTimerOutcome ApplyLowLatency(LatencyTimerSetting& setting, bool on) {
  LatencyTimerOutcome outcome;
  const std::optional<uint32_t> timer = setting.Read();
  if (!timer) return outcome;
  outcome.timerMs = *timer;
  if (!on) {
    outcome.lowLatency = SerialLine::LowLatency::kOff;
    return outcome;
  }
  // 0 is outside what drivers take; it is written over as well.
  if (*timer == kLowLatencyTimerMs) {
    outcome.lowLatency = SerialLine::LowLatency::kOn;
    return outcome;
  }
  switch (setting.Write(kLowLatencyTimerMs)) {
    case LatencyTimerSetting::WriteResult::kWritten:
      outcome.lowLatency = SerialLine::LowLatency::kOn;
      outcome.timerMs = kLowLatencyTimerMs;
      outcome.reopen = true;
      break;
    case LatencyTimerSetting::WriteResult::kRefused:
      outcome.lowLatency = SerialLine::LowLatency::kNotAllowed;
      break;
    case LatencyTimerSetting::WriteResult::kFailed:
      // The value stands as it was; the line is used with it.
      outcome.lowLatency = SerialLine::LowLatency::kNotOffered;
      break;
  }
  return outcome;
}

std::string ComPortNameOf(std::string_view devicePath) {
  std::string_view name = devicePath;
  if (name.substr(0, 4) == "\\\\.\\" || name.substr(0, 4) == "\\\\?\\") name.remove_prefix(4);
  if (name.size() < 4 || name.size() > 6) return {};
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.compare(0, 3, "COM") != 0) return {};
  for (size_t i = 3; i < upper.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(upper[i]))) return {};
  }
  if (upper[3] == '0') return {};
  return upper;
}

}  // namespace torvane
