#include "HealthReport.h"

#include <cstdio>
#include <vector>

#include "AnsiText.h"
#include "HealthRows.h"
#include "ImageJson.h"

namespace torvane {
namespace {

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string LinkJson(const LinkHealth& link) {
  return "{\"kind\":" + JsonString(link.kind) + ",\"where\":" + JsonString(link.where) +
         ",\"open\":" + Bool(link.open) + ",\"state\":" + JsonString(link.state) + "}";
}

// Text the station holds (single-byte) as HTML in UTF-8.
std::string Html(const std::string& text) {
  std::string out;
  for (char c : AnsiToUtf8(text)) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A Prometheus label value: backslash, quote and newline escaped.
std::string Label(const std::string& text) {
  std::string out;
  for (char c : AnsiToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

struct Counter {
  const char* name;
  const char* help;
  uint64_t value;
};

std::vector<Counter> Counters(const HealthSnapshot& h, const WebFigures& web) {
  const CycleCounters& c = h.counters;
  return {
      {"torvane_packets_sent_total", "Block packets sent to the transmitter.", c.packetsSent},
      {"torvane_acks_total", "ACK replies.", c.acks},
      {"torvane_escs_total", "ESC replies.", c.escs},
      {"torvane_naks_total", "NAK replies.", c.naks},
      {"torvane_other_replies_total", "Replies that were none of ACK, ESC, NAK.", c.otherReplies},
      {"torvane_timeouts_total", "Blocks sent again because the transmitter went silent.",
       c.recoveries},
      {"torvane_full_passes_total", "Full passes over the image.", c.fullPasses},
      {"torvane_records_received_total", "Timing records received.", h.recordsReceived},
      {"torvane_records_dropped_total", "Timing records dropped.", h.recordsDropped},
      {"torvane_timing_bytes_dropped_total", "Timing text dropped while receive was busy.",
       h.timingBytesDropped},
      {"torvane_transmitter_bytes_not_sent_total", "Packet bytes the line could not take.",
       h.transmitterBytesNotSent},
      {"torvane_timing_reconnects_total", "Times the timing link over TCP came back.",
       h.timingReconnects},
      {"torvane_faults_total", "Errors raised out of event work.", h.faults},
      {"torvane_web_requests_total", "Requests the web view answered.", web.requests},
      {"torvane_web_refused_total", "Connections turned away at the cap.", web.refused},
      {"torvane_web_dropped_total", "Connections closed as too slow or too big.", web.dropped},
      {"torvane_web_accept_failures_total", "Connections that could not be accepted.",
       web.acceptFailures},
  };
}

}  // namespace

std::string StatusJson(const HealthSnapshot& h, const WebFigures& web) {
  const CycleCounters& c = h.counters;
  std::string out = "{\"uptimeSeconds\":" + Number(h.uptimeMs / 1000.0);
  out += ",\"transmitter\":" + LinkJson(h.transmitter);
  out += ",\"transmitterLatency\":" + JsonString(h.transmitterLatency);
  out += ",\"timing\":" + LinkJson(h.timing);
  out += ",\"lamps\":{\"pageHold\":" + Bool(h.lamps.pageHold) + ",\"ack\":" + Bool(h.lamps.ack) +
         ",\"nak\":" + Bool(h.lamps.nak) + ",\"timingSystem\":" + Bool(h.lamps.timingSystem) + "}";
  out += ",\"bufferPosition\":" + std::to_string(h.lamps.bufferPosition);
  out += ",\"lastFullPass\":{\"at\":" + JsonString(h.lastFullPassAt) +
         ",\"seconds\":" + Number(h.lastFullPassMs / 1000.0) +
         ",\"wireSeconds\":" + Number(h.lastFullPassWireMs / 1000.0) + "}";
  out += ",\"packetsSent\":" + std::to_string(c.packetsSent);
  out += ",\"acks\":" + std::to_string(c.acks) + ",\"escs\":" + std::to_string(c.escs) +
         ",\"naks\":" + std::to_string(c.naks) +
         ",\"otherReplies\":" + std::to_string(c.otherReplies) +
         ",\"timeouts\":" + std::to_string(c.recoveries) +
         ",\"fullPasses\":" + std::to_string(c.fullPasses);
  out += ",\"recordsReceived\":" + std::to_string(h.recordsReceived) +
         ",\"recordsDropped\":" + std::to_string(h.recordsDropped) +
         ",\"timingBytesDropped\":" + std::to_string(h.timingBytesDropped) +
         ",\"transmitterBytesNotSent\":" + std::to_string(h.transmitterBytesNotSent);
  out += ",\"reconnects\":{\"transmitterLine\":" + std::to_string(h.transmitterReopens) +
         ",\"timingLine\":" + std::to_string(h.timingReopens) +
         ",\"timingNetwork\":" + std::to_string(h.timingReconnects) + "}";
  out += ",\"faults\":" + std::to_string(h.faults);
  out += ",\"statusLine\":" + JsonString(h.statusLine);
  out += ",\"web\":{\"connections\":" + std::to_string(web.connections) +
         ",\"eventStreams\":" + std::to_string(web.eventStreams) +
         ",\"requests\":" + std::to_string(web.requests) +
         ",\"refused\":" + std::to_string(web.refused) +
         ",\"dropped\":" + std::to_string(web.dropped) +
         ",\"acceptFailures\":" + std::to_string(web.acceptFailures) +
         ",\"cardSequence\":" + std::to_string(web.cardSequence) + "}}";
  return out;
}

std::string StatusHtml(const HealthSnapshot& h, const WebFigures& web) {
  std::string out =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<meta http-equiv=\"refresh\" content=\"2\"><title>TorvaneTX link health</title><style>"
      "body{font-family:sans-serif;background:#111;color:#eee;margin:1em}"
      "th{text-align:left;padding-right:1em;font-weight:normal;color:#aaa}"
      ".up{color:#6f6}.down{color:#f66}.lamp{padding:0 .4em;border-radius:.3em}"
      ".on{background:#2a2;color:#000}.off{background:#333}a{color:#8cf}"
      "</style></head><body><h1>Link health</h1><table>\n";
  const auto row = [&out](const std::string& name, const std::string& value) {
    out += "<tr><th>" + Html(name) + "</th><td>" + value + "</td></tr>\n";
  };
  for (const HealthRow& r : HealthRows(h)) {
    std::string value;
    if (!r.lamps.empty()) {
      for (const auto& [caption, lit] : r.lamps) {
        value += std::string("<span class=\"lamp ") + (lit ? "on" : "off") + "\">" + Html(caption) +
                 "</span> ";
      }
    } else if (r.tone == HealthRow::Tone::kPlain) {
      value = Html(r.value);
    } else {
      value = std::string("<span class=\"") + (r.tone == HealthRow::Tone::kUp ? "up" : "down") +
              "\">" + Html(r.value) + "</span>";
    }
    row(r.name, value);
  }
  row("Viewers", std::to_string(web.eventStreams));
  out +=
      "</table><p><a href=\"/\">The cards</a> · <a href=\"/status.json\">JSON</a> · "
      "<a href=\"/metrics\">metrics</a></p></body></html>\n";
  return out;
}

std::string MetricsText(const HealthSnapshot& h, const WebFigures& web) {
  std::string out;
  const auto gauge = [&out](const char* name, const char* help, const std::string& value) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + name +
           " " + value + "\n";
  };
  for (const Counter& c : Counters(h, web)) {
    out += std::string("# HELP ") + c.name + " " + c.help + "\n# TYPE " + c.name + " counter\n" +
           c.name + " " + std::to_string(c.value) + "\n";
  }
  out +=
      "# HELP torvane_line_reopens_total Times a lost serial line came back.\n"
      "# TYPE torvane_line_reopens_total counter\n"
      "torvane_line_reopens_total{link=\"transmitter\"} " +
      std::to_string(h.transmitterReopens) + "\ntorvane_line_reopens_total{link=\"timing\"} " +
      std::to_string(h.timingReopens) + "\n";
  out +=
      "# HELP torvane_link_open Whether a link is open (1) or not (0).\n"
      "# TYPE torvane_link_open gauge\n";
  for (const auto& [name, link] :
       {std::pair<const char*, const LinkHealth*>{"transmitter", &h.transmitter},
        {"timing", &h.timing}}) {
    out += std::string("torvane_link_open{link=\"") + name + "\",kind=\"" + Label(link->kind) +
           "\"} " + (link->open ? "1" : "0") + "\n";
  }
  out +=
      "# HELP torvane_lamp Status lamps, 1 lit.\n"
      "# TYPE torvane_lamp gauge\n";
  for (const auto& [name, on] : {std::pair<const char*, bool>{"page_hold", h.lamps.pageHold},
                                 {"ack", h.lamps.ack},
                                 {"nak", h.lamps.nak},
                                 {"timing_system", h.lamps.timingSystem}}) {
    out += std::string("torvane_lamp{lamp=\"") + name + "\"} " + (on ? "1" : "0") + "\n";
  }
  gauge("torvane_buffer_position", "Address the cyclic pass sends next.",
        std::to_string(h.lamps.bufferPosition));
  gauge("torvane_last_full_pass_seconds", "How long the last full pass took.",
        Number(h.lastFullPassMs / 1000.0));
  gauge("torvane_last_full_pass_wire_seconds", "The wire's own time for the last full pass.",
        Number(h.lastFullPassWireMs / 1000.0));
  gauge("torvane_uptime_seconds", "Time since the station started.", Number(h.uptimeMs / 1000.0));
  gauge("torvane_web_connections", "Open web view connections.", std::to_string(web.connections));
  gauge("torvane_web_viewers", "Live card streams.", std::to_string(web.eventStreams));
  gauge("torvane_card_sequence", "Sequence of the cards last sent.",
        std::to_string(web.cardSequence));
  return out;
}

}  // namespace torvane
