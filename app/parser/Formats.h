// Fixed-width text and number formats of the result, qualifying and ladder
// pages. Every operation returns a new text and leaves its argument alone.
#ifndef TORVANE_APP_PARSER_FORMATS_H_
#define TORVANE_APP_PARSER_FORMATS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// Number patterns: "0" a digit always shown, "#" a digit shown only when it is
// significant, one "." between the integer and the decimal digits.
inline constexpr std::string_view kTimePattern = "#0.000#";  // reaction, 60 ft, +/-
inline constexpr std::string_view kDialPattern = "#0.00";    // dial-ins

// text followed by spaces (underscores) up to width; a longer text unchanged.
std::string PadRight(std::string_view text, int width);
std::string PadRightUnderscore(std::string_view text, int width);
// The first width characters of text, preceded by spaces (underscores) up to width.
std::string FitRight(std::string_view text, int width);
std::string FitRightUnderscore(std::string_view text, int width);

// text without leading and trailing spaces (only the space character).
std::string_view TrimSpaces(std::string_view text);

// A decimal number: optional surrounding spaces, an optional sign, digits with
// an optional decimal point, at least one digit. Nothing else (no exponent, no
// thousands separator), independent of the locale.
bool IsNumeric(std::string_view text);

// The numeric text as a single-precision number; nullopt when the text is not
// numeric or its value lies beyond the single-precision range.
std::optional<float> ToSingle(std::string_view text);

// The numeric text rounded to a whole number; nullopt when the text is not
// numeric or the result lies outside -32768..32767.
std::optional<int16_t> ToInt16(std::string_view text);

// A numeric text formatted with pattern, rounded from its exact decimal digits.
// Text that is not numeric comes back unchanged, as a number format gives back
// what is not a number.
std::string FormatText(std::string_view text, std::string_view pattern);

// value formatted with pattern, rounded from the shortest decimal form that
// reads back as the same single-precision number (so 10.62f - 10.5f, stored as
// 0.11999989, rounds as 0.11999989 and 0.1f rounds as 0.1). A value that is
// not finite gives an empty text.
std::string FormatSingle(float value, std::string_view pattern);

// value rounded to decimals places from its shortest decimal form.
float RoundSingle(float value, int decimals);

// Every rounding here takes halves away from zero (0.00045 to 4 places is
// 0.0005, -2.5 to 0 places is -3) and never shows a minus sign on a result
// that rounds to zero.

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_FORMATS_H_
