// What the Qt serial line does on the device's own handle, beyond what
// QSerialPort offers: a write straight to the driver, XOn/XOff beside RTS/CTS
// flow control, and the driver's low-latency mode. One file per system
// (posix/, win32/), so the line itself makes no system call.
#ifndef TORVANE_APP_PORTS_SERIALDEVICE_H_
#define TORVANE_APP_PORTS_SERIALDEVICE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "SerialLine.h"

namespace torvane {

// Hands bytes to the driver now, as many as it takes without waiting; the
// count taken (0 when the system has no such write or the driver is full).
// Raises SerialLineError when the device fails.
size_t WriteToDriverNow(intptr_t handle, std::string_view bytes);

// Turns XOn/XOff on in both directions, on top of the line's other flow control.
bool AddSoftwareFlowControl(intptr_t handle);

// Asks the driver to hand on each received byte at once, or to stop doing so.
SerialLine::LowLatency SetDriverLowLatency(intptr_t handle, bool on);

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_SERIALDEVICE_H_
