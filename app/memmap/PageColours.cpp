#include "PageColours.h"

#include <optional>

#include "NumericText.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

struct AreaDefaults {
  int fore;
  int back;
};

// Black on yellow lines, black on white links, white on red title, white on dark blue ticker.
constexpr std::array<AreaDefaults, kColourAreaCount> kDefaults = {{
    {0, 14},  // Page
    {0, 3},   // Cursor
    {3, 4},   // Title
    {3, 13},  // Ticker
}};

size_t Index(ColourArea area) { return static_cast<size_t>(area); }

// Reads one value, stores it back (the default when it is not numeric) and
// returns its index.
int LoadOne(SettingsStore& settings, const std::string& key, const std::string& valueName,
            int fallback) {
  std::string text = settings.ReadSetting(key, valueName);
  if (!NumericValue(text)) text = std::to_string(fallback);
  settings.WriteSetting(key, valueName, text, kRegSz);
  const std::optional<int16_t> index = NumericInt16(text);
  return index ? *index : -1;
}

}  // namespace

std::string_view AreaName(ColourArea area) {
  static constexpr std::array<std::string_view, kColourAreaCount> kNames = {
      kPageArea, kCursorArea, kTitleArea, kTickerArea};
  return kNames.at(Index(area));
}

std::string ForeColorValue(ColourArea area) { return ColorValueName(AreaName(area), false); }
std::string BackColorValue(ColourArea area) { return ColorValueName(AreaName(area), true); }

int DefaultForeColour(ColourArea area) { return kDefaults.at(Index(area)).fore; }
int DefaultBackColour(ColourArea area) { return kDefaults.at(Index(area)).back; }

PageColours LoadPageColours(SettingsStore& settings, int page) {
  const std::string key = PageKey(page);
  PageColours colours;
  for (ColourArea area :
       {ColourArea::kTitle, ColourArea::kCursor, ColourArea::kPage, ColourArea::kTicker}) {
    colours.fore[Index(area)] =
        LoadOne(settings, key, ForeColorValue(area), DefaultForeColour(area));
    colours.back[Index(area)] =
        LoadOne(settings, key, BackColorValue(area), DefaultBackColour(area));
  }
  return colours;
}

}  // namespace torvane
