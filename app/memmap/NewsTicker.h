// Starting and stopping the news ticker: the ticker globals and the ticker
// bytes of the image header.
#ifndef TORVANE_APP_MEMMAP_NEWSTICKER_H_
#define TORVANE_APP_MEMMAP_NEWSTICKER_H_

#include <cstdint>
#include <string_view>

#include "Globals.h"

namespace torvane {

class ImageBuilder;

// TickerText = text (single-byte, cut to 250 characters), TickerLength its
// length; BuildIndexTable, BuildImage; TxCursor = TickerAddress so the ticker
// goes out next; header bytes 256..259 = 'V', 'F', 'X', '!', 262 = 0 and
// 263 = the Ticker colour byte of colourPage (the page the editor shows).
void StartTicker(Globals& globals, ImageBuilder& builder, std::string_view text,
                 int16_t colourPage);

// TickerLength = 0, header byte 259 = 0 and 262 = 255, TickerText empty. The
// ticker block empties at the next BuildImage.
void StopTicker(Globals& globals);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_NEWSTICKER_H_
