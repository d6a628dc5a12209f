#include "RegValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace torvane {
namespace {

constexpr int kRegSzType = 1;
constexpr int kRegDwordType = 4;
constexpr int kRegDateType = 8;

// Days from 1970-01-01 to 1899-12-30, the day an OLE date counts from.
constexpr int64_t kOleEpochDays = -25569;
// 0100-01-01 and the day after 9999-12-31, in OLE days.
constexpr double kOleFirstDay = -657434.0;
constexpr double kOleEndDay = 2958466.0;
constexpr int64_t kSecondsPerDay = 86400;

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string LittleEndian(uint64_t bits, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return bytes;
}

uint64_t FromLittleEndian(std::string_view bytes) {
  uint64_t bits = 0;
  for (size_t i = bytes.size(); i-- > 0;) bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
  return bits;
}

RegValue DwordValue(int32_t number) {
  return {kRegDwordType, LittleEndian(static_cast<uint32_t>(number), 4)};
}

RegValue DateValue(double oleDate) {
  uint64_t bits = 0;
  std::memcpy(&bits, &oleDate, sizeof bits);
  return {kRegDateType, LittleEndian(bits, 8)};
}

// Proleptic Gregorian calendar, days relative to 1970-01-01.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

int DaysInMonth(int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at text[pos].
bool ReadDigits(std::string_view text, size_t& pos, size_t digits, int& out) {
  if (pos + digits > text.size()) return false;
  out = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += digits;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

int32_t DecimalTextToInt32(std::string_view text) {
  text = TrimSpaces(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 4294967295LL) return 0;
  }
  if (negative) {
    if (magnitude > 2147483648LL) return 0;
    return static_cast<int32_t>(-magnitude);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
}

std::optional<std::string> OleDateToText(double oleDate) {
  if (!std::isfinite(oleDate) || oleDate <= kOleFirstDay - 1.0 || oleDate >= kOleEndDay) {
    return std::nullopt;
  }
  const double whole = std::trunc(oleDate);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(oleDate - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++days;
  }
  int64_t year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(days + kOleEpochDays, year, month, day);
  if (year < 100 || year > 9999) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(year), month,
                day, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return std::string(text);
}

std::optional<double> OleDateFromText(std::string_view text) {
  text = TrimSpaces(text);
  size_t pos = 0;
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!ReadDigits(text, pos, 4, year) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, month) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, day)) {
    return std::nullopt;
  }
  if (pos < text.size()) {
    if (!Expect(text, pos, ' ') || !ReadDigits(text, pos, 2, hour) || !Expect(text, pos, ':') ||
        !ReadDigits(text, pos, 2, minute)) {
      return std::nullopt;
    }
    if (pos < text.size() && (!Expect(text, pos, ':') || !ReadDigits(text, pos, 2, second))) {
      return std::nullopt;
    }
    if (pos != text.size()) return std::nullopt;
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  const auto days = static_cast<double>(DaysFromCivil(year, month, day) - kOleEpochDays);
  const double fraction =
      (hour * 3600 + minute * 60 + second) / static_cast<double>(kSecondsPerDay);
  return days >= 0 ? days + fraction : days - fraction;
}

std::optional<RegValue> ValueFromText(std::string_view text, int valueType) {
  switch (valueType) {
    case kRegSzType:
      return RegValue{kRegSzType, std::string(text)};
    case kRegDwordType:
      return DwordValue(DecimalTextToInt32(text));
    case kRegDateType: {
      const std::string_view trimmed = TrimSpaces(text);
      double number = 0;
      const auto [end, error] =
          std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), number);
      if (!trimmed.empty() && error == std::errc() && end == trimmed.data() + trimmed.size() &&
          std::isfinite(number)) {
        return DateValue(number);
      }
      if (const auto date = OleDateFromText(trimmed)) return DateValue(*date);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<RegValue> ValueFromNumber(int32_t number, int valueType) {
  switch (valueType) {
    case kRegSzType:
      return RegValue{kRegSzType, std::to_string(number)};
    case kRegDwordType:
      return DwordValue(number);
    case kRegDateType:
      return DateValue(number);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ValueToText(const RegValue& value) {
  switch (value.type) {
    case kRegSzType:
      if (value.data.empty()) return std::nullopt;
      return value.data;
    case kRegDwordType:
      if (value.data.size() != 4) return std::nullopt;
      return std::to_string(
          static_cast<int32_t>(static_cast<uint32_t>(FromLittleEndian(value.data))));
    case kRegDateType: {
      if (value.data.size() != 8) return std::nullopt;
      const uint64_t bits = FromLittleEndian(value.data);
      double oleDate = 0;
      std::memcpy(&oleDate, &bits, sizeof oleDate);
      return OleDateToText(oleDate);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace torvane
