// The receiver's side of the image: what a card holds after it has received a
// memory-map image, read through the index table, with every checksum checked.
#ifndef TORVANE_APP_MEMMAP_IMAGEDECODER_H_
#define TORVANE_APP_MEMMAP_IMAGEDECODER_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace torvane {

struct DecodedLine {
  std::string text;  // the 20 payload bytes
  int link = 0;
};

struct DecodedPage {
  int number = 0;
  int address = 0;
  int rows = 0;  // header byte 0: the block's row count
  int cursorColour = 0;
  int titleColour = 0;
  int pageColour = 0;
  int flags = 0;
  int dayOfYear = 0;
  std::string title;  // the 16 title bytes
  std::vector<DecodedLine> lines;
};

struct DecodedImage {
  bool tickerRunning = false;  // header reads 'V', 'F', 'X', '!'
  bool tickerStopped = false;  // header byte 262 is 255
  int tickerAddress = 0;
  int tickerColour = 0;
  int mapEnd = 0;  // last byte of the ticker block; 0 when the block is not there
  std::vector<DecodedPage> pages;
  std::string ticker;
  // Address of the checksum byte of each row, of the image header and of the
  // ticker block whose checksum fails, in address order.
  std::vector<int> badChecksums;
  // Structures that cannot be read: a block or ticker running past the data,
  // a row count below 5, a page address inside the index table or header.
  std::vector<std::string> problems;

  bool Valid() const { return badChecksums.empty() && problems.empty(); }
};

// Decodes image[0..size). Pages are the index slots up to the first empty one.
// Bytes past the end of the data are missing, not zero: what needs them is
// reported as a problem. Reads nothing outside image.
DecodedImage DecodeImage(std::span<const uint8_t> image);

}  // namespace torvane

#endif  // TORVANE_APP_MEMMAP_IMAGEDECODER_H_
