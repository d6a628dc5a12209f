#include "MemoryDump.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace torvane {
namespace {

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

std::optional<uint8_t> ByteValue(std::string_view line) {
  if (line.empty() || line.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 255) return std::nullopt;
  return static_cast<uint8_t>(value);
}

}  // namespace

std::string FormatMemoryDump(const MapImageBytes& image) {
  std::string text;
  text.reserve(static_cast<size_t>(kMemoryDumpLines) * 5);
  for (size_t a = 0; a < static_cast<size_t>(kMemoryDumpLines); ++a) {
    text += std::to_string(image[a]);
    text += "\r\n";
  }
  return text;
}

bool WriteMemoryDump(const std::string& path, const MapImageBytes& image, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    SetError(error, "cannot create " + path + ": " + std::strerror(errno));
    return false;
  }
  const std::string text = FormatMemoryDump(image);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) {
    SetError(error, "cannot write " + path);
    return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> ParseMemoryDump(std::string_view text, std::string* error) {
  std::vector<uint8_t> bytes;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::optional<uint8_t> value = ByteValue(line);
    if (!value) {
      SetError(error, "line " + std::to_string(lineNumber) + " is not a byte value 0..255");
      return std::nullopt;
    }
    bytes.push_back(*value);
  }
  return bytes;
}

std::optional<std::vector<uint8_t>> ReadImageFile(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    SetError(error, "cannot open " + path + ": " + std::strerror(errno));
    return std::nullopt;
  }
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) {
    SetError(error, "cannot read " + path);
    return std::nullopt;
  }
  const std::string data = content.str();
  if (data.size() == static_cast<size_t>(kMapImageSize)) {
    return std::vector<uint8_t>(data.begin(), data.end());
  }
  std::optional<std::vector<uint8_t>> bytes = ParseMemoryDump(data, error);
  if (!bytes && error != nullptr) *error = path + ": " + *error;
  return bytes;
}

}  // namespace torvane
