// Benchmark support: the largest page store the image holds.
#ifndef TORVANE_APP_MEMMAP_MAXIMALPAGES_H_
#define TORVANE_APP_MEMMAP_MAXIMALPAGES_H_

#include <algorithm>
#include <string>

#include "ImageLayout.h"
#include "PageStore.h"

namespace torvane {

// 127 pages whose blocks end exactly at 32000, every title, line and link filled.
inline void FillMaximalPages(PageStore& pages) {
  pages.Reset(kMaxHighestPage);
  int extraLines = (kPageAreaEnd - kFirstPageAddress) / kRowSize -
                   (kMaxHighestPage + 1) * (kBlockFrameRows + 1) - kResultPageMinSize;
  for (int k = 2; extraLines > 0; ++k) {
    const int size = std::min(extraLines, 40);
    pages.SetPageSize(k, size);
    extraLines -= size;
  }
  for (int k = 0; k <= pages.N(); ++k) {
    pages.SetTitle(k, "Page " + std::to_string(k) + " title");
    for (int i = 0; i <= pages.PageSize(k); ++i) {
      pages.SetLine(k, i, "Line " + std::to_string(i) + " of page " + std::to_string(k));
      pages.SetLink(k, i, static_cast<int16_t>((k + i) % 127));
    }
  }
}

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_MAXIMALPAGES_H_
