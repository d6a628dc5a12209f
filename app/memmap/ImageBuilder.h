// Writes the memory-map image from the page store, the page colour settings and
// the ticker: the index table, the page blocks, the image header checksum and
// the news ticker block.
#ifndef TORVANE_APP_MEMMAP_IMAGEBUILDER_H_
#define TORVANE_APP_MEMMAP_IMAGEBUILDER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Globals.h"
#include "MapImage.h"
#include "PageColours.h"

namespace torvane {

class SettingsStore;

// A byte of 32..126 stays; any other becomes 32, in place. Returns the result.
uint8_t PrintableByte(uint8_t& b);
// 255 - (sum of the bytes mod 256); 255 for no bytes.
uint8_t Checksum(const uint8_t* bytes, size_t count);
// Stores the checksum of row bytes 0..22 in row byte 23. A row that does not lie
// wholly inside the image is left alone.
void RowChecksum(MapImageBytes& image, int rowStart);
// Checksum of image[first..last], the part inside the image; 255 when first > last.
uint8_t RangeChecksum(const MapImageBytes& image, int first, int last);
// 0x60, or 0x70 with heads-up on.
uint8_t FlagsByte(bool headsUp);
// Background * 16 + foreground of page's area as stored now. A value that is
// missing, not numeric or outside 0..15 counts as 0.
uint8_t ColourByte(const SettingsStore& settings, int page, ColourArea kind);

// The builders of one Globals. They read the page store, the settings store,
// Race.HeadsUp, DayOfYear, TickerText and TickerLength, and write MapImage,
// TickerAddress and MapEnd. Both references must outlive the builder.
//
// Incremental mode (the default) remembers what each page block, the index
// table and the ticker block were built from (page stamps, the settings
// revision, heads-up, day, ticker) and rewrites only what differs; the image is
// byte for byte what a full rebuild gives, provided nothing but this builder
// writes the index table, page blocks and ticker block (call Invalidate after
// doing so). Full mode rebuilds and rereads everything on every call.
//
// Values that cannot be encoded are never written outside the image: a link
// outside 0..255 is written as 255 (no link), at most 200 lines per page and
// 250 ticker characters are written, and a page whose block would end above
// 32000 is left out (its index slot is 0; the ticker follows the last page
// that fits).
class ImageBuilder {
 public:
  enum class Mode { kIncremental, kFull };

  ImageBuilder(Globals& globals, const SettingsStore& settings, Mode mode = Mode::kIncremental);

  // Bytes 0..255 (slots of pages 0..min(N, 126), the rest 0) and 260..261
  // (TickerAddress of the last BuildImage), and byte 271 (checksum of
  // 256..270) so the header never goes out with a stale checksum.
  void BuildIndexTable();
  // Sets TickerAddress and MapEnd; writes every page block from 272, byte 271
  // (checksum of 256..270 as they stand) and the ticker block.
  void BuildImage();
  // Rewrites page's block at its Address; nothing else changes. A page whose
  // block would not lie inside 272..32000 is not written.
  void WritePageBlock(int16_t page);

  uint8_t ColourByte(int16_t page, ColourArea kind);
  uint8_t FlagsByte() const;

  // Makes the next builds write everything again.
  void Invalidate();
  Mode mode() const { return mode_; }

 private:
  // Cursor, title, page and ticker colour bytes of one page.
  using Colours = std::array<uint8_t, 4>;
  // The three a page block shows: cursor, title, page.
  using BlockColours = std::array<uint8_t, 3>;

  // What a page block was last written from.
  struct Written {
    bool valid = false;
    uint64_t stamp = 0;
    int position = 0;
    BlockColours colours{};
    uint8_t flags = 0;
    int16_t day = 0;
  };

  bool Incremental() const { return mode_ == Mode::kIncremental; }
  void RefreshColours();
  BlockColours BlockColoursNow(int page);
  // The ticker characters that go into the image: at most TickerLength, the
  // text's length and 250.
  std::string_view TickerNow() const;
  void WriteBlock(int a, int page, const BlockColours& colours, uint8_t flags,
                  const uint8_t day[2]);
  void WriteTickerBlock(int t, std::string_view text);

  Globals& g_;
  const SettingsStore& settings_;
  Mode mode_;

  std::vector<Colours> colours_;
  uint64_t coloursRevision_ = 0;
  bool coloursValid_ = false;

  std::vector<Written> written_;
  bool imageValid_ = false;
  uint64_t imageEditCount_ = 0;
  uint64_t imageRevision_ = 0;
  uint8_t imageFlags_ = 0;
  int16_t imageDay_ = 0;
  std::string imageTicker_;
  int16_t imageTickerAddress_ = 0;

  bool indexValid_ = false;
  uint64_t indexEditCount_ = 0;
  int16_t indexTickerAddress_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_IMAGEBUILDER_H_
