// Finds class list requests ("~AC") in what a client sends to the command
// stream server. A request may come with or without a carriage return and may
// be split over several reads; everything else is ignored.
#ifndef TORVANE_TOOLS_SIMULATORS_REQUESTSCANNER_H_
#define TORVANE_TOOLS_SIMULATORS_REQUESTSCANNER_H_

#include <string_view>

namespace torvane::sim {

class RequestScanner {
 public:
  // The number of requests that bytes completes.
  int Feed(std::string_view bytes);

 private:
  int matched_ = 0;  // characters of "~AC" matched so far
};

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_REQUESTSCANNER_H_
