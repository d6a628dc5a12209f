#include "RequestScanner.h"

namespace torvane::sim {
namespace {

constexpr std::string_view kRequest = "~AC";

}  // namespace

int RequestScanner::Feed(std::string_view bytes) {
  int found = 0;
  for (char c : bytes) {
    if (c == kRequest[static_cast<size_t>(matched_)]) {
      if (++matched_ == static_cast<int>(kRequest.size())) {
        ++found;
        matched_ = 0;
      }
    } else {
      // No proper prefix of "~AC" is also its suffix, so only "~" restarts a match.
      matched_ = c == kRequest[0] ? 1 : 0;
    }
  }
  return found;
}

}  // namespace torvane::sim
