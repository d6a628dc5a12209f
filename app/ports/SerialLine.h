// The serial line control that both device links run over: the members the
// program relies on, with the device behind them left to a subclass (a real
// port, or a scripted fake in tests). Errors are raised as SerialLineError.
#ifndef TORVANE_APP_PORTS_SERIALLINE_H_
#define TORVANE_APP_PORTS_SERIALLINE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "LineSettings.h"

namespace torvane {

class SerialLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SerialLine {
 public:
  // Received bytes kept for the program to read; beyond this the oldest are dropped.
  static constexpr size_t kInBufferSize = 64 * 1024;
  // Written bytes the device has not taken yet; an Output that would go past
  // this while some wait is dropped whole. Stop-and-wait never queues a packet,
  // so only a device answering faster than the wire carries gets here, and it
  // must not grow the queue for the rest of the day. About 0.7 s at 57600 baud.
  static constexpr size_t kOutBufferSize = 4096;

  SerialLine();
  virtual ~SerialLine() = default;
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // 1..24 (COM1..COM24); only while the line is closed.
  void SetCommPort(int16_t port);
  int16_t CommPort() const { return commPort_; }
  // Raises SerialLineError for a text the line cannot use, keeping the old one.
  void SetSettings(std::string_view text);
  const std::string& Settings() const { return settingsText_; }
  // 0 none, 1 XOn/XOff, 2 RTS, 3 RTS and XOn/XOff.
  void SetHandshaking(int16_t mode);
  int16_t Handshaking() const { return handshaking_; }
  // True opens the device of CommPort (raises when it is missing or busy); False closes.
  void SetPortOpen(bool open);
  bool PortOpen() const { return open_; }
  // Discards received input that nobody has read (InBufferCount = 0).
  void DiscardInput() { received_.clear(); }
  size_t InBufferCount() const { return received_.size(); }
  // Characters one Input read returns; 0 = all waiting.
  void SetInputLen(int16_t length) { inputLen_ = length < 0 ? 0 : length; }
  // 0 text, 1 binary. Both come back as bytes in a std::string here.
  void SetInputMode(int16_t mode) { inputMode_ = mode; }
  int16_t InputMode() const { return inputMode_; }
  void SetRThreshold(int16_t threshold) { rThreshold_ = threshold; }
  // Takes up to InputLen waiting bytes off the receive buffer.
  std::string Input();
  // Sends the bytes as they are, or drops them whole past kOutBufferSize;
  // raises when the line is closed.
  void Output(std::string_view bytes);
  size_t OutBufferCount() const { return open_ ? DeviceBytesWaiting() : 0; }

  // Raised on the event-loop thread while received bytes wait, again as long as
  // each call reads some of them (one event per byte for InputLen 1).
  std::function<void()> OnComm;
  // Raised when the device fails under an open line (unplugged, pty closed).
  std::function<void(const std::string& why)> OnLineError;

  size_t DroppedBytes() const { return dropped_; }
  // Received bytes the device holds back while an OnComm handler runs the
  // event loop (a message box): they reach the line once it returns.
  size_t UndeliveredCount() const { return open_ ? DeviceBytesUndelivered() : 0; }
  size_t DroppedOutputBytes() const { return droppedOutput_; }

  // The driver's low-latency mode: a USB serial adapter then hands each
  // received byte on at once instead of holding it for its latency timer
  // (16 ms on the common ones), which every one-byte reply would wait for.
  // kNotAllowed: the driver has the mode, but this program may not turn it
  // on (a USB adapter's latency timer on Windows needs administrator rights
  // to change); the line is used as it is, at LatencyTimerMs().
  enum class LowLatency { kOn, kOff, kNotOffered, kNotAllowed };
  // Asks the driver of the open line to turn the mode on or off. A closed
  // line, or one whose driver has no such mode (a pty), is left as it is and
  // says kNotOffered.
  LowLatency SetLowLatency(bool on) {
    return open_ ? DeviceLowLatency(on) : LowLatency::kNotOffered;
  }
  // The driver's receive latency timer in ms as the last SetLowLatency found
  // it; 0 when the driver keeps none or says nothing of it.
  virtual uint32_t LatencyTimerMs() const { return 0; }

 protected:
  // Device side, for subclasses.
  virtual void OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) = 0;
  virtual void CloseDevice() = 0;
  virtual void ApplySettings(const LineSettings& settings, int16_t handshaking) = 0;
  virtual void WriteDevice(std::string_view bytes) = 0;
  // Bytes written and still queued for the device.
  virtual size_t DeviceBytesWaiting() const = 0;
  virtual LowLatency DeviceLowLatency(bool /*on*/) { return LowLatency::kNotOffered; }
  // Received bytes not handed to Received() yet.
  virtual size_t DeviceBytesUndelivered() const { return 0; }

  // Subclasses hand received bytes here; raises OnComm.
  void Received(std::string_view bytes);
  // Subclasses report a device failure here; the line is closed.
  void Failed(const std::string& why);

 private:
  int16_t commPort_ = 1;
  std::string settingsText_ = "9600,N,8,1";
  LineSettings settings_;
  int16_t handshaking_ = 0;
  bool open_ = false;
  int16_t inputLen_ = 0;
  int16_t inputMode_ = 0;
  int16_t rThreshold_ = 0;
  std::string received_;
  size_t dropped_ = 0;
  size_t droppedOutput_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_SERIALLINE_H_
