// Every key and value name the program keeps in the HKEY_CURRENT_USER hive. Key
// paths are relative to the hive and end with '\'. Numbers inside names are
// decimal, without leading zeros or spaces. The owners of the values define what
// they mean and the defaults they apply when a value reads as kNoKeyValue; every
// value is text (type 1) except kDelayEverything, a type 4 number.
#ifndef TORVANE_APP_SETTINGS_SETTINGSKEYS_H_
#define TORVANE_APP_SETTINGS_SETTINGSKEYS_H_

#include <string>
#include <string_view>

namespace torvane {

// Keys.
inline constexpr std::string_view kSoftwareKey = "SOFTWARE\\TorvaneTX\\";
inline constexpr std::string_view kMainKey = "SOFTWARE\\TorvaneTX\\Main\\";
inline constexpr std::string_view kScreenSettingsKey =
    "SOFTWARE\\TorvaneTX\\Main\\ScreenSettings\\";
inline constexpr std::string_view kTimingSystemKey = "SOFTWARE\\TorvaneTX\\TimingSystem\\";
inline constexpr std::string_view kTransmitterKey = "SOFTWARE\\TorvaneTX\\Transmitter\\";
inline constexpr std::string_view kPageSettingsKey = "SOFTWARE\\TorvaneTX\\PageSettings\\";
inline constexpr std::string_view kTickerKey = "SOFTWARE\\TorvaneTX\\PageSettings\\Ticker\\";
inline constexpr std::string_view kClassListingKey =
    "SOFTWARE\\TorvaneTX\\PageSettings\\ClassListing\\";
// Device paths of serial ports: value "COM<n>" overrides /dev/ttyS<n-1>.
inline constexpr std::string_view kPortsKey = "SOFTWARE\\TorvaneTX\\Ports\\";
// Under kTransmitterKey: "0" keeps the serial driver's low-latency mode off;
// anything else, or nothing, asks for it.
inline constexpr std::string_view kLowLatency = "LowLatency";
// Under kTimingSystemKey and kTransmitterKey: whether a link that is lost
// comes back on its own. "1" on, "0" off; nothing (or anything else) means on
// for the transmitter and off for the timing system. A serial line is opened
// again once its device path is back; the timing system over TCP is
// connected again after 1 s, then 2, 4 ... up to 30 s between tries.
inline constexpr std::string_view kReconnect = "Reconnect";

// Under kSoftwareKey: the folder of the page file last opened or saved.
inline constexpr std::string_view kPageFiles = "PageFiles";

// Under kMainKey.
inline constexpr std::string_view kDelayEverything = "DelayEverything";  // type 4: 0 off, 1 on
inline constexpr std::string_view kVenueId = "VenueID";
inline constexpr std::string_view kPageDelay = "PageDelay";

// Under kScreenSettingsKey: the main window's background colour, decimal.
inline constexpr std::string_view kBackColor = "BackColor";

// Under kTimingSystemKey and kTransmitterKey: values "0" .. "7", one per field
// of the link settings (IndexValueName).
inline constexpr int kLinkFieldCount = 8;

// Under kTickerKey: values "0" .. "19", the ticker texts in list order; an empty
// text ends the list.
inline constexpr int kMaxTickerEntries = 20;

// Under kPageSettingsKey.
inline constexpr std::string_view kMaxPages = "MaxPages";

// Under each page's key (PageKey): title, size and lines ("L"/"P" + line number).
inline constexpr std::string_view kTitle = "Title";
inline constexpr std::string_view kPageSize = "PageSize";
inline constexpr std::string_view kLinkPrefix = "L";
inline constexpr std::string_view kTextPrefix = "P";

// Under each page's key: colour indexes 0..15, area name + "ForeColor"/"BackColor".
inline constexpr std::string_view kTitleArea = "Title";
inline constexpr std::string_view kCursorArea = "Cursor";
inline constexpr std::string_view kPageArea = "Page";
inline constexpr std::string_view kTickerArea = "Ticker";
inline constexpr std::string_view kForeColorSuffix = "ForeColor";
inline constexpr std::string_view kBackColorSuffix = "BackColor";
inline constexpr std::string_view kTitleForeColor = "TitleForeColor";
inline constexpr std::string_view kTitleBackColor = "TitleBackColor";
inline constexpr std::string_view kCursorForeColor = "CursorForeColor";
inline constexpr std::string_view kCursorBackColor = "CursorBackColor";
inline constexpr std::string_view kPageForeColor = "PageForeColor";
inline constexpr std::string_view kPageBackColor = "PageBackColor";
inline constexpr std::string_view kTickerForeColor = "TickerForeColor";
inline constexpr std::string_view kTickerBackColor = "TickerBackColor";

// Page 2, the category index, holds the race settings.
inline constexpr int kCategoryPage = 2;
// Under PageKey(kCategoryPage): the active category's position in the list.
inline constexpr std::string_view kActiveCategory = "ActiveCategory";
// Under each category's key (CategoryKey).
inline constexpr std::string_view kHeadsUp = "HeadsUp";  // "1" or "0"
inline constexpr std::string_view kRoundNumber = "RoundNumber";
inline constexpr std::string_view kClass = "Class";
inline constexpr std::string_view kRaceType = "RaceType";

// Under kClassListingKey: values "0", "1", ... (IndexValueName), the class names
// in index order; the list ends at the first missing value.

// A value named by a plain decimal number ("0", "1", ...).
std::string IndexValueName(int index);

// "SOFTWARE\TorvaneTX\PageSettings\<page>\".
std::string PageKey(int page);

// "SOFTWARE\TorvaneTX\PageSettings\2\<category>\".
std::string CategoryKey(std::string_view category);

// "L<line>": the link of a page line.
std::string LinkValueName(int line);

// "P<line>": the text of a page line.
std::string TextValueName(int line);

// area (kTitleArea ...) + "ForeColor" or "BackColor".
std::string ColorValueName(std::string_view area, bool background);

// "COM<n>" under kPortsKey.
std::string ComPortValueName(int port);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_SETTINGSKEYS_H_
