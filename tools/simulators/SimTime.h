// Time as the simulators see it: an instant is the time since an origin the
// caller chooses (a monotonic clock in the tools, a counter in the tests).
#ifndef TORVANE_TOOLS_SIMULATORS_SIMTIME_H_
#define TORVANE_TOOLS_SIMULATORS_SIMTIME_H_

#include <chrono>

namespace torvane::sim {

using Instant = std::chrono::nanoseconds;
using Duration = std::chrono::nanoseconds;

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_SIMTIME_H_
