// The serial line on a Windows COM port: the device opened for overlapped
// I/O, its settings through a DCB, and reads that end as soon as bytes are in
// (each asks for what the driver holds, or one byte when it holds none).
// One read is kept pending while the line is open and one write drains the
// queued output; each signals its event, which the thread's message loop
// waits on (Events()) and hands back to Service(). Low latency is the USB
// adapter's latency timer (PortLatencyTimer), for a device path that names a
// COM port. Windows only.
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

  uint32_t LatencyTimerMs() const override { return latencyTimerMs_; }
  // Handles opened on devices so far; a changed latency timer opens one more.
  int DeviceOpens() const { return deviceOpens_; }
  // Reads started on the device so far.
  uint64_t ReadsStarted() const { return readsStarted_; }

 protected:
  void OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) override;
  void CloseDevice() override;
  void ApplySettings(const LineSettings& settings, int16_t handshaking) override;
  void WriteDevice(std::string_view bytes) override;
  size_t DeviceBytesWaiting() const override;
  // Brings the adapter's latency timer down to 1 ms for on, and opens the
  // device again so the driver takes it; off leaves the timer alone.
  LowLatency DeviceLowLatency(bool on) override;

 private:
  // Opens path_ and sets it up as the line's settings say; raises on failure
  // with the handle closed.
  void OpenHandle();
  void Reopen();
  // Stops the read and write in flight; got and put are what they moved.
  void CancelPendingIo(DWORD& got, DWORD& put);
  // Appends the bytes the driver holds, read with no I/O left in flight.
  void TakeWhatTheDriverHolds(std::string& into);
  // Closes the handle and forgets the I/O of the closed device.
  void ReleaseHandle();
  // Bytes the driver has received and not handed on.
  DWORD BytesHeld() const;
  // What the driver holds, at least 1 and at most the buffer.
  DWORD BytesToRead() const;
  void StartRead();
  void StartWrite();
  void Fail(const char* step);

  std::function<std::string(int16_t)> devicePath_;
  // What the open device was opened with, for opening it again.
  std::string path_;
  LineSettings settings_;
  int16_t handshaking_ = 0;
  HANDLE device_ = INVALID_HANDLE_VALUE;
  int deviceOpens_ = 0;
  uint64_t readsStarted_ = 0;
  uint32_t latencyTimerMs_ = 0;
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
