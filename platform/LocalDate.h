#ifndef TORVANE_PLATFORM_LOCALDATE_H_
#define TORVANE_PLATFORM_LOCALDATE_H_

#include <cstdint>
#include <string>

namespace torvane {

struct CalendarDate {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
};

// Today in the machine's local time zone.
CalendarDate LocalToday();

// Milliseconds since 1970 (UTC), from the system clock.
int64_t NowMs();
// The local time of day of ms as "HH:MM:SS".
std::string LocalClockText(int64_t ms);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_LOCALDATE_H_
