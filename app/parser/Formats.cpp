#include "Formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace torvane {
namespace {

size_t Width(int width) { return static_cast<size_t>(std::max(width, 0)); }

std::string PadWith(std::string_view text, int width, char fill) {
  std::string padded(text);
  if (padded.size() < Width(width)) padded.resize(Width(width), fill);
  return padded;
}

std::string FitWith(std::string_view text, int width, char fill) {
  const std::string_view kept = text.substr(0, Width(width));
  return std::string(Width(width) - kept.size(), fill) + std::string(kept);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number split into its digits; no leading zeros removed yet.
struct DecimalDigits {
  bool negative = false;
  std::string integer;
  std::string fraction;
};

std::optional<DecimalDigits> ParseDecimal(std::string_view text) {
  text = TrimSpaces(text);
  if (text.empty()) return std::nullopt;
  DecimalDigits number;
  if (text.front() == '+' || text.front() == '-') {
    number.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const size_t point = text.find('.');
  const std::string_view integer = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (integer.empty() && fraction.empty()) return std::nullopt;
  if (!std::all_of(integer.begin(), integer.end(), IsDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
    return std::nullopt;
  }
  number.integer = integer;
  number.fraction = fraction;
  return number;
}

struct PatternShape {
  size_t minInteger = 0;
  size_t minDecimals = 0;
  size_t maxDecimals = 0;
};

PatternShape ShapeOf(std::string_view pattern) {
  PatternShape shape;
  const size_t point = pattern.find('.');
  const std::string_view integer = pattern.substr(0, point);
  shape.minInteger = static_cast<size_t>(std::count(integer.begin(), integer.end(), '0'));
  if (point != std::string_view::npos) {
    const std::string_view decimals = pattern.substr(point + 1);
    shape.minDecimals = static_cast<size_t>(std::count(decimals.begin(), decimals.end(), '0'));
    shape.maxDecimals = decimals.size();
  }
  return shape;
}

// Adds one unit in the last place of a digit string; "999" becomes "1000".
void Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

std::string Render(DecimalDigits number, const PatternShape& shape) {
  // Halves go away from zero: the digit after the last kept place decides alone,
  // because the magnitude is rounded and the sign put back afterwards.
  const bool roundUp =
      number.fraction.size() > shape.maxDecimals && number.fraction[shape.maxDecimals] >= '5';
  number.fraction.resize(shape.maxDecimals, '0');
  std::string digits = number.integer + number.fraction;
  if (roundUp) Increment(digits);

  std::string integer = digits.substr(0, digits.size() - shape.maxDecimals);
  std::string fraction = digits.substr(digits.size() - shape.maxDecimals);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  if (integer.size() < shape.minInteger) integer.insert(0, shape.minInteger - integer.size(), '0');
  while (fraction.size() > shape.minDecimals && fraction.back() == '0') fraction.pop_back();

  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  std::string text = number.negative && !zero ? "-" : "";
  text += integer;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

// The shortest fixed-point text that reads back as value (all integer digits of
// a large one); nullopt if not finite.
std::optional<DecimalDigits> ShortestDigits(float value) {
  if (!std::isfinite(value)) return std::nullopt;
  char buffer[128];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (error != std::errc()) return std::nullopt;
  return ParseDecimal(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

}  // namespace

std::string PadRight(std::string_view text, int width) { return PadWith(text, width, ' '); }
std::string PadRightUnderscore(std::string_view text, int width) {
  return PadWith(text, width, '_');
}
std::string FitRight(std::string_view text, int width) { return FitWith(text, width, ' '); }
std::string FitRightUnderscore(std::string_view text, int width) {
  return FitWith(text, width, '_');
}

std::string_view TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsNumeric(std::string_view text) { return ParseDecimal(text).has_value(); }

std::optional<float> ToSingle(std::string_view text) {
  const std::optional<DecimalDigits> number = ParseDecimal(text);
  if (!number) return std::nullopt;
  const std::string plain = "0" + number->integer + "." + number->fraction + "0";
  float value = 0;
  const auto [end, error] =
      std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Underflow reads as zero; anything else out of range is too large.
    if (number->integer.find_first_not_of('0') != std::string::npos) return std::nullopt;
    value = 0;
  } else if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return number->negative ? -value : value;
}

std::optional<int16_t> ToInt16(std::string_view text) {
  const std::optional<DecimalDigits> number = ParseDecimal(text);
  if (!number) return std::nullopt;
  const std::string whole = Render(*number, PatternShape{1, 0, 0});
  int value = 0;
  const auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
  if (error != std::errc() || end != whole.data() + whole.size()) return std::nullopt;
  if (value < -32768 || value > 32767) return std::nullopt;
  return static_cast<int16_t>(value);
}

std::string FormatText(std::string_view text, std::string_view pattern) {
  const std::optional<DecimalDigits> number = ParseDecimal(text);
  if (!number) return std::string(text);
  return Render(*number, ShapeOf(pattern));
}

std::string FormatSingle(float value, std::string_view pattern) {
  const std::optional<DecimalDigits> number = ShortestDigits(value);
  if (!number) return {};
  return Render(*number, ShapeOf(pattern));
}

float RoundSingle(float value, int decimals) {
  const std::optional<DecimalDigits> number = ShortestDigits(value);
  if (!number) return value;
  PatternShape shape;
  shape.minInteger = 1;
  shape.maxDecimals = static_cast<size_t>(std::max(decimals, 0));
  return ToSingle(Render(*number, shape)).value_or(value);
}

}  // namespace torvane
