// Phones on loopback for the benches: a crowd that follows the card stream on
// a thread of its own and notes when each message arrived, so a bench can say
// how long a change took to reach every viewer.
#ifndef TORVANE_APP_WEB_VIEWERCROWD_H_
#define TORVANE_APP_WEB_VIEWERCROWD_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace torvane {

using CrowdClock = std::chrono::steady_clock;

struct Arrival {
  uint64_t id = 0;  // the message's sequence
  CrowdClock::time_point at;
};

// A change the card took, from which on every message with an id at least
// `sequence` carries it.
struct CardChange {
  uint64_t sequence = 0;
  CrowdClock::time_point at;
};

struct LatencyFigures {
  size_t samples = 0;  // changes times viewers that saw them
  size_t missed = 0;   // changes a viewer never saw
  double p50Ms = 0;
  double p99Ms = 0;
  double worstMs = 0;
};

// For each change and each viewer, the time to the first message that carries
// it; messages are in the order a viewer received them.
LatencyFigures Latencies(const std::vector<CardChange>& changes,
                         const std::vector<std::vector<Arrival>>& viewers);

// This process's resident memory, for memory per viewer.
double ResidentMegabytes();

class ViewerCrowd {
 public:
  // Connects `viewers` followers of /events on 127.0.0.1:port and starts
  // reading; returns at once.
  ViewerCrowd(uint16_t port, int viewers);
  ~ViewerCrowd();
  ViewerCrowd(const ViewerCrowd&) = delete;
  ViewerCrowd& operator=(const ViewerCrowd&) = delete;

  // Viewers whose stream has begun; those whose connection failed or ended.
  int Streaming() const { return streaming_; }
  int Failed() const { return failed_; }
  // Closes every connection and joins the thread; afterwards Arrivals() may
  // be read. The stream's first message (what the card held on connecting)
  // is not among them.
  void Stop();
  const std::vector<std::vector<Arrival>>& Arrivals() const { return arrivals_; }

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<int> streaming_{0};
  std::atomic<int> failed_{0};
  std::vector<std::vector<Arrival>> arrivals_;
  std::thread thread_;
};

}  // namespace torvane

#endif  // TORVANE_APP_WEB_VIEWERCROWD_H_
