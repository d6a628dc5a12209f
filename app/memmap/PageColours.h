// The four colour areas of a page and their stored colour indexes: value names,
// defaults, and the load that turns missing values into stored defaults.
#ifndef TORVANE_APP_MEMMAP_PAGECOLOURS_H_
#define TORVANE_APP_MEMMAP_PAGECOLOURS_H_

#include <array>
#include <string>
#include <string_view>

namespace torvane {

class SettingsStore;

// In the order of the editor's area chooser.
enum class ColourArea { kPage = 0, kCursor = 1, kTitle = 2, kTicker = 3 };
inline constexpr int kColourAreaCount = 4;
inline constexpr int kPaletteSize = 16;

// "Page", "Cursor", "Title", "Ticker".
std::string_view AreaName(ColourArea area);
// The area name followed by "ForeColor" / "BackColor".
std::string ForeColorValue(ColourArea area);
std::string BackColorValue(ColourArea area);

// Palette indexes used where a page holds no (numeric) value.
int DefaultForeColour(ColourArea area);
int DefaultBackColour(ColourArea area);

// A page's colour indexes as stored after the load, indexed by ColourArea. An
// index outside 0..15 is kept as stored (the image counts it as 0); one beyond
// the 16-bit range reads as -1.
struct PageColours {
  std::array<int, kColourAreaCount> fore{};
  std::array<int, kColourAreaCount> back{};
};

// Reads the eight colour values of page's key in the order Title fore and back,
// Cursor, Page, Ticker; a value that is missing or not numeric becomes the
// area's default. Every value is then written back as it stands, so defaults
// become stored values.
PageColours LoadPageColours(SettingsStore& settings, int page);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_PAGECOLOURS_H_
