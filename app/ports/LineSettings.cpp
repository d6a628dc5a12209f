#include "LineSettings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

namespace torvane {
namespace {

constexpr std::array<const char*, 9> kBitsPerSecond = {"110",  "300",  "600",   "1200", "2400",
                                                       "9600", "14400", "19200", "57600"};
constexpr std::array<const char*, 5> kParity = {"N", "O", "E", "M", "S"};
constexpr std::array<const char*, 5> kDataBits = {"4", "5", "6", "7", "8"};
constexpr std::array<const char*, 2> kStopBits = {"1", "2"};

// Rates a serial line accepts; the dialogs offer a subset.
constexpr std::array<int, 16> kUsableRates = {110,   300,   600,   1200,  2400,   4800,
                                              9600,  14400, 19200, 28800, 38400,  56000,
                                              57600, 115200, 128000, 256000};

template <size_t N>
const char* Choice(const std::array<const char*, N>& list, int16_t position) {
  return position >= 0 && static_cast<size_t>(position) < N ? list[static_cast<size_t>(position)]
                                                           : "";
}

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string FormSettingsText(const LinkSettings& link) {
  return std::string(Choice(kBitsPerSecond, link.BitsPerSecond)) + "," +
         Choice(kParity, link.Parity) + "," + Choice(kDataBits, link.DataBits) + "," +
         Choice(kStopBits, link.StopBits);
}

std::optional<LineSettings> ParseSettingsText(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos; start = comma + 1) {
    fields.push_back(text.substr(start, comma - start));
  }
  fields.push_back(text.substr(start));
  if (fields.size() != 4) return std::nullopt;

  LineSettings settings;
  const auto rate = Number(fields[0]);
  if (!rate || std::find(kUsableRates.begin(), kUsableRates.end(), *rate) == kUsableRates.end()) {
    return std::nullopt;
  }
  settings.baudRate = *rate;
  if (fields[1].size() != 1) return std::nullopt;
  const char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
  if (std::string_view("NOEMS").find(parity) == std::string_view::npos) return std::nullopt;
  settings.parity = parity;
  const auto dataBits = Number(fields[2]);
  if (!dataBits || *dataBits < 4 || *dataBits > 8) return std::nullopt;
  settings.dataBits = *dataBits;
  const auto stopBits = Number(fields[3]);
  if (!stopBits || (*stopBits != 1 && *stopBits != 2)) return std::nullopt;
  settings.stopBits = *stopBits;
  return settings;
}

}  // namespace torvane
