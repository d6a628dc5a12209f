#include "LineBuffer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace torvane {

LineBuffer::LineBuffer() : area_(kDefaultCapacity) {}

int32_t LineBuffer::SetCapacity(int32_t capacity) {
  capacity = std::clamp<int32_t>(capacity, 1, kMaxCapacity);
  area_.assign(static_cast<size_t>(capacity), 0);
  Clear();
  return capacity;
}

void LineBuffer::SetMarker(std::string marker, bool split) {
  // The same mode chosen again (each GetLine does) keeps the partner of a
  // pair whose second byte has not arrived yet.
  if (split == split_ && marker == marker_) return;
  marker_ = std::move(marker);
  split_ = split;
  pendingPartner_ = 0;
}

void LineBuffer::Clear() {
  start_ = 0;
  count_ = 0;
  pendingPartner_ = 0;
}

std::string_view LineBuffer::Held() const { return {area_.data() + start_, count_}; }

std::span<char> LineBuffer::FreeSpace() {
  size_t tail = area_.size() - start_ - count_;
  size_t total = area_.size() - count_;
  // Move the held bytes to the front once the tail offers less than half of
  // what is free; a full area has nothing to offer either way.
  if (start_ > 0 && tail * 2 < total) {
    std::memmove(area_.data(), area_.data() + start_, count_);
    start_ = 0;
    tail = total;
  }
  return {area_.data() + start_ + count_, tail};
}

void LineBuffer::Commit(size_t n) {
  // Invariant: the held bytes never run past the end of the area.
  assert(start_ + count_ + n <= area_.size());
  n = std::min(n, area_.size() - start_ - count_);
  count_ += n;
}

size_t LineBuffer::Append(std::string_view bytes) {
  size_t taken = 0;
  while (taken < bytes.size()) {
    std::span<char> space = FreeSpace();
    if (space.empty()) break;
    size_t n = std::min(space.size(), bytes.size() - taken);
    std::memcpy(space.data(), bytes.data() + taken, n);
    Commit(n);
    taken += n;
  }
  return taken;
}

void LineBuffer::Consume(size_t n) {
  assert(n <= count_);
  start_ += n;
  count_ -= n;
  if (count_ == 0) start_ = 0;
}

bool LineBuffer::NextLine(std::string& line, bool& eol) {
  if (split_) {
    if (!NextSplitLine(line)) return false;
    eol = true;
    return true;
  }
  if (count_ == 0) return false;
  std::string_view held = Held();
  if (marker_.empty()) {
    line.assign(held);
    Consume(held.size());
    eol = true;
    return true;
  }
  size_t at = held.find(marker_);
  if (at == std::string_view::npos) return false;
  line.assign(held.substr(0, at));
  Consume(at + marker_.size());
  eol = true;
  return true;
}

bool LineBuffer::NextSplitLine(std::string& line) {
  if (count_ > 0 && pendingPartner_ != 0) {
    if (area_[start_] == pendingPartner_) Consume(1);
    pendingPartner_ = 0;
  }
  std::string_view held = Held();
  size_t at = held.find_first_of("\r\n");
  if (at == std::string_view::npos) return false;
  char ending = held[at];
  char partner = ending == '\r' ? '\n' : '\r';
  line.assign(held.substr(0, at));
  Consume(at + 1);
  if (count_ == 0) {
    pendingPartner_ = partner;
  } else if (area_[start_] == partner) {
    Consume(1);
  }
  return true;
}

std::string LineBuffer::TakeAll() {
  std::string all(Held());
  Consume(count_);
  return all;
}

}  // namespace torvane
