#include "WebSettings.h"

#include <charconv>

#include "SettingsStore.h"

namespace torvane {
namespace {

std::optional<uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(value);
}

}  // namespace

WebSettings LoadWebSettings(const SettingsStore& settings, std::string* problem) {
  WebSettings web;
  const std::string port = settings.ReadSetting(kWebKey, "Port");
  if (port != kNoKeyValue) {
    if (const std::optional<uint16_t> value = ParsePort(port)) {
      web.port = *value;
    } else {
      *problem = "web view off: Port \"" + port + "\" is not a port number";
    }
  }
  const std::string bind = settings.ReadSetting(kWebKey, "Bind");
  if (bind != kNoKeyValue) web.bind = bind;
  return web;
}

std::optional<WebSettings> ParseWebAddress(std::string_view text) {
  WebSettings web;
  const size_t colon = text.find(':');
  const std::optional<uint16_t> port = ParsePort(text.substr(0, colon));
  if (!port || *port == 0) return std::nullopt;
  web.port = *port;
  if (colon != std::string_view::npos) {
    web.bind = std::string(text.substr(colon + 1));
    if (web.bind.empty()) return std::nullopt;
  }
  return web;
}

}  // namespace torvane
