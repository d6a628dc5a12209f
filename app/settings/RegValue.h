// One stored value as the registry keeps it: a type number and raw bytes. This
// file also holds the conversions between the values that callers write and
// read (text, numbers, dates) and those bytes.
#ifndef TORVANE_APP_SETTINGS_REGVALUE_H_
#define TORVANE_APP_SETTINGS_REGVALUE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

struct RegValue {
  uint32_t type = 0;
  // Type 1: the single-byte text without a terminating NUL (it may hold NULs).
  // Type 4: 4 bytes, little-endian. Type 8: an 8-byte little-endian double.
  // Any other type: the bytes exactly as they were read from a file.
  std::string data;

  bool operator==(const RegValue&) const = default;
};

// The value that writing text with valueType stores; nullopt when that type
// stores nothing (a type other than 1, 4, 8, or type 8 with a text that is neither
// a number nor a date text).
std::optional<RegValue> ValueFromText(std::string_view text, int valueType);
// The same for a number: type 1 stores its decimal text, type 4 the number,
// type 8 the date that many days after 1899-12-30.
std::optional<RegValue> ValueFromNumber(int32_t number, int valueType);

// What a read yields: the text, the number in decimal, the date as
// "YYYY-MM-DD HH:MM:SS"; nullopt for an empty text, another type, or data of the
// wrong size or out of the date range.
std::optional<std::string> ValueToText(const RegValue& value);

// The decimal value of text (surrounding spaces allowed, -2147483648..4294967295,
// values above 2147483647 wrap as the registry's unsigned 32 bits do); 0 when the
// text is not such a number.
int32_t DecimalTextToInt32(std::string_view text);

// OLE automation dates: days since 1899-12-30 00:00, the fraction the time of day
// (for days before the epoch the fraction still counts forward from midnight).
// The text form is "YYYY-MM-DD HH:MM:SS", rounded to the second, for years 100..9999.
std::optional<std::string> OleDateToText(double oleDate);
// Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS".
std::optional<double> OleDateFromText(std::string_view text);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_REGVALUE_H_
