#include "NewsTicker.h"

#include "ImageBuilder.h"
#include "ImageLayout.h"

namespace torvane {

void StartTicker(Globals& globals, ImageBuilder& builder, std::string_view text,
                 int16_t colourPage) {
  globals.TickerText.assign(text.substr(0, kMaxTickerLength));
  globals.TickerLength = static_cast<int16_t>(globals.TickerText.size());
  builder.BuildIndexTable();
  builder.BuildImage();
  globals.TxCursor = globals.TickerAddress;
  for (int i = 0; i < 3; ++i) globals.MapImage[kTickerMarkAddress + i] = kTickerMark[i];
  globals.MapImage[kTickerStateAddress] = kTickerRunning;
  globals.MapImage[kTickerStoppedAddress] = 0;
  globals.MapImage[kTickerColourAddress] = builder.ColourByte(colourPage, ColourArea::kTicker);
}

void StopTicker(Globals& globals) {
  globals.TickerLength = 0;
  globals.MapImage[kTickerStateAddress] = 0;
  globals.MapImage[kTickerStoppedAddress] = 255;
  globals.TickerText.clear();
}

}  // namespace torvane
