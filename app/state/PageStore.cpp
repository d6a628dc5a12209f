#include "PageStore.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "ImageLayout.h"

namespace torvane {
namespace {

uint64_t NextStamp() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

size_t Index(int k) { return static_cast<size_t>(k); }

}  // namespace

std::string FixedText(std::string_view text, int width) {
  std::string fixed(text.substr(0, static_cast<size_t>(width)));
  fixed.resize(static_cast<size_t>(width), ' ');
  return fixed;
}

PageStore::PageStore() { Reset(kMinHighestPage); }

void PageStore::Touch(int k) {
  editCount_ = NextStamp();
  stamps_.at(Index(k)) = editCount_;
}

void PageStore::TouchAll() {
  editCount_ = NextStamp();
  stamps_.assign(pages_.size(), editCount_);
}

PageRecord& PageStore::Edit(int k) {
  Touch(k);
  return pages_.at(Index(k));
}

void PageStore::Reset(int n) {
  pages_.assign(Index(std::max(n, 0)) + 1, PageRecord{});
  if (pages_.size() > Index(kResultPage)) {
    PageRecord& result = pages_[Index(kResultPage)];
    result.Links.resize(kResultPageMinSize + 1, 0);
    result.Lines.resize(kResultPageMinSize + 1, std::string(kLineWidth, ' '));
  }
  TouchAll();
  RecomputeAddresses();
}

int16_t PageStore::PageSize(int k) const {
  const auto bound = static_cast<int>((*this)[k].Links.size()) - 1;
  return static_cast<int16_t>(std::clamp(bound, 0, kMaxPageSize));
}

int16_t PageStore::PageBlockSize(int k) const {
  return static_cast<int16_t>(BlockSizeForLines(PageSize(k)));
}

void PageStore::SetPageSize(int k, int s) {
  s = std::clamp(s, 0, kMaxPageSize);
  if (k == kResultPage) s = std::max(s, kResultPageMinSize);
  PageRecord& page = pages_.at(Index(k));
  page.Links.resize(Index(s) + 1, 0);
  page.Lines.resize(Index(s) + 1, std::string(kLineWidth, ' '));
  Touch(k);
  RecomputeAddresses();
}

void PageStore::SetLine(int k, int line, std::string_view text) {
  PageRecord& page = pages_.at(Index(k));
  if (line < 0 || Index(line) >= page.Lines.size()) return;
  std::string fixed = FixedText(text, kLineWidth);
  if (page.Lines[Index(line)] == fixed) return;
  page.Lines[Index(line)] = std::move(fixed);
  Touch(k);
}

void PageStore::SetLink(int k, int line, int16_t link) {
  PageRecord& page = pages_.at(Index(k));
  if (line < 0 || Index(line) >= page.Links.size()) return;
  if (page.Links[Index(line)] == link) return;
  page.Links[Index(line)] = link;
  Touch(k);
}

void PageStore::SetTitle(int k, std::string_view text) {
  PageRecord& page = pages_.at(Index(k));
  std::string fixed = FixedText(text, kTitleWidth);
  if (page.Title == fixed) return;
  page.Title = std::move(fixed);
  Touch(k);
}

void PageStore::RecomputeAddresses() {
  constexpr int kTop = std::numeric_limits<int16_t>::max();
  int address = kFirstPageAddress;
  bool changed = false;
  for (size_t k = 0; k < pages_.size(); ++k) {
    const auto held = static_cast<int16_t>(std::min(address, kTop));
    if (pages_[k].Address != held) {
      pages_[k].Address = held;
      changed = true;
    }
    address += PageBlockSize(static_cast<int>(k));
  }
  if (changed) editCount_ = NextStamp();
}

int PageStore::BlocksEnd() const {
  // Summed afresh: a held address cannot show how far past the top the chain runs.
  int end = kFirstPageAddress;
  for (int k = 0; k <= N(); ++k) end += PageBlockSize(k);
  return end;
}

bool PageStore::FitsImage() const { return BlocksEnd() <= kPageAreaEnd; }

bool PageStore::AddPage() {
  if (N() >= kMaxHighestPage) return false;
  pages_.emplace_back();
  stamps_.push_back(0);
  Touch(N());
  RecomputeAddresses();
  return true;
}

bool PageStore::RemovePage() {
  if (N() < kMinHighestPage + 1) return false;
  pages_.pop_back();
  stamps_.pop_back();
  editCount_ = NextStamp();
  return true;
}

}  // namespace torvane
