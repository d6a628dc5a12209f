// A decoded image as JSON, for tools and tests that read what a card holds.
#ifndef TORVANE_APP_MEMMAP_IMAGEJSON_H_
#define TORVANE_APP_MEMMAP_IMAGEJSON_H_

#include <string>
#include <string_view>

#include "ImageDecoder.h"

namespace torvane {

// text (single-byte, Windows-1252) as a quoted JSON string in UTF-8, with
// quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text);

// One line: {"tickerRunning":…,"tickerAddress":…,"pages":[{"number":…,
// "address":…,"rows":…,"cursorColour":…,"titleColour":…,"pageColour":…,
// "flags":…,"dayOfYear":…,"title":"…","lines":[{"text":"…","link":…}]}],
// "ticker":"…","badChecksums":[…]} plus "tickerStopped", "tickerColour",
// "mapEnd" and "problems":["…"].
std::string ToJson(const DecodedImage& image);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_IMAGEJSON_H_
