#ifndef TORVANE_PLATFORM_LOCALDATE_H_
#define TORVANE_PLATFORM_LOCALDATE_H_

namespace torvane {

struct CalendarDate {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
};

// Today in the machine's local time zone.
CalendarDate LocalToday();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_LOCALDATE_H_
