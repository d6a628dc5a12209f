#include "ImageJson.h"

#include <cstdio>

#include "AnsiText.h"

namespace torvane {
namespace {

void Field(std::string& out, std::string_view name) {
  if (out.back() != '{') out += ',';
  out += '"';
  out += name;
  out += "\":";
}

void Number(std::string& out, std::string_view name, int value) {
  Field(out, name);
  out += std::to_string(value);
}

void Bool(std::string& out, std::string_view name, bool value) {
  Field(out, name);
  out += value ? "true" : "false";
}

void Text(std::string& out, std::string_view name, std::string_view value) {
  Field(out, name);
  out += JsonString(value);
}

void Page(std::string& out, const DecodedPage& page) {
  out += '{';
  Number(out, "number", page.number);
  Number(out, "address", page.address);
  Number(out, "rows", page.rows);
  Number(out, "cursorColour", page.cursorColour);
  Number(out, "titleColour", page.titleColour);
  Number(out, "pageColour", page.pageColour);
  Number(out, "flags", page.flags);
  Number(out, "dayOfYear", page.dayOfYear);
  Text(out, "title", page.title);
  Field(out, "lines");
  out += '[';
  for (size_t i = 0; i < page.lines.size(); ++i) {
    if (i > 0) out += ',';
    out += '{';
    Text(out, "text", page.lines[i].text);
    Number(out, "link", page.lines[i].link);
    out += '}';
  }
  out += "]}";
}

}  // namespace

std::string JsonString(std::string_view text) {
  const std::string utf8 = AnsiToUtf8(text);
  std::string out = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string ToJson(const DecodedImage& image) {
  std::string out = "{";
  Bool(out, "tickerRunning", image.tickerRunning);
  Number(out, "tickerAddress", image.tickerAddress);
  Bool(out, "tickerStopped", image.tickerStopped);
  Number(out, "tickerColour", image.tickerColour);
  Number(out, "mapEnd", image.mapEnd);
  Field(out, "pages");
  out += '[';
  for (size_t i = 0; i < image.pages.size(); ++i) {
    if (i > 0) out += ',';
    Page(out, image.pages[i]);
  }
  out += ']';
  Text(out, "ticker", image.ticker);
  Field(out, "badChecksums");
  out += '[';
  for (size_t i = 0; i < image.badChecksums.size(); ++i) {
    if (i > 0) out += ',';
    out += std::to_string(image.badChecksums[i]);
  }
  out += ']';
  Field(out, "problems");
  out += '[';
  for (size_t i = 0; i < image.problems.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(image.problems[i]);
  }
  out += "]}";
  return out;
}

}  // namespace torvane
