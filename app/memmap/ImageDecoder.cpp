#include "ImageDecoder.h"

#include <algorithm>

#include "ImageBuilder.h"
#include "ImageLayout.h"

namespace torvane {
namespace {

class Reader {
 public:
  Reader(std::span<const uint8_t> image, DecodedImage& out) : image_(image), out_(out) {}

  bool Has(int first, int count) const {
    return first >= 0 && count >= 0 &&
           static_cast<size_t>(first) + static_cast<size_t>(count) <= image_.size();
  }
  int At(int address) const { return image_[static_cast<size_t>(address)]; }
  int Word(int address) const { return At(address) << 8 | At(address + 1); }
  std::string Text(int first, int count) const {
    const auto begin = image_.begin() + first;
    return std::string(begin, begin + count);
  }
  // Checks that image[checksumAt] is the checksum of image[first..checksumAt-1].
  void Check(int first, int checksumAt) {
    const uint8_t expected =
        Checksum(&image_[static_cast<size_t>(first)], static_cast<size_t>(checksumAt - first));
    if (At(checksumAt) != expected) out_.badChecksums.push_back(checksumAt);
  }
  void CheckRow(int row) { Check(row, row + kRowChecksumByte); }
  void Problem(std::string text) { out_.problems.push_back(std::move(text)); }

 private:
  std::span<const uint8_t> image_;
  DecodedImage& out_;
};

void DecodeHeader(Reader& in, DecodedImage& out) {
  if (!in.Has(kHeaderFirst, kHeaderChecksumAddress - kHeaderFirst + 1)) {
    in.Problem("the image header (256..271) is missing");
    return;
  }
  out.tickerRunning = in.At(kTickerMarkAddress) == kTickerMark[0] &&
                      in.At(kTickerMarkAddress + 1) == kTickerMark[1] &&
                      in.At(kTickerMarkAddress + 2) == kTickerMark[2] &&
                      in.At(kTickerStateAddress) == kTickerRunning;
  out.tickerStopped = in.At(kTickerStoppedAddress) == 255;
  out.tickerAddress = in.Word(kTickerAddressHigh);
  out.tickerColour = in.At(kTickerColourAddress);
  in.Check(kHeaderFirst, kHeaderChecksumAddress);
}

void DecodePage(Reader& in, DecodedImage& out, int number, int a) {
  const std::string name = "page " + std::to_string(number) + " at " + std::to_string(a);
  if (a < kFirstPageAddress) {
    in.Problem(name + " lies inside the index table or the image header");
    return;
  }
  if (!in.Has(a, kRowSize)) {
    in.Problem(name + " lies past the end of the data");
    return;
  }
  DecodedPage page;
  page.number = number;
  page.address = a;
  page.rows = in.At(a + kHeaderRowCount);
  page.cursorColour = in.At(a + kHeaderCursorColour);
  page.titleColour = in.At(a + kHeaderTitleColour);
  page.pageColour = in.At(a + kHeaderPageColour);
  page.flags = in.At(a + kHeaderFlags);
  page.dayOfYear = in.Word(a + kHeaderDayOfYear);
  in.CheckRow(HeaderRowAddress(a));

  if (page.rows < kBlockFrameRows + 1) {
    in.Problem(name + " has " + std::to_string(page.rows) + " rows, fewer than 5");
    out.pages.push_back(std::move(page));
    return;
  }
  // Rows that lie past the end of the data are left out.
  int rows = page.rows;
  if (!in.Has(a, rows * kRowSize)) {
    in.Problem(name + " runs past the end of the data");
    rows = 0;
    while (in.Has(a, (rows + 1) * kRowSize)) ++rows;
  }
  if (rows > 1) in.CheckRow(BlankRowAddress(a));
  if (rows > 2) {
    page.title = in.Text(TitleRowAddress(a), 16);
    in.CheckRow(TitleRowAddress(a));
  }
  const int lineRows = std::min(rows, page.rows - 1) - 3;
  for (int j = 0; j < lineRows; ++j) {
    const int row = LineRowAddress(a, j);
    page.lines.push_back({in.Text(row, kRowPayload), in.At(row + kRowLinkByte)});
    in.CheckRow(row);
  }
  if (rows == page.rows) in.CheckRow(EndRowAddress(a, rows * kRowSize));
  out.pages.push_back(std::move(page));
}

void DecodeTicker(Reader& in, DecodedImage& out) {
  const int t = out.tickerAddress;
  if (t < kFirstPageAddress || !in.Has(t, 1)) {
    in.Problem("the ticker block at " + std::to_string(t) + " lies outside the page area");
    return;
  }
  const int length = in.At(t);
  if (!in.Has(t, length + 4)) {
    in.Problem("the ticker block at " + std::to_string(t) + " runs past the end of the data");
    return;
  }
  out.ticker = in.Text(t + 1, length);
  out.mapEnd = t + length + 3;
  in.Check(t, t + length + 3);
}

}  // namespace

DecodedImage DecodeImage(std::span<const uint8_t> image) {
  DecodedImage out;
  Reader in(image, out);
  DecodeHeader(in, out);
  for (int k = 0; k < kIndexSlots && in.Has(2 * k, 2); ++k) {
    const int address = in.Word(2 * k);
    if (address == 0) break;
    DecodePage(in, out, k, address);
  }
  if (in.Has(kHeaderFirst, kHeaderChecksumAddress - kHeaderFirst + 1)) DecodeTicker(in, out);
  std::sort(out.badChecksums.begin(), out.badChecksums.end());
  out.badChecksums.erase(std::unique(out.badChecksums.begin(), out.badChecksums.end()),
                         out.badChecksums.end());
  return out;
}

}  // namespace torvane
