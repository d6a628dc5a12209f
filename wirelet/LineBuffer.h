// Received bytes not yet delivered, cut into lines at an end-of-line marker.
// One contiguous area of Capacity() bytes; the held bytes sit at [start, start +
// count) and the next read lands in the free space after them.
#ifndef TORVANE_WIRELET_LINEBUFFER_H_
#define TORVANE_WIRELET_LINEBUFFER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

class LineBuffer {
 public:
  static constexpr int32_t kDefaultCapacity = 2048;
  static constexpr int32_t kMaxCapacity = 65536;

  LineBuffer();

  // Clamps to 1..kMaxCapacity (an empty area would read as a closed peer) and
  // drops everything held. Returns the capacity in force.
  int32_t SetCapacity(int32_t capacity);
  int32_t Capacity() const { return static_cast<int32_t>(area_.size()); }

  // Empty marker: every chunk is one line. The split flag makes CR, LF, CR LF
  // and LF CR each end one line, a pair also when split across two reads.
  // Choosing the mode in force again changes nothing; another mode forgets
  // the remembered line ending.
  void SetMarker(std::string marker, bool split);
  const std::string& Marker() const { return marker_; }
  bool Split() const { return split_; }

  // Drops the held bytes and the remembered line ending.
  void Clear();

  size_t HeldCount() const { return count_; }
  std::string_view Held() const;

  // Where the next read lands; compacts when the tail is short. Empty when
  // the area is full. Commit(n) takes n bytes written there (n <= its size).
  std::span<char> FreeSpace();
  void Commit(size_t n);

  // Copies as much of bytes as fits; returns the number taken.
  size_t Append(std::string_view bytes);

  // One next-line step: true with the line (marker dropped) and eol = true, or,
  // with no marker, all held bytes as one chunk. False when no line is complete.
  bool NextLine(std::string& line, bool& eol);

  // Everything held, as one chunk (the caller delivers it with EOL False).
  std::string TakeAll();

 private:
  void Consume(size_t n);
  bool NextSplitLine(std::string& line);

  std::vector<char> area_;
  size_t start_ = 0;
  size_t count_ = 0;
  std::string marker_;
  bool split_ = false;
  char pendingPartner_ = 0;  // split mode: the byte that would complete a pair
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_LINEBUFFER_H_
