#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>
#include <cstring>

#include "SerialDevice.h"

namespace torvane {

size_t WriteToDriverNow(intptr_t handle, std::string_view bytes) {
  const int fd = static_cast<int>(handle);
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      throw SerialLineError(std::string("write failed: ") + std::strerror(errno));
    } else {
      break;  // the driver's buffer is full
    }
  }
  return sent;
}

bool AddSoftwareFlowControl(intptr_t handle) {
  const int fd = static_cast<int>(handle);
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  tio.c_iflag |= IXON | IXOFF;
  tio.c_cc[VSTART] = 0x11;
  tio.c_cc[VSTOP] = 0x13;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Linux keeps the mode in the serial flags; drivers without them (a pty)
// refuse the request, and the line runs as it is.
SerialLine::LowLatency SetDriverLowLatency(intptr_t handle, bool on) {
#ifdef __linux__
  const int fd = static_cast<int>(handle);
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return SerialLine::LowLatency::kNotOffered;
  if (on) {
    serial.flags |= ASYNC_LOW_LATENCY;
  } else {
    serial.flags &= ~ASYNC_LOW_LATENCY;
  }
  if (::ioctl(fd, TIOCSSERIAL, &serial) != 0) return SerialLine::LowLatency::kNotOffered;
  return on ? SerialLine::LowLatency::kOn : SerialLine::LowLatency::kOff;
#else
  (void)handle;
  (void)on;
  return SerialLine::LowLatency::kNotOffered;
#endif
}

}  // namespace torvane
