// What the station shows, as immutable copies for readers on other threads
// (the web view). The station's own loop publishes; readers take the latest
// copy and keep it as long as they like. Publishing and taking never wait on
// anything but a pointer swap.
#ifndef TORVANE_APP_SHELL_STATIONSNAPSHOTS_H_
#define TORVANE_APP_SHELL_STATIONSNAPSHOTS_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "MapImage.h"
#include "TransmissionCycle.h"

namespace torvane {

// The image as the transmitter has acknowledged it: what a card holds.
struct CardSnapshot {
  // Grows each time an acknowledged byte changed; equal numbers, equal images.
  uint64_t sequence = 0;
  MapImageBytes image{};
};

struct LinkHealth {
  // "serial" or "tcp"; empty when the link has no port set.
  std::string kind;
  // "COM3 (/dev/ttyUSB0)", "timing.local:2000".
  std::string where;
  bool open = false;
  // "open", "lost at 14:02:11 …", "reconnecting in 4 s"…; as the status line says it.
  std::string state;
};

struct HealthSnapshot {
  int64_t uptimeMs = 0;
  CycleLamps lamps;
  CycleCounters counters;
  LinkHealth transmitter;
  LinkHealth timing;
  std::string transmitterLatency;  // empty unless the transmitter's serial line is open
  // When the last full pass ended (local clock text, empty before the first),
  // how long it took, and what the wire itself needs for as many packets.
  std::string lastFullPassAt;
  int64_t lastFullPassMs = 0;
  double lastFullPassWireMs = 0;
  uint64_t recordsReceived = 0;
  uint64_t recordsDropped = 0;
  uint64_t timingBytesDropped = 0;
  uint64_t transmitterBytesNotSent = 0;
  uint64_t transmitterReopens = 0;
  uint64_t timingReopens = 0;
  uint64_t timingReconnects = 0;
  uint64_t faults = 0;
  std::string statusLine;
};

// Safe to use from any thread.
class StationSnapshots {
 public:
  StationSnapshots();

  std::shared_ptr<const CardSnapshot> Cards() const;
  std::shared_ptr<const HealthSnapshot> Health() const;

  void PublishCards(std::shared_ptr<const CardSnapshot> cards);
  void PublishHealth(std::shared_ptr<const HealthSnapshot> health);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const CardSnapshot> cards_;
  std::shared_ptr<const HealthSnapshot> health_;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_STATIONSNAPSHOTS_H_
