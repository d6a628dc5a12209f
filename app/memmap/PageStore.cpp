#include "PageStore.h"

namespace torvane {

std::string FixedText(std::string_view text, int width) {
  std::string fixed(text.substr(0, static_cast<size_t>(width)));
  fixed.resize(static_cast<size_t>(width), ' ');
  return fixed;
}

PageStore::PageStore() { Reset(2); }

void PageStore::Reset(int n) {
  pages_.assign(static_cast<size_t>(n) + 1, PageRecord{});
  ++editCount_;
}

}  // namespace torvane
