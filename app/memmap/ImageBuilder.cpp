#include "ImageBuilder.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <optional>

#include "ConvertLibrary.h"
#include "ImageLayout.h"
#include "NumericText.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

constexpr uint8_t kSpace = 32;
constexpr uint8_t kHeadsUpFlags = 0x70;
constexpr uint8_t kPlainFlags = 0x60;

// One colour index as stored, 0 unless it is a number in 0..15.
int ColourIndex(const SettingsStore& settings, const std::string& key,
                const std::string& valueName) {
  const std::optional<int16_t> index = NumericInt16(settings.ReadSetting(key, valueName));
  return index && *index >= 0 && *index < kPaletteSize ? *index : 0;
}

uint8_t ColourByteAt(const SettingsStore& settings, const std::string& key, ColourArea kind) {
  const int back = ColourIndex(settings, key, BackColorValue(kind));
  const int fore = ColourIndex(settings, key, ForeColorValue(kind));
  return static_cast<uint8_t>(back * 16 + fore);
}

// Character byte of text position i (0-based); a position past the text is blank.
uint8_t CharacterByte(std::string_view text, size_t i) {
  uint8_t b = i < text.size() ? static_cast<uint8_t>(text[i]) : kSpace;
  return PrintableByte(b);
}

uint8_t LinkByte(const std::vector<int16_t>& links, size_t j) {
  if (j >= links.size()) return kNoLinkByte;
  const int16_t link = links[j];
  return link >= 0 && link <= 255 ? static_cast<uint8_t>(link) : kNoLinkByte;
}

// Bytes 21 and 22, then the checksum of bytes 0..22 at 23.
void CloseRow(uint8_t* row) {
  row[21] = 0;
  row[22] = 0;
  row[kRowChecksumByte] = Checksum(row, kRowChecksumByte);
}

void PutBigEndian(uint8_t* at, int16_t value) {
  const Int16Buffer buffer = Int16ToBuffer(value);
  at[0] = buffer.element1;
  at[1] = buffer.element0;
}

// Where each area's colour byte sits in a page's cached colours.
constexpr size_t kCursorSlot = 0;
constexpr size_t kTitleSlot = 1;
constexpr size_t kPageSlot = 2;
constexpr size_t kTickerSlot = 3;

size_t SlotOf(ColourArea kind) {
  switch (kind) {
    case ColourArea::kCursor:
      return kCursorSlot;
    case ColourArea::kTitle:
      return kTitleSlot;
    case ColourArea::kPage:
      return kPageSlot;
    case ColourArea::kTicker:
      break;
  }
  return kTickerSlot;
}

}  // namespace

uint8_t PrintableByte(uint8_t& b) {
  if (b < 32 || b > 126) b = kSpace;
  return b;
}

uint8_t Checksum(const uint8_t* bytes, size_t count) {
  uint32_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(~sum);
}

void RowChecksum(MapImageBytes& image, int rowStart) {
  if (rowStart < 0 || rowStart + kRowChecksumByte > kLastImageAddress) return;
  image[static_cast<size_t>(rowStart + kRowChecksumByte)] =
      Checksum(&image[static_cast<size_t>(rowStart)], kRowChecksumByte);
}

uint8_t RangeChecksum(const MapImageBytes& image, int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, kLastImageAddress);
  if (first > last) return 255;
  return Checksum(&image[static_cast<size_t>(first)], static_cast<size_t>(last - first + 1));
}

uint8_t FlagsByte(bool headsUp) { return headsUp ? kHeadsUpFlags : kPlainFlags; }

uint8_t ColourByte(const SettingsStore& settings, int page, ColourArea kind) {
  return ColourByteAt(settings, PageKey(page), kind);
}

ImageBuilder::ImageBuilder(Globals& globals, const SettingsStore& settings, Mode mode)
    : g_(globals), settings_(settings), mode_(mode) {}

void ImageBuilder::Invalidate() {
  coloursValid_ = false;
  imageValid_ = false;
  indexValid_ = false;
  written_.clear();
}

uint8_t ImageBuilder::FlagsByte() const { return torvane::FlagsByte(g_.Race.HeadsUp); }

void ImageBuilder::RefreshColours() {
  const auto pages = static_cast<size_t>(g_.Pages.N()) + 1;
  const uint64_t revision = settings_.Revision();
  if (coloursValid_ && revision == coloursRevision_ && colours_.size() == pages) return;
  colours_.resize(pages);
  for (size_t k = 0; k < pages; ++k) {
    const std::string key = PageKey(static_cast<int>(k));
    for (ColourArea kind :
         {ColourArea::kCursor, ColourArea::kTitle, ColourArea::kPage, ColourArea::kTicker}) {
      colours_[k][SlotOf(kind)] = ColourByteAt(settings_, key, kind);
    }
  }
  coloursRevision_ = revision;
  coloursValid_ = true;
}

