// The class page of the class being raced: its qualifying list, or a ladder
// that grows by two lines per finished pair. The class page is the one that
// line 12 of page 1 leads to.
#ifndef TORVANE_APP_PARSER_CLASSPAGES_H_
#define TORVANE_APP_PARSER_CLASSPAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "TimingContext.h"

namespace torvane {

class PageStore;
struct RaceState;

// The class page number from page 1 line 12's link, when it is usable:
// 3..125 and not above N. nullopt otherwise (then nothing is written).
std::optional<int16_t> ClassPageNumber(const PageStore& pages);

// Fills the class page with the qualifying list, one qualifier per line in the
// order received (as many as the page has lines, at most 16), every line
// linked to page 1, the title copied from page 1; then refreshes and sends it.
void BuildQualifyingPage(const TimingContext& context);

// The two lines of the finished pair, or nullopt when neither lane has a
// numeric 1320 ft or 660 ft time (or the race type is unknown).
std::optional<std::pair<std::string, std::string>> ComposeLadderPair(const RaceState& race);

// Records the finished pair on the class page: a new page 1 title first empties
// the page (blank lines linked nowhere), then the left and right line go to the
// first two free lines (link 255) and link to page 1. The page is refreshed and
// sent even when no free line was left.
void AddLadderPair(const TimingContext& context);

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_CLASSPAGES_H_
