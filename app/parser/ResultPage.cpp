#include "ResultPage.h"

#include "Formats.h"
#include "Globals.h"

namespace torvane {
namespace {

constexpr int kTitleClassWidth = 13;

std::string IdentityLine(char side, const LaneResult& lane) {
  std::string line(1, side);
  line += '[';
  line += TrimSpaces(lane.Entry);
  line += ':';
  line += TrimSpaces(lane.CarNumber);
  line += ']';
  line += lane.Driver;  // the driver text as received, not trimmed
  return line;
}

std::string ValueLine(std::string_view label, const std::string& left, const std::string& right) {
  return std::string(label) + left + " " + right;
}

std::optional<std::string> Title(const RaceState& race) {
  static constexpr const char* kSuffix[] = {" T", " Q", " E", " C"};
  if (race.RaceType < kTimeTrials || race.RaceType > kClassEliminations) return std::nullopt;
  std::string title(TrimSpaces(race.CurrentClass).substr(0, kTitleClassWidth));
  title += kSuffix[race.RaceType];
  title += std::to_string(race.RoundNumber);
  return title.substr(0, kTitleWidth);
}

bool IsEliminations(int16_t raceType) {
  return raceType == kEliminations || raceType == kClassEliminations;
}

}  // namespace

ResultPageLayout ComposeResultPage(const RaceState& race, bool delayEverything) {
  const LaneResult& left = race.LeftLane;
  const LaneResult& right = race.RightLane;
  ResultPageLayout page;
  page.title = Title(race);
  auto& lines = page.lines;
  lines[0] = IdentityLine('L', left);
  lines[1] = IdentityLine('R', right);
  lines[2] = "_______LEFT___RIGHT_";
  if (!race.HeadsUp) {
    lines[3] = " Dial " + left.Dial + " " + right.Dial;
  } else if (race.RaceType == kTimeTrials || race.RaceType == kQualify) {
    lines[3] = " Bump  >> " + race.BumpTime + " <<";
  } else {
    lines[3] = " ";
  }

  page.held = (!race.HeadsUp && IsEliminations(race.RaceType)) || delayEverything;
  const bool anyWin = left.Win || right.Win;
  if (page.held && !anyWin) {
    static constexpr const char* kLabels[] = {"  R/T", "  60'", " 330'", " 660'", "  mph",
                                              "1000'", "1320'", "  mph", "Margin"};
    for (int i = 0; i < 9; ++i) lines[static_cast<size_t>(4 + i)] = kLabels[i];
    return page;
  }

  lines[4] = ValueLine("  R/T ", left.ReactionTime, right.ReactionTime);
  lines[5] = ValueLine("  60' ", left.Sixty, right.Sixty);
  lines[6] = ValueLine(" 330' ", left.ThreeThirty, right.ThreeThirty);
  lines[7] = ValueLine(" 660' ", left.EighthTime, right.EighthTime);
  lines[8] = ValueLine("  mph ", left.EighthSpeed, right.EighthSpeed);
  lines[9] = ValueLine("1000' ", left.Thousand, right.Thousand);
  lines[10] = ValueLine("1320' ", left.QuarterTime, right.QuarterTime);
  lines[11] = ValueLine("  mph ", left.QuarterSpeed, right.QuarterSpeed);

  // The winner's margin is printed in the other lane's column.
  std::string& margin = lines[kMarginLine];
  if (page.held) {
    if (left.Win && right.Win) {
      margin = "Margin  WIN    WIN";
    } else if (left.Win) {
      margin = "Margin  WIN  " + left.Margin;
    } else {
      margin = "Margin" + right.Margin + "  WIN";
    }
    page.releaseHeld = true;
  } else if (race.RaceType == kEliminations) {
    if (left.Win) {
      margin = "Margin  WIN  " + left.Margin;
    } else if (right.Win) {
      margin = "Margin" + right.Margin + "  WIN";
    } else {
      margin = "Margin";
    }
  } else if (race.HeadsUp) {
    margin = " ";
  } else {
    margin = "  +/- " + left.DialDifference + " " + right.DialDifference;
  }
  return page;
}

void BuildResultPage(const TimingContext& context) {
  Globals& g = context.globals;
  const ResultPageLayout page = ComposeResultPage(g.Race, g.DelayEverything);
  if (page.title) g.Pages.SetTitle(kResultPageNumber, *page.title);
  // The store keeps page 1 at 13 lines or more; a shorter page gets what fits.
  const int lastLine = g.Pages.PageSize(kResultPageNumber);
  for (int i = 0; i < kResultLineCount && i <= lastLine; ++i) {
    g.Pages.SetLine(kResultPageNumber, i, page.lines[static_cast<size_t>(i)]);
  }
  if (page.releaseHeld) context.sender.SendResultBody(kResultPageNumber);
  context.editor.OutputPageUpdate(kResultPageNumber);
}

}  // namespace torvane