ImageBuilder::BlockColours ImageBuilder::BlockColoursNow(int page) {
  if (Incremental()) {
    RefreshColours();
    if (static_cast<size_t>(page) < colours_.size()) {
      const Colours& c = colours_[static_cast<size_t>(page)];
      return {c[kCursorSlot], c[kTitleSlot], c[kPageSlot]};
    }
  }
  const std::string key = PageKey(page);
  return {ColourByteAt(settings_, key, ColourArea::kCursor),
          ColourByteAt(settings_, key, ColourArea::kTitle),
          ColourByteAt(settings_, key, ColourArea::kPage)};
}

uint8_t ImageBuilder::ColourByte(int16_t page, ColourArea kind) {
  if (Incremental() && page >= 0) {
    RefreshColours();
    if (static_cast<size_t>(page) < colours_.size()) {
      return colours_[static_cast<size_t>(page)][SlotOf(kind)];
    }
  }
  return torvane::ColourByte(settings_, page, kind);
}

std::string_view ImageBuilder::TickerNow() const {
  const size_t length = std::min({static_cast<size_t>(std::max<int16_t>(g_.TickerLength, 0)),
                                  g_.TickerText.size(), static_cast<size_t>(kMaxTickerLength)});
  return std::string_view(g_.TickerText).substr(0, length);
}

void ImageBuilder::WriteBlock(int a, int page, const BlockColours& colours, uint8_t flags,
                              const uint8_t day[2]) {
  const PageRecord& record = g_.Pages[page];
  const int s = g_.Pages.PageSize(page);
  // Invariant: callers pass a block that lies wholly inside the page area.
  assert(a >= kFirstPageAddress && a + BlockSizeForLines(s) <= kPageAreaEnd);
  uint8_t* row = &g_.MapImage[static_cast<size_t>(a)];

  std::memset(row, 0, kRowSize);
  row[kHeaderRowCount] = static_cast<uint8_t>(s + 1 + kBlockFrameRows);
  row[kHeaderCursorColour] = colours[kCursorSlot];
  row[kHeaderTitleColour] = colours[kTitleSlot];
  row[kHeaderPageColour] = colours[kPageSlot];
  row[kHeaderFlags] = flags;
  row[kHeaderDayOfYear] = day[0];
  row[kHeaderDayOfYear + 1] = day[1];
  row[kRowLinkByte] = kNoLinkByte;
  CloseRow(row);
  row += kRowSize;

  std::memset(row, kSpace, kRowPayload);
  row[kRowLinkByte] = kNoLinkByte;
  CloseRow(row);
  row += kRowSize;

  for (size_t i = 0; i < static_cast<size_t>(kRowPayload); ++i) {
    row[i] = i < static_cast<size_t>(kTitleWidth) ? CharacterByte(record.Title, i) : kSpace;
  }
  row[kRowLinkByte] = kNoLinkByte;
  CloseRow(row);
  row += kRowSize;

  for (size_t j = 0; j <= static_cast<size_t>(s); ++j) {
    const std::string_view line = j < record.Lines.size() ? record.Lines[j] : std::string_view();
    for (size_t i = 0; i < static_cast<size_t>(kRowPayload); ++i) row[i] = CharacterByte(line, i);
    row[kRowLinkByte] = LinkByte(record.Links, j);
    CloseRow(row);
    row += kRowSize;
  }

  row[0] = kNoLinkByte;
  std::memset(row + 1, kSpace, kRowPayload - 1);
  row[kRowLinkByte] = kNoLinkByte;
  CloseRow(row);
}

void ImageBuilder::WriteTickerBlock(int t, std::string_view text) {
  const auto length = static_cast<int>(text.size());
  // Invariant: the ticker follows page blocks that end at or below 32000.
  assert(t >= kFirstPageAddress && t + length + 3 <= kLastImageAddress);
  uint8_t* block = &g_.MapImage[static_cast<size_t>(t)];
  block[0] = static_cast<uint8_t>(length);
  for (size_t i = 0; i < text.size(); ++i) block[i + 1] = CharacterByte(text, i);
  block[length + 1] = 0;
  block[length + 2] = 0;
  block[length + 3] = Checksum(block, static_cast<size_t>(length) + 2);
}

