// The entries through which the timing-data parser and the page editor put a
// changed page into the image at once and queue the changed rows for priority
// sending: each rewrites a page block and opens one send window.
#ifndef TORVANE_APP_MEMMAP_PAGEWRITER_H_
#define TORVANE_APP_MEMMAP_PAGEWRITER_H_

#include <cstdint>

#include "Globals.h"

namespace torvane {

class ImageBuilder;

// Reads the page store, Race.HeadsUp, Race.RaceType and the lanes' Win flags of
// globals, writes its send windows; both references must outlive the writer.
// Window bounds are held within 0..32761, so every 8-byte block sent from a
// window lies inside the image. A page number outside 0..N changes nothing.
class PageWriter {
 public:
  PageWriter(Globals& globals, ImageBuilder& builder);

  // Page p's block; TitleWindow = its title row.
  void SendPageTitle(int16_t p);
  // Page 1's block; the row of line k of the block at B goes to LineWindows
  // number k - 2 for k = 3..11, number 10 for any other k. Skipped altogether
  // during eliminations without heads-up while neither lane has won, for k >= 3.
  void SendResultLine(int16_t b, int16_t k);
  // Page 1's block; NamesWindow = the rows of lines k and k + 1 of the block at B.
  void SendResultNames(int16_t b, int16_t k);
  // Page 1's block; BodyWindow = lines 2..S of page p.
  void SendResultBody(int16_t p);
  // Page p's block and PageWindow = its title row and all lines; does nothing
  // while PageWindow is still pending.
  void SendWholePage(int16_t p);

 private:
  Globals& g_;
  ImageBuilder& builder_;
};

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_PAGEWRITER_H_
