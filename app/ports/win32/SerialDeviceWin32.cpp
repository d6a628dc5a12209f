#include <windows.h>

#include "SerialDevice.h"

namespace torvane {

// QSerialPort's handle is opened for overlapped I/O; its own queue is the way in.
size_t WriteToDriverNow(intptr_t, std::string_view) { return 0; }

bool AddSoftwareFlowControl(intptr_t handle) {
  const HANDLE device = reinterpret_cast<HANDLE>(handle);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(device, &dcb)) return false;
  dcb.fOutX = TRUE;
  dcb.fInX = TRUE;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return SetCommState(device, &dcb) != 0;
}

// A USB adapter's latency timer is a registry value its driver reads as the
// port opens (PortLatencyTimer). Win32SerialLine sets it and opens the port
// again; a QSerialPort handle cannot be opened again from here, so the Qt line
// on Windows leaves the driver as it is and says so.
SerialLine::LowLatency SetDriverLowLatency(intptr_t, bool) {
  return SerialLine::LowLatency::kNotOffered;
}

}  // namespace torvane
