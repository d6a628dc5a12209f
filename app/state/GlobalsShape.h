// What every change of the shared state must keep, whatever a timing system
// sent: fixed-width fields, page lines and titles, links, and send windows
// inside the image. The fuzz targets check it after every input.
#ifndef TORVANE_APP_STATE_GLOBALSSHAPE_H_
#define TORVANE_APP_STATE_GLOBALSSHAPE_H_

#include <string>
#include <vector>

#include "Globals.h"

namespace torvane {

// The first rule g breaks, or empty when it keeps its shape.
inline std::string GlobalsShapeFault(const Globals& g) {
  for (const LaneResult* lane : {&g.Race.LeftLane, &g.Race.RightLane}) {
    for (const std::string* field :
         {&lane->Dial, &lane->ReactionTime, &lane->Sixty, &lane->ThreeThirty, &lane->EighthTime,
          &lane->EighthSpeed, &lane->Thousand, &lane->EventSixValue, &lane->QuarterTime,
          &lane->QuarterSpeed, &lane->Margin, &lane->DialDifference}) {
      if (field->size() != kLaneValueWidth) return "a lane value is not 6 wide";
    }
  }
  if (g.Race.CurrentClass.size() != kTitleWidth) return "the class is not 16 wide";
  if (g.Race.BumpTime.size() != kLaneValueWidth) return "the bump time is not 6 wide";
  if (g.Pages.N() < kMinHighestPage || g.Pages.PageSize(kResultPage) < kResultPageMinSize) {
    return "pages 0..2 or the result page's 13 lines are gone";
  }
  for (int k = 0; k <= g.Pages.N(); ++k) {
    const PageRecord& page = g.Pages[k];
    if (page.Title.size() != kTitleWidth) return "a title is not 16 wide";
    if (page.Lines.size() != page.Links.size()) return "lines and links differ in number";
    for (const std::string& line : page.Lines) {
      if (line.size() != kLineWidth) return "a line is not 20 wide";
    }
    for (int16_t link : page.Links) {
      if (link < 0 || link > kNoLink) return "a link is outside 0..255";
    }
  }
  std::vector<SendWindow> windows(g.LineWindows.begin(), g.LineWindows.end());
  windows.insert(windows.end(), {g.BodyWindow, g.NamesWindow, g.TitleWindow, g.PageWindow});
  for (const SendWindow& w : windows) {
    if (w.Next < 0 || w.End < 0) return "a send window starts below 0";
    if (w.Pending() && w.End > kMapImageSize - 8) return "a send window runs past the image";
  }
  return {};
}

}  // namespace torvane

#endif  // TORVANE_APP_STATE_GLOBALSSHAPE_H_
