// Page 1, the live race result page: title and lines 0..12 laid out from the
// race state. Times show as they arrive (immediate mode) or are held back until
// a win light (held mode: eliminations without heads-up, or Delay Everything).
#ifndef TORVANE_APP_PARSER_RESULTPAGE_H_
#define TORVANE_APP_PARSER_RESULTPAGE_H_

#include <array>
#include <optional>
#include <string>

#include "RaceState.h"
#include "TimingContext.h"

namespace torvane {

inline constexpr int kResultLineCount = 13;  // lines 0..12
inline constexpr int16_t kResultPageNumber = 1;
inline constexpr int kMarginLine = 12;  // also leads to the class page

struct ResultPageLayout {
  std::optional<std::string> title;                 // nullopt: an unknown race type keeps the title
  std::array<std::string, kResultLineCount> lines;  // as composed, cut to 20 when stored
  bool held = false;                                // held mode
  bool releaseHeld = false;  // held mode with a win light: the whole body goes out
};

// The layout as a pure function of the race state and Delay Everything.
ResultPageLayout ComposeResultPage(const RaceState& race, bool delayEverything);

// Writes the layout into page 1 (only the lines the page has), sends the whole
// body at once when held times are released, and has the editor refresh page 1.
// Storing and queuing the changed rows is otherwise the caller's.
void BuildResultPage(const TimingContext& context);

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_RESULTPAGE_H_
