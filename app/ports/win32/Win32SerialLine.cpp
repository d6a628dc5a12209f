#include "Win32SerialLine.h"

#include <cstdio>

#include "LatencyTimerSetting.h"
#include "PortLatencyTimer.h"

namespace torvane {
namespace {

std::string SystemMessage(DWORD code) {
  char text[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == '.')) {
    text[--length] = '\0';
  }
  char code_text[32];
  std::snprintf(code_text, sizeof code_text, " (error %lu)", static_cast<unsigned long>(code));
  return std::string(text, length) + code_text;
}

BYTE ParityOf(char letter) {
  switch (letter) {
    case 'O':
      return ODDPARITY;
    case 'E':
      return EVENPARITY;
    case 'M':
      return MARKPARITY;
    case 'S':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

// No timeouts: a read ends when the bytes it asks for are in, so StartRead
// asks for what the driver holds, or for one byte to wait on. (Reads that end
// on a gap after the first byte instead cost a timer's round each under Wine,
// more than a millisecond on every reply.)
constexpr COMMTIMEOUTS kReadWhatIsAsked{};

}  // namespace

Win32SerialLine::Win32SerialLine(std::function<std::string(int16_t)> devicePath)
    : devicePath_(std::move(devicePath)) {
  read_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  write_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Win32SerialLine::~Win32SerialLine() {
  CloseDevice();
  CloseHandle(read_.hEvent);
  CloseHandle(write_.hEvent);
}

std::vector<HANDLE> Win32SerialLine::Events() const {
  // Only I/O in flight: the event of one that ended at once stays signalled
  // and would wake the loop for nothing, again and again.
  std::vector<HANDLE> events;
  if (device_ == INVALID_HANDLE_VALUE) return events;
  if (readPending_) events.push_back(read_.hEvent);
  if (writePending_) events.push_back(write_.hEvent);
  return events;
}

void Win32SerialLine::OpenDevice(int16_t commPort, const LineSettings& settings,
                                 int16_t handshaking) {
  path_ = devicePath_ ? devicePath_(commPort) : std::string();
  if (path_.empty()) path_ = "\\\\.\\COM" + std::to_string(commPort);
  settings_ = settings;
  handshaking_ = handshaking;
  latencyTimerMs_ = 0;
  OpenHandle();
  PurgeComm(device_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  StartRead();
}

void Win32SerialLine::OpenHandle() {
  HANDLE device = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    throw SerialLineError("cannot open " + path_ + ": " + SystemMessage(GetLastError()));
  }
  device_ = device;
  ++deviceOpens_;
  try {
    ApplySettings(settings_, handshaking_);
  } catch (...) {
    CloseDevice();
    throw;
  }
  COMMTIMEOUTS timeouts = kReadWhatIsAsked;
  SetCommTimeouts(device_, &timeouts);
}

SerialLine::LowLatency Win32SerialLine::DeviceLowLatency(bool on) {
  const std::string portName = ComPortNameOf(path_);
  latencyTimerMs_ = 0;
  if (portName.empty()) return LowLatency::kNotOffered;
  PortLatencyTimer timer(portName);
  const LatencyTimerOutcome outcome = ApplyLowLatency(timer, on);
  latencyTimerMs_ = outcome.timerMs;
  if (outcome.reopen) {
    Reopen();
    if (device_ == INVALID_HANDLE_VALUE) return LowLatency::kNotOffered;  // reported as failed
  }
  return outcome.lowLatency;
}

// The driver takes its latency timer when the port is opened. Output not yet
// taken goes on through the new handle and bytes the cancelled read brought
// are handed on; what the driver itself held at the close is gone, which is
// why this runs as the line opens, before the first packet.
void Win32SerialLine::Reopen() {
  DWORD got = 0;
  DWORD put = 0;
  CancelPendingIo(got, put);
  std::string received(readBuffer_, readPending_ ? got : 0);
  // A read waits for one byte only: what came after it is still the driver's.
  TakeWhatTheDriverHolds(received);
  std::string unsent = (writePending_ ? writing_.substr(put) : writing_) + queued_;
  ReleaseHandle();
  try {
    OpenHandle();
  } catch (const SerialLineError& e) {
    return Failed(std::string("the line did not open again after its latency timer changed: ") +
                  e.what());
  }
  queued_ = std::move(unsent);
  // Received() may run handlers that close the line.
  if (!received.empty()) Received(received);
  if (device_ != INVALID_HANDLE_VALUE && !readPending_) StartRead();
  if (device_ != INVALID_HANDLE_VALUE && !writePending_ && !queued_.empty()) StartWrite();
}

void Win32SerialLine::TakeWhatTheDriverHolds(std::string& into) {
  while (BytesHeld() > 0) {
    DWORD got = 0;
    if (!ReadFile(device_, readBuffer_, BytesToRead(), &got, &read_) &&
        (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(device_, &read_, &got, TRUE))) {
      return;
    }
    if (got == 0) return;
    into.append(readBuffer_, got);
  }
}

void Win32SerialLine::CloseDevice() {
  if (device_ == INVALID_HANDLE_VALUE) return;
  DWORD got = 0;
  DWORD put = 0;
  CancelPendingIo(got, put);
  ReleaseHandle();
}

void Win32SerialLine::CancelPendingIo(DWORD& got, DWORD& put) {
  CancelIo(device_);
  if (readPending_) GetOverlappedResult(device_, &read_, &got, TRUE);
  if (writePending_) GetOverlappedResult(device_, &write_, &put, TRUE);
}

void Win32SerialLine::ReleaseHandle() {
  readPending_ = writePending_ = false;
  CloseHandle(device_);
  device_ = INVALID_HANDLE_VALUE;
  writing_.clear();
  queued_.clear();
  ResetEvent(read_.hEvent);
  ResetEvent(write_.hEvent);
}

void Win32SerialLine::ApplySettings(const LineSettings& settings, int16_t handshaking) {
  if (device_ == INVALID_HANDLE_VALUE) return;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(device_, &dcb)) {
    throw SerialLineError("cannot read the line's settings: " + SystemMessage(GetLastError()));
  }
  dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
  dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
  dcb.Parity = ParityOf(settings.parity);
  dcb.fParity = dcb.Parity != NOPARITY;
  dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
  dcb.fBinary = TRUE;
  const bool rts = handshaking == 2 || handshaking == 3;
  const bool xon = handshaking == 1 || handshaking == 3;
  dcb.fOutxCtsFlow = rts;
  dcb.fRtsControl = rts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fOutX = xon;
  dcb.fInX = xon;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  if (!SetCommState(device_, &dcb)) {
    throw SerialLineError("the line refuses " + std::to_string(settings.baudRate) + " baud: " +
                          SystemMessage(GetLastError()));
  }
  // A reopen sets the device up as it was last.
  settings_ = settings;
  handshaking_ = handshaking;
}

void Win32SerialLine::WriteDevice(std::string_view bytes) {
  if (device_ == INVALID_HANDLE_VALUE) return;
  queued_.append(bytes);
  if (!writePending_) StartWrite();
}

size_t Win32SerialLine::DeviceBytesWaiting() const { return writing_.size() + queued_.size(); }

DWORD Win32SerialLine::BytesHeld() const {
  COMSTAT status{};
  DWORD errors = 0;
  return ClearCommError(device_, &errors, &status) ? status.cbInQue : 0;
}

DWORD Win32SerialLine::BytesToRead() const {
  const DWORD held = BytesHeld();
  return held == 0 ? 1 : held < sizeof readBuffer_ ? held : sizeof readBuffer_;
}

// ReadFile and WriteFile reset the event themselves as they start.
void Win32SerialLine::StartRead() {
  while (device_ != INVALID_HANDLE_VALUE) {
    DWORD got = 0;
    ++readsStarted_;
    if (ReadFile(device_, readBuffer_, BytesToRead(), &got, &read_)) {
      // Done at once: hand it on and keep one read pending.
      if (got > 0) Received(std::string_view(readBuffer_, got));
      continue;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      readPending_ = true;
      return;
    }
    return Fail("read");
  }
}

void Win32SerialLine::StartWrite() {
  while (device_ != INVALID_HANDLE_VALUE && !queued_.empty()) {
    writing_.swap(queued_);
    queued_.clear();
    DWORD put = 0;
    if (WriteFile(device_, writing_.data(), static_cast<DWORD>(writing_.size()), &put, &write_)) {
      writing_.erase(0, put);
      queued_.insert(0, writing_);
      writing_.clear();
      continue;
    }
    if (GetLastError() == ERROR_IO_PENDING) {
      writePending_ = true;
      return;
    }
    return Fail("write");
  }
}

void Win32SerialLine::Service() {
  if (device_ == INVALID_HANDLE_VALUE) return;
  DWORD done = 0;
  // The result is in the OVERLAPPED before its event is set: no call to the
  // system to learn which of the two ended.
  if (readPending_ && HasOverlappedIoCompleted(&read_)) {
    readPending_ = false;
    if (!GetOverlappedResult(device_, &read_, &done, FALSE)) return Fail("read");
    // Received() may run handlers that close the line.
    if (done > 0) Received(std::string_view(readBuffer_, done));
    StartRead();
  }
  if (device_ != INVALID_HANDLE_VALUE && writePending_ && HasOverlappedIoCompleted(&write_)) {
    writePending_ = false;
    if (!GetOverlappedResult(device_, &write_, &done, FALSE)) return Fail("write");
    writing_.erase(0, done);
    queued_.insert(0, writing_);
    writing_.clear();
    StartWrite();
  }
}

void Win32SerialLine::Fail(const char* step) {
  const std::string why = std::string("the line's ") + step + " failed: " +
                          SystemMessage(GetLastError());
  Failed(why);
}

}  // namespace torvane
