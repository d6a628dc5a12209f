#include "PageFile.h"

#include <algorithm>

#include "AnsiText.h"
#include "Utf8.h"

namespace torvane {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Valid UTF-8 with at least one character beyond ASCII.
bool IsUtf8BeyondAscii(std::string_view text) {
  const bool beyondAscii = std::any_of(
      text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return beyondAscii && IsValidUtf8(text);
}

void SplitLine(std::string_view line, std::vector<std::string>& fields) {
  size_t i = 0;
  while (true) {
    size_t quote = i;
    while (quote < line.size() && (line[quote] == ' ' || line[quote] == '\t')) ++quote;
    if (quote < line.size() && line[quote] == '"') {
      i = quote;
      const size_t close = line.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? line.size() : close;
      fields.emplace_back(line.substr(i + 1, end - i - 1));
      // Whatever stands between the closing quote and the next comma is dropped.
      const size_t comma = close == std::string_view::npos ? close : line.find(',', close);
      if (comma == std::string_view::npos) return;
      i = comma + 1;
      continue;
    }
    const size_t comma = line.find(',', i);
    fields.emplace_back(line.substr(i, comma == std::string_view::npos ? comma : comma - i));
    if (comma == std::string_view::npos) return;
    i = comma + 1;
  }
}

}  // namespace

std::string PageFileText(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    return Utf8ToAnsi(bytes.substr(kUtf8Bom.size()));
  }
  if (IsUtf8BeyondAscii(bytes)) return Utf8ToAnsi(bytes);
  return std::string(bytes);
}

std::vector<std::string> ReadPageFile(std::string_view bytes) {
  return ReadPageFields(PageFileText(bytes));
}

std::vector<std::string> ReadPageFields(std::string_view text) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    SplitLine(text.substr(start, end - start), fields);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return fields;
}

std::string WritePageLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace torvane