void ImageBuilder::BuildImage() {
  const PageStore& pages = g_.Pages;
  const int n = pages.N();
  const uint8_t flags = FlagsByte();
  const int16_t day = g_.DayOfYear;
  const std::string_view ticker = TickerNow();
  if (Incremental()) RefreshColours();

  const bool unchanged = Incremental() && imageValid_ && pages.EditCount() == imageEditCount_ &&
                         coloursRevision_ == imageRevision_ && flags == imageFlags_ &&
                         day == imageDay_ && ticker == imageTicker_;
  if (!unchanged) {
    uint8_t dayBytes[2];
    PutBigEndian(dayBytes, day);
    written_.resize(static_cast<size_t>(n) + 1);
    int p = kFirstPageAddress;
    int k = 0;
    for (; k <= n; ++k) {
      const int size = pages.PageBlockSize(k);
      if (p + size > kPageAreaEnd) break;
      Written& w = written_[static_cast<size_t>(k)];
      const BlockColours colours = BlockColoursNow(k);
      const bool current = Incremental() && imageValid_ && w.valid && w.position == p &&
                           w.stamp == pages.PageStamp(k) && w.colours == colours &&
                           w.flags == flags && w.day == day;
      if (!current) {
        WriteBlock(p, k, colours, flags, dayBytes);
        w = {true, pages.PageStamp(k), p, colours, flags, day};
      }
      p += size;
    }
    for (; k <= n; ++k) written_[static_cast<size_t>(k)].valid = false;

    const bool tickerCurrent =
        Incremental() && imageValid_ && imageTickerAddress_ == p && ticker == imageTicker_;
    if (!tickerCurrent) WriteTickerBlock(p, ticker);

    imageValid_ = true;
    imageEditCount_ = pages.EditCount();
    imageRevision_ = coloursRevision_;
    imageFlags_ = flags;
    imageDay_ = day;
    imageTicker_.assign(ticker);
    imageTickerAddress_ = static_cast<int16_t>(p);
  }
  g_.TickerAddress = imageTickerAddress_;
  g_.MapEnd = static_cast<int16_t>(imageTickerAddress_ + static_cast<int>(ticker.size()) + 3);
  g_.MapImage[kHeaderChecksumAddress] = RangeChecksum(g_.MapImage, kHeaderFirst, kHeaderLast);
}

void ImageBuilder::WritePageBlock(int16_t page) {
  const PageStore& pages = g_.Pages;
  if (page < 0 || page > pages.N()) return;
  const int a = pages[page].Address;
  const int size = pages.PageBlockSize(page);
  if (a < kFirstPageAddress || a + size > kPageAreaEnd) return;

  const uint8_t flags = FlagsByte();
  const int16_t day = g_.DayOfYear;
  uint8_t dayBytes[2];
  PutBigEndian(dayBytes, day);
  const BlockColours colours = BlockColoursNow(page);
  WriteBlock(a, page, colours, flags, dayBytes);

  // Keep the record of what this block holds, or, when the block was not where
  // the last build put it, let the next build write everything.
  const auto index = static_cast<size_t>(page);
  if (index < written_.size() && written_[index].valid && written_[index].position == a) {
    written_[index] = {true, pages.PageStamp(page), a, colours, flags, day};
  } else {
    imageValid_ = false;
  }
}

void ImageBuilder::BuildIndexTable() {
  const PageStore& pages = g_.Pages;
  // The header checksum covers 260..261: refreshed with them, so the header
  // sent right after this build checks out.
  auto refreshHeaderChecksum = [this] {
    g_.MapImage[kHeaderChecksumAddress] = RangeChecksum(g_.MapImage, kHeaderFirst, kHeaderLast);
  };
  if (Incremental() && indexValid_ && pages.EditCount() == indexEditCount_ &&
      g_.TickerAddress == indexTickerAddress_) {
    refreshHeaderChecksum();
    return;
  }
  const int m = std::min<int>(pages.N(), kMaxHighestPage);
  int end = kFirstPageAddress;
  for (int k = 0; k <= m; ++k) {
    uint8_t* slot = &g_.MapImage[static_cast<size_t>(2 * k)];
    end += pages.PageBlockSize(k);
    if (end <= kPageAreaEnd) {
      PutBigEndian(slot, pages[k].Address);
    } else {
      slot[0] = 0;
      slot[1] = 0;
    }
  }
  std::fill(g_.MapImage.begin() + 2 * (m + 1), g_.MapImage.begin() + kIndexTableSize, 0);
  PutBigEndian(&g_.MapImage[kTickerAddressHigh], g_.TickerAddress);
  refreshHeaderChecksum();

  indexValid_ = true;
  indexEditCount_ = pages.EditCount();
  indexTickerAddress_ = g_.TickerAddress;
}

}  // namespace torvane
