#include "ClassPages.h"

#include "Formats.h"
#include "Globals.h"
#include "RaceFields.h"
#include "ResultPage.h"

namespace torvane {
namespace {

constexpr int kFirstClassPage = 3;
constexpr int kLastClassPage = 125;
constexpr int16_t kResultPageLink = 1;
constexpr int kNameWidth = 14;
constexpr int kLadderNameWidth = 12;

void RefreshAndSend(const TimingContext& context, int16_t page) {
  context.editor.OutputPageUpdate(page);
  context.sender.SendWholePage(page);
}

}  // namespace

std::optional<int16_t> ClassPageNumber(const PageStore& pages) {
  const PageRecord& result = pages[kResultPageNumber];
  if (result.Links.size() <= static_cast<size_t>(kMarginLine)) return std::nullopt;
  const int16_t page = result.Links[kMarginLine];
  if (page < kFirstClassPage || page > kLastClassPage || page > pages.N()) return std::nullopt;
  return page;
}

void BuildQualifyingPage(const TimingContext& context) {
  Globals& g = context.globals;
  const std::optional<int16_t> page = ClassPageNumber(g.Pages);
  if (!page) return;
  g.Pages.SetTitle(*page, g.Pages[kResultPageNumber].Title);
  const int lastLine = g.Pages.PageSize(*page);
  for (int i = 0; i <= lastLine; ++i) {
    g.Pages.SetLink(*page, i, kResultPageLink);
    std::string line;
    if (i <= g.Race.QualifyingCount && i < kQualifyingListSize) {
      const Qualifier& q = g.Race.QualifyingList[static_cast<size_t>(i)];
      line = q.Position + q.Name + q.Time;
    }
    g.Pages.SetLine(*page, i, line);
  }
  RefreshAndSend(context, *page);
}

std::optional<std::pair<std::string, std::string>> ComposeLadderPair(const RaceState& race) {
  const LaneResult& left = race.LeftLane;
  const LaneResult& right = race.RightLane;
  const std::string* leftTime = nullptr;
  const std::string* rightTime = nullptr;
  if (IsNumeric(left.QuarterTime) || IsNumeric(right.QuarterTime)) {
    leftTime = &left.QuarterTime;
    rightTime = &right.QuarterTime;
  } else if (IsNumeric(left.EighthTime) || IsNumeric(right.EighthTime)) {
    leftTime = &left.EighthTime;
    rightTime = &right.EighthTime;
  } else {
    return std::nullopt;
  }

  // The underscores of the right line draw the bracket under the pair.
  const std::string rightTimeText = PadRightUnderscore(TrimSpaces(*rightTime), kLaneValueWidth);
  switch (race.RaceType) {
    case kTimeTrials:
    case kQualify:
      return std::make_pair(FitRight(left.Driver, kNameWidth) + *leftTime,
                            FitRightUnderscore(right.Driver, kNameWidth) + rightTimeText);
    case kEliminations:
    case kClassEliminations:
      return std::make_pair((left.Win ? "W " : "L ") +
                                FitRight(TrimSpaces(left.Driver), kLadderNameWidth) + *leftTime,
                            (right.Win ? "W_" : "L_") +
                                FitRightUnderscore(TrimSpaces(right.Driver), kLadderNameWidth) +
                                rightTimeText);
    default:
      return std::nullopt;
  }
}

void AddLadderPair(const TimingContext& context) {
  Globals& g = context.globals;
  const std::optional<int16_t> page = ClassPageNumber(g.Pages);
  if (!page) return;
  const std::string& title = g.Pages[kResultPageNumber].Title;
  if (g.Pages[*page].Title != title) {
    // A new class, race type or round starts a new ladder.
    g.Pages.SetTitle(*page, title);
    const int lastLine = g.Pages.PageSize(*page);
    for (int i = 0; i <= lastLine; ++i) {
      g.Pages.SetLine(*page, i, "");
      g.Pages.SetLink(*page, i, kNoLink);
    }
  }

  const auto pair = ComposeLadderPair(g.Race);
  if (!pair) return;
  const std::string* pending[] = {&pair->first, &pair->second};
  size_t next = 0;
  const int lastLine = g.Pages.PageSize(*page);
  for (int i = 0; i <= lastLine && next < 2; ++i) {
    const std::vector<int16_t>& links = g.Pages[*page].Links;
    if (static_cast<size_t>(i) >= links.size() || links[static_cast<size_t>(i)] != kNoLink)
      continue;
    g.Pages.SetLine(*page, i, *pending[next++]);
    g.Pages.SetLink(*page, i, kResultPageLink);
  }
  RefreshAndSend(context, *page);
}

}  // namespace torvane
