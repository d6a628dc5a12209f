// What a station needs of the system it runs on: its serial lines and the
// one-second timer of its thread's event loop. The Qt event loop gives one
// (Station), the Win32 message loop another (Win32StationSystem).
#ifndef TORVANE_APP_SHELL_STATIONSYSTEM_H_
#define TORVANE_APP_SHELL_STATIONSYSTEM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "SerialLine.h"

namespace torvane {

class StationSystem {
 public:
  virtual ~StationSystem() = default;

  // A closed serial line; devicePath maps COM1..COM24 to the device to open.
  virtual std::unique_ptr<SerialLine> MakeSerialLine(
      std::function<std::string(int16_t)> devicePath) = 0;

  // Runs tick from the loop every intervalMs until StopTimer.
  virtual void StartTimer(int intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer() = 0;
  virtual bool TimerRunning() const = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_STATIONSYSTEM_H_
