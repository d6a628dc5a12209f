#include "PageFile.h"

namespace torvane {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

void SplitLine(std::string_view line, std::vector<std::string>& fields) {
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == '"') {
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
    fields.emplace_back(Trim(line.substr(i, comma == std::string_view::npos ? comma : comma - i)));
    if (comma == std::string_view::npos) return;
    i = comma + 1;
  }
}

}  // namespace

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
