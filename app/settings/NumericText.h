// Numbers stored as text in the settings: what counts as numeric and how such a
// text becomes a 16-bit integer.
#ifndef TORVANE_APP_SETTINGS_NUMERICTEXT_H_
#define TORVANE_APP_SETTINGS_NUMERICTEXT_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace torvane {

// The value of a decimal number text: optional surrounding spaces, an optional
// sign, digits with an optional decimal point (at least one digit). nullopt for
// anything else, the missing-value marker included. Independent of the locale.
std::optional<double> NumericValue(std::string_view text);

// The numeric value rounded to the nearest integer (halves to even), or nullopt
// when the text is not numeric or the value lies outside -32768..32767.
std::optional<int16_t> NumericInt16(std::string_view text);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_NUMERICTEXT_H_
