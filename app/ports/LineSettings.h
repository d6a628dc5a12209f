// The settings text of a serial line, "9600,N,8,1": baud rate, parity letter,
// data bits, stop bits.
#ifndef TORVANE_APP_PORTS_LINESETTINGS_H_
#define TORVANE_APP_PORTS_LINESETTINGS_H_

#include <optional>
#include <string>
#include <string_view>

#include "Globals.h"

namespace torvane {

struct LineSettings {
  int baudRate = 9600;
  char parity = 'N';  // N, O, E, M or S
  int dataBits = 8;   // 4..8
  int stopBits = 1;   // 1 or 2
};

// The text a link's list positions stand for; a position outside its list adds
// nothing between the commas. BitsPerSecond 5, Parity 0, DataBits 4, StopBits 0
// give "9600,N,8,1".
std::string FormSettingsText(const LinkSettings& link);

// The settings a line can use, or nothing for a text it must refuse.
std::optional<LineSettings> ParseSettingsText(std::string_view text);

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_LINESETTINGS_H_
