// The page store: pages 0..N, each a title and lines 0..S with a link per line.
#ifndef TORVANE_APP_MEMMAP_PAGESTORE_H_
#define TORVANE_APP_MEMMAP_PAGESTORE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

inline constexpr int kLineWidth = 20;
inline constexpr int kTitleWidth = 16;

// text cut or padded with spaces on the right to exactly width characters.
std::string FixedText(std::string_view text, int width);

struct PageRecord {
  int16_t Address = 0;
  std::vector<int16_t> Links{0};
  std::vector<std::string> Lines{std::string(kLineWidth, ' ')};  // each kLineWidth long
  std::string Title = std::string(kTitleWidth, ' ');            // kTitleWidth long
};

class PageStore {
 public:
  PageStore();  // pages 0, 1 and 2, empty

  int16_t N() const { return static_cast<int16_t>(pages_.size() - 1); }
  const PageRecord& operator[](int k) const { return pages_.at(static_cast<size_t>(k)); }
  // Every mutable access counts as an edit, so cached image regions know to rebuild.
  PageRecord& Edit(int k) {
    ++editCount_;
    return pages_.at(static_cast<size_t>(k));
  }
  uint64_t EditCount() const { return editCount_; }

  // Replaces the whole store with n + 1 empty pages.
  void Reset(int n);

 private:
  std::vector<PageRecord> pages_;
  uint64_t editCount_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_PAGESTORE_H_
