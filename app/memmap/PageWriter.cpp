#include "PageWriter.h"

#include <algorithm>

#include "ImageBuilder.h"
#include "ImageLayout.h"

namespace torvane {
namespace {

constexpr int kFirstNumberedLine = 3;  // line 3 goes to LineWindows number 1
constexpr int kLastNumberedLine = 11;

// Every 8-byte block a window can yield stays inside the image.
constexpr int kLastWindowEnd = kMapImageSize - 8;

int16_t Held(int address) { return static_cast<int16_t>(std::clamp(address, 0, kLastWindowEnd)); }

void Open(SendWindow& window, int next, int end) {
  window.Next = Held(next);
  window.End = Held(end);
}

}  // namespace

PageWriter::PageWriter(Globals& globals, ImageBuilder& builder) : g_(globals), builder_(builder) {}

void PageWriter::SendPageTitle(int16_t p) {
  if (p < 0 || p > g_.Pages.N()) return;
  builder_.WritePageBlock(p);
  const int a = g_.Pages[p].Address;
  Open(g_.TitleWindow, TitleRowAddress(a), LineRowAddress(a, 0));
}

void PageWriter::SendResultLine(int16_t b, int16_t k) {
  const RaceState& race = g_.Race;
  if (!race.HeadsUp && race.RaceType == kEliminations && k >= kFirstNumberedLine &&
      !race.LeftLane.Win && !race.RightLane.Win) {
    return;
  }
  builder_.WritePageBlock(kResultPage);
  const bool numbered = k >= kFirstNumberedLine && k <= kLastNumberedLine;
  const size_t number = numbered ? static_cast<size_t>(k - kFirstNumberedLine + 1)
                                 : static_cast<size_t>(kLineWindowCount);
  Open(g_.LineWindows[number - 1], LineRowAddress(b, k), LineRowAddress(b, k + 1));
}

void PageWriter::SendResultNames(int16_t b, int16_t k) {
  builder_.WritePageBlock(kResultPage);
  Open(g_.NamesWindow, LineRowAddress(b, k), LineRowAddress(b, k + 2));
}

void PageWriter::SendResultBody(int16_t p) {
  builder_.WritePageBlock(kResultPage);
  if (p < 0 || p > g_.Pages.N()) return;
  const int a = g_.Pages[p].Address;
  Open(g_.BodyWindow, LineRowAddress(a, 2), EndRowAddress(a, g_.Pages.PageBlockSize(p)));
}

void PageWriter::SendWholePage(int16_t p) {
  if (g_.PageWindow.Pending()) return;
  if (p < 0 || p > g_.Pages.N()) return;
  builder_.WritePageBlock(p);
  const int a = g_.Pages[p].Address;
  Open(g_.PageWindow, TitleRowAddress(a), EndRowAddress(a, g_.Pages.PageBlockSize(p)));
}

}  // namespace torvane
