// The link health for the tower: the station's published figures as a page,
// as JSON and in Prometheus' text format.
#ifndef TORVANE_APP_WEB_HEALTHREPORT_H_
#define TORVANE_APP_WEB_HEALTHREPORT_H_

#include <cstdint>
#include <string>

#include "StationSnapshots.h"

namespace torvane {

// The web view's own figures, reported beside the station's.
struct WebFigures {
  uint64_t connections = 0;     // open now
  uint64_t eventStreams = 0;    // of them, live card streams
  uint64_t requests = 0;        // answered since the start
  uint64_t refused = 0;         // connections turned away at the cap
  uint64_t dropped = 0;         // connections closed for being too slow or too big
  uint64_t acceptFailures = 0;  // accepts that failed (out of descriptors, mostly)
  uint64_t cardSequence = 0;    // of the cards last sent
};

std::string StatusJson(const HealthSnapshot& health, const WebFigures& web);
// A page that reloads itself every few seconds.
std::string StatusHtml(const HealthSnapshot& health, const WebFigures& web);
std::string MetricsText(const HealthSnapshot& health, const WebFigures& web);

}  // namespace torvane

#endif  // TORVANE_APP_WEB_HEALTHREPORT_H_
