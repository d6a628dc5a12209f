// The serial line on a Windows COM port: the device opened for overlapped
// I/O, its settings through a DCB, and reads that end as soon as bytes are in.
// One read is kept pending while the line is open and one write drains the
// queued output; each signals its event, which the thread's message loop
// waits on (Events()) and hands back to Service(). Windows only.
#ifndef TORVANE_APP_PORTS_WIN32_WIN32SERIALLINE_H_
#define TORVANE_APP_PORTS_WIN32_WIN32SERIALLINE_H_

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SerialLine.h"

namespace torvane {

class Win32SerialLine : public SerialLine {
 public:
  // devicePath maps COM1..COM24 to the device to open ("\\.\COMn" when it
  // returns nothing).
  explicit Win32SerialLine(std::function<std::string(int16_t)> devicePath = {});
  ~Win32SerialLine() override;

  // The events to wait on while the line is open; empty while closed.
  std::vector<HANDLE> Events() const;
  // Takes what the completed read or write brought and starts the next one;
  // raises OnComm for received bytes, OnLineError when the device fails.
  void Service();

 protected:
  void OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) override;
  void CloseDevice() override;
  void ApplySettings(const LineSettings& settings, int16_t handshaking) override;
  void WriteDevice(std::string_view bytes) override;
  size_t DeviceBytesWaiting() const override;

 private:
  void StartRead();
  void StartWrite();
  void Fail(const char* step);

  std::function<std::string(int16_t)> devicePath_;
  HANDLE device_ = INVALID_HANDLE_VALUE;
  OVERLAPPED read_{};
  OVERLAPPED write_{};
  bool readPending_ = false;
  bool writePending_ = false;
  char readBuffer_[4096];
  std::string writing_;  // the bytes of the write in flight
  std::string queued_;   // bytes after them
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_WIN32_WIN32SERIALLINE_H_
