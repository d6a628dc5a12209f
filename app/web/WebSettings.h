// Where the web view serves: the values Port (0, the default, leaves it off)
// and Bind (default 127.0.0.1; 0.0.0.0 serves every network the station is on)
// under SOFTWARE\TorvaneTX\Web, or --web PORT[:BIND] on the command line.
#ifndef TORVANE_APP_WEB_WEBSETTINGS_H_
#define TORVANE_APP_WEB_WEBSETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

class SettingsStore;

inline constexpr std::string_view kWebKey = "SOFTWARE\\TorvaneTX\\Web\\";

struct WebSettings {
  uint16_t port = 0;
  std::string bind = "127.0.0.1";

  bool On() const { return port != 0; }
};

// A Port that is not a number in 0..65535 leaves the view off and says so in
// *problem.
WebSettings LoadWebSettings(const SettingsStore& settings, std::string* problem);
// "PORT" or "PORT:BIND"; nothing when it is neither.
std::optional<WebSettings> ParseWebAddress(std::string_view text);

}  // namespace torvane

#endif  // TORVANE_APP_WEB_WEBSETTINGS_H_
