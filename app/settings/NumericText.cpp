#include "NumericText.h"

#include <charconv>
#include <cmath>

namespace torvane {

std::optional<double> NumericValue(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);

  bool negative = false;
  if (text.front() == '+' || text.front() == '-') {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int digits = 0;
  int points = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || points > 1) return std::nullopt;

  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Too many digits either way: huge when a non-zero digit precedes the point.
    const std::string_view whole = text.substr(0, text.find('.'));
    value = whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

std::optional<int16_t> NumericInt16(std::string_view text) {
  const std::optional<double> value = NumericValue(text);
  if (!value) return std::nullopt;
  const double rounded = std::nearbyint(*value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

}  // namespace torvane
