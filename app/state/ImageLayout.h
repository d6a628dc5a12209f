// Where everything lies in the memory-map image: index table, image header,
// page blocks and their rows, and the news ticker block.
#ifndef TORVANE_APP_STATE_IMAGELAYOUT_H_
#define TORVANE_APP_STATE_IMAGELAYOUT_H_

#include "MapImage.h"

namespace torvane {

// Index table: 128 two-byte slots, slot k holding page k's block address.
inline constexpr int kIndexTableSize = 256;
inline constexpr int kIndexSlots = kIndexTableSize / 2;

// Image header, 256..271.
inline constexpr int kHeaderFirst = 256;
inline constexpr int kHeaderLast = 270;  // last byte the header checksum covers
inline constexpr int kHeaderChecksumAddress = 271;
inline constexpr int kTickerMarkAddress = 256;     // 'V', 'F', 'X' at 256..258
inline constexpr int kTickerStateAddress = 259;    // '!' while the ticker runs
inline constexpr int kTickerAddressHigh = 260;     // 260, 261: TickerAddress, big-endian
inline constexpr int kTickerStoppedAddress = 262;  // 255 once the ticker has been stopped
inline constexpr int kTickerColourAddress = 263;
inline constexpr uint8_t kTickerMark[3] = {0x56, 0x46, 0x58};  // V F X
inline constexpr uint8_t kTickerRunning = 0x21;                // !

// Page blocks lie back to back from here; every row is 24 bytes.
inline constexpr int kFirstPageAddress = 272;
inline constexpr int kRowSize = 24;
inline constexpr int kRowPayload = 20;
inline constexpr int kRowLinkByte = 20;
inline constexpr int kRowChecksumByte = 23;
// Header, blank, title and end row: the rows a block has besides its lines.
inline constexpr int kBlockFrameRows = 4;

// The page blocks end at or below this address; the ticker block lies above.
inline constexpr int kPageAreaEnd = 32000;
inline constexpr int kLastImageAddress = kMapImageSize - 1;  // 32768

// Page header row payload bytes.
inline constexpr int kHeaderRowCount = 0;
inline constexpr int kHeaderCursorColour = 1;
inline constexpr int kHeaderTitleColour = 2;
inline constexpr int kHeaderPageColour = 3;
inline constexpr int kHeaderFlags = 4;
inline constexpr int kHeaderDayOfYear = 7;  // 7, 8: big-endian

inline constexpr uint8_t kNoLinkByte = 255;

// Row start addresses inside the block that starts at a.
constexpr int HeaderRowAddress(int a) { return a; }
constexpr int BlankRowAddress(int a) { return a + kRowSize; }
constexpr int TitleRowAddress(int a) { return a + 2 * kRowSize; }
constexpr int LineRowAddress(int a, int line) { return a + 3 * kRowSize + kRowSize * line; }
constexpr int EndRowAddress(int a, int blockSize) { return a + blockSize - kRowSize; }

// Bytes of the block of a page whose lines run 0..s.
constexpr int BlockSizeForLines(int s) { return (s + 1 + kBlockFrameRows) * kRowSize; }
static_assert(BlockSizeForLines(0) == 120);

}  // namespace torvane

#endif  // TORVANE_APP_STATE_IMAGELAYOUT_H_
