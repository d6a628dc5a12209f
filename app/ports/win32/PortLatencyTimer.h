// The latency timer of the USB serial adapter that Windows knows by a COM
// port name. Drivers that have one (FTDI's, and others after them) keep the
// DWORD "LatencyTimer" in the device's hardware key ("Device Parameters"),
// beside "PortName"; the device is found among the present ones of the Ports
// class by that name. Changing the value needs write access to the key,
// which Windows gives administrators only. Windows only.
#ifndef TORVANE_APP_PORTS_WIN32_PORTLATENCYTIMER_H_
#define TORVANE_APP_PORTS_WIN32_PORTLATENCYTIMER_H_

#include <string>

#include "LatencyTimerSetting.h"

namespace torvane {

class PortLatencyTimer : public LatencyTimerSetting {
 public:
  // portName as the device's key has it, "COM5"; compared without case.
  explicit PortLatencyTimer(std::string portName) : portName_(std::move(portName)) {}

  // nullopt as well when no present device has the port name, or its value
  // is not a DWORD.
  std::optional<uint32_t> Read() override;
  WriteResult Write(uint32_t ms) override;

 private:
  std::string portName_;
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_WIN32_PORTLATENCYTIMER_H_
