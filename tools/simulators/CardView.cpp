#include "CardView.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "ImageLayout.h"

namespace torvane::sim {
namespace {

std::string Shown(const std::string& bytes) {
  std::string out = bytes;
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b > 126) c = '.';
  }
  return out;
}

std::string Hex(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

double Milliseconds(Duration d) { return static_cast<double>(d.count()) / 1e6; }

}  // namespace

std::string FormatCardPage(const DecodedImage& image, int pageNumber) {
  const auto found = std::find_if(image.pages.begin(), image.pages.end(),
                                  [&](const DecodedPage& p) { return p.number == pageNumber; });
  if (found == image.pages.end()) {
    return "page " + std::to_string(pageNumber) + ": not in the index table (" +
           std::to_string(image.pages.size()) + " pages)\n";
  }
  const DecodedPage& page = *found;
  auto bad = [&](int rowStart) {
    return std::binary_search(image.badChecksums.begin(), image.badChecksums.end(),
                              rowStart + kRowChecksumByte);
  };
  std::string out = "page " + std::to_string(page.number) + " at " + std::to_string(page.address) +
                    ": " + std::to_string(page.rows) + " rows, colours " + Hex(page.cursorColour) +
                    " " + Hex(page.titleColour) + " " + Hex(page.pageColour) + ", flags " +
                    Hex(page.flags) + ", day " + std::to_string(page.dayOfYear) +
                    (bad(HeaderRowAddress(page.address)) ? " !" : "") + "\n";
  out += "title \"" + Shown(page.title) + "\"" + (bad(TitleRowAddress(page.address)) ? " !" : "") +
         "\n";
  const std::string rule = "+" + std::string(kRowPayload, '-') + "+\n";
  out += rule;
  for (size_t j = 0; j < page.lines.size(); ++j) {
    const DecodedLine& line = page.lines[j];
    out += "|" + Shown(line.text) + "| " + std::to_string(line.link);
    if (bad(LineRowAddress(page.address, static_cast<int>(j)))) out += " !";
    out += "\n";
  }
  out += rule;
  out += "end of page " + std::to_string(page.number) + "\n";
  return out;
}

std::string FormatStatsLine(const TransmitterStats& now, const TransmitterStats& before,
                            Duration elapsed) {
  const double seconds = static_cast<double>(elapsed.count()) / 1e9;
  const double rate =
      seconds > 0 ? static_cast<double>(now.packets - before.packets) / seconds : 0.0;
  const double meanLatency =
      now.changedRows > 0 ? Milliseconds(now.rowLatencyTotal) / static_cast<double>(now.changedRows)
                          : 0.0;
  char line[640];
  std::snprintf(line, sizeof line,
                "stats: packets %" PRId64 " (%.1f/s), stored %" PRId64 ", ack %" PRId64
                ", esc %" PRId64 ", nak %" PRId64 " (forced %" PRId64 "), bad %" PRId64
                " (checksum %" PRId64 ", venue %" PRId64 ", address %" PRId64
                "), unaligned %" PRId64 ", stray bytes %" PRId64 ", truncated %" PRId64
                ", dropped %" PRId64 ", garbled %" PRId64 ", ignored %" PRId64 ", passes %" PRId64
                ", last pass %.3f s, changed rows %" PRId64
                " (latency mean %.1f ms, max %.1f ms, pending %" PRId64 ")\n",
                now.packets, rate, now.stored, now.acks, now.escs, now.naks, now.forcedNaks,
                now.badChecksum + now.wrongVenue + now.badAddress, now.badChecksum, now.wrongVenue,
                now.badAddress, now.unaligned, now.strayBytes, now.truncated, now.dropped,
                now.garbled, now.ignoredSilent, now.passes, Milliseconds(now.lastPass) / 1000.0,
                now.changedRows, meanLatency, Milliseconds(now.rowLatencyMax), now.pendingRows);
  return line;
}

}  // namespace torvane::sim
