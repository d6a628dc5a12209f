// A scriptable serial line for tests: feed what the device "receives", read what
// the program wrote, make the device refuse to open or fail under an open line.
#ifndef TORVANE_APP_PORTS_FAKESERIALLINE_H_
#define TORVANE_APP_PORTS_FAKESERIALLINE_H_

#include <string>
#include <vector>

#include "SerialLine.h"

namespace torvane {

class FakeSerialLine : public SerialLine {
 public:
  void FeedReceived(std::string_view bytes) { Received(bytes); }
  void FailUnderOpenLine(const std::string& why) { Failed(why); }
  uint32_t LatencyTimerMs() const override { return latencyTimerMs; }

  bool refuseOpen = false;
  std::vector<std::string> writes;  // one entry per Output call
  size_t bytesWaiting = 0;          // what the device has not taken yet
  int opens = 0;
  int16_t openedPort = 0;
  LineSettings appliedSettings;
  int16_t appliedHandshaking = 0;
  bool offersLowLatency = false;
  bool refusesLowLatency = false;  // turning it on needs rights the program lacks
  uint32_t latencyTimerMs = 0;
  std::vector<bool> lowLatencyAsked;

 protected:
  void OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) override {
    if (refuseOpen) throw SerialLineError("The port is not available");
    ++opens;
    openedPort = commPort;
    appliedSettings = settings;
    appliedHandshaking = handshaking;
  }
  void CloseDevice() override {}
  void ApplySettings(const LineSettings& settings, int16_t handshaking) override {
    appliedSettings = settings;
    appliedHandshaking = handshaking;
  }
  void WriteDevice(std::string_view bytes) override { writes.emplace_back(bytes); }
  size_t DeviceBytesWaiting() const override { return bytesWaiting; }
  LowLatency DeviceLowLatency(bool on) override {
    lowLatencyAsked.push_back(on);
    if (!offersLowLatency) return LowLatency::kNotOffered;
    if (!on) return LowLatency::kOff;
    return refusesLowLatency ? LowLatency::kNotAllowed : LowLatency::kOn;
  }
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_FAKESERIALLINE_H_
