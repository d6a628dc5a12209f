// The page store: pages 0..N, each a title and lines 0..S with a link per line,
// and the address of each page's block in the memory-map image.
#ifndef TORVANE_APP_STATE_PAGESTORE_H_
#define TORVANE_APP_STATE_PAGESTORE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

inline constexpr int kLineWidth = 20;
inline constexpr int kTitleWidth = 16;
inline constexpr int16_t kNoLink = 255;

inline constexpr int kMinHighestPage = 2;    // pages 0, 1 and 2 always exist
inline constexpr int kMaxHighestPage = 126;  // at most 127 pages
inline constexpr int kMaxPageSize = 200;     // S, the index of a page's last line
inline constexpr int kResultPage = 1;
inline constexpr int kResultPageMinSize = 12;  // the result page has at least 13 lines

// text cut or padded with spaces on the right to exactly width characters.
std::string FixedText(std::string_view text, int width);

struct PageRecord {
  int16_t Address = 0;
  std::vector<int16_t> Links{0};
  std::vector<std::string> Lines{std::string(kLineWidth, ' ')};  // each kLineWidth long
  std::string Title = std::string(kTitleWidth, ' ');             // kTitleWidth long
};

// Invariants kept by every member except Edit: Links and Lines have the same
// size S + 1 with 0 <= S <= 200, page 1 has S >= 12, and Address(0) = 272 with
// each further page starting where the previous block ends.
class PageStore {
 public:
  PageStore();  // pages 0, 1 and 2, empty, addresses chained

  int16_t N() const { return static_cast<int16_t>(pages_.size() - 1); }
  const PageRecord& operator[](int k) const { return pages_.at(static_cast<size_t>(k)); }

  // Mutable access for one change. It counts as an edit of page k at once, so
  // the image builder rewrites that page's block at its next build; changes made
  // through the reference after that build are not seen: call Edit again. The
  // caller keeps Links and Lines the same size (use SetPageSize to resize) and
  // leaves Address to the store.
  PageRecord& Edit(int k);

  // Rises with every change. Stamps come from one counter shared by all stores
  // of the process, so two stores (or a store and its earlier self) with equal
  // counts hold the same pages.
  uint64_t EditCount() const { return editCount_; }
  // The EditCount at page k's last change.
  uint64_t PageStamp(int k) const { return stamps_.at(static_cast<size_t>(k)); }

  // Replaces the whole store with pages 0..n (n >= 0), empty: one line each,
  // except page 1 with the 13 lines of the result page. Addresses chained.
  void Reset(int n);

  // S of page k: the upper bound of its Links, taken as 0..200 even when an
  // Edit has broken the bounds.
  int16_t PageSize(int k) const;
  // 120 + 24 * S bytes.
  int16_t PageBlockSize(int k) const;
  // Resizes Links and Lines of page k to 0..s, keeping existing entries (new
  // lines blank, new links 0), then recomputes the address chain. s is taken
  // into 0..200 and, for page 1, raised to 12.
  void SetPageSize(int k, int s);

  // Changes that bump the count only when the value differs. Text is cut or
  // padded to its width; a line index outside 0..S changes nothing.
  void SetLine(int k, int line, std::string_view text);
  void SetLink(int k, int line, int16_t link);
  void SetTitle(int k, std::string_view text);

  // Address(0) = 272, Address(k) = Address(k-1) + PageBlockSize(k-1).
  // Addresses past the top of the 16-bit range are held at 32767.
  void RecomputeAddresses();
  // Where the page blocks end: Address(N) + PageBlockSize(N) while the chain
  // holds, counted without the 32767 ceiling.
  int BlocksEnd() const;
  // True while the page blocks end at or below 32000, as the image needs.
  bool FitsImage() const;

  // Appends page N+1 with one line, only while N < 126; false otherwise.
  bool AddPage();
  // Drops page N, only while N >= 3; false otherwise. Its stored settings are
  // the caller's (see RemoveLastPage in PageStoreSettings.h).
  bool RemovePage();

 private:
  void Touch(int k);
  void TouchAll();

  std::vector<PageRecord> pages_;
  std::vector<uint64_t> stamps_;
  uint64_t editCount_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_STATE_PAGESTORE_H_
