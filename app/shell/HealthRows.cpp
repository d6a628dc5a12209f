#include "HealthRows.h"

#include <cstdio>
#include <utility>

namespace torvane {
namespace {

std::string Seconds(double ms) {
  char text[40];
  std::snprintf(text, sizeof text, "%.3f", ms / 1000.0);
  return text;
}

HealthRow Row(std::string name, std::string value, HealthRow::Tone tone = HealthRow::Tone::kPlain) {
  HealthRow row;
  row.name = std::move(name);
  row.value = std::move(value);
  row.tone = tone;
  return row;
}

HealthRow Link(const char* name, const LinkHealth& link) {
  const std::string where = link.kind.empty() ? std::string() : link.kind + " " + link.where + ": ";
  return Row(name, where + link.state, link.open ? HealthRow::Tone::kUp : HealthRow::Tone::kDown);
}

std::string LampsText(const std::vector<std::pair<std::string, bool>>& lamps) {
  std::string text;
  for (const auto& [caption, lit] : lamps) {
    if (!text.empty()) text += ", ";
    text += caption + (lit ? " on" : " off");
  }
  return text;
}

}  // namespace

std::vector<HealthRow> HealthRows(const HealthSnapshot& h) {
  const CycleCounters& c = h.counters;
  std::vector<HealthRow> rows;
  rows.push_back(Link("Transmitter", h.transmitter));
  if (!h.transmitterLatency.empty()) rows.push_back(Row("Transmitter line", h.transmitterLatency));
  rows.push_back(Link("Timing system", h.timing));

  HealthRow lamps = Row("Lamps", {});
  lamps.lamps = {{"Page hold", h.lamps.pageHold},
                 {"ACK", h.lamps.ack},
                 {"NAK", h.lamps.nak},
                 {"Timing System", h.lamps.timingSystem}};
  lamps.value = LampsText(lamps.lamps);
  rows.push_back(std::move(lamps));

  rows.push_back(Row("Buffer position", std::to_string(h.lamps.bufferPosition)));
  std::string pass = h.lastFullPassAt.empty() ? std::string("none yet") : h.lastFullPassAt;
  if (h.lastFullPassMs > 0) {
    pass += ", took " + Seconds(h.lastFullPassMs) + " s";
    if (h.lastFullPassWireMs > 0)
      pass += " (the wire's time " + Seconds(h.lastFullPassWireMs) + " s)";
  }
  rows.push_back(Row("Last full pass", pass));
  rows.push_back(Row("Packets sent", std::to_string(c.packetsSent)));
  rows.push_back(Row("ACK / ESC / NAK / other",
                     std::to_string(c.acks) + " / " + std::to_string(c.escs) + " / " +
                         std::to_string(c.naks) + " / " + std::to_string(c.otherReplies)));
  rows.push_back(Row("Timeouts", std::to_string(c.recoveries)));
  rows.push_back(Row("Full passes", std::to_string(c.fullPasses)));
  rows.push_back(Row("Records received / dropped",
                     std::to_string(h.recordsReceived) + " / " + std::to_string(h.recordsDropped)));
  rows.push_back(Row("Reconnects", "transmitter line " + std::to_string(h.transmitterReopens) +
                                       ", timing line " + std::to_string(h.timingReopens) +
                                       ", timing network " + std::to_string(h.timingReconnects)));
  rows.push_back(Row("Uptime", Seconds(h.uptimeMs) + " s"));
  rows.push_back(Row("Faults", std::to_string(h.faults)));
  return rows;
}

}  // namespace torvane
