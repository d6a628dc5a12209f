#include "Globals.h"

#include <algorithm>

namespace torvane {

void Globals::ResetSendWindows() {
  for (auto& window : LineWindows) window = {};
  BodyWindow = {};
  NamesWindow = {};
  TitleWindow = {};
  PageWindow = {};
}

int16_t DayOfYear(int year, int month, int day) {
  static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  month = std::clamp(month, 1, 12);
  int days = kDaysBefore[month - 1] + day - 1;
  if (leap && month > 2) ++days;
  return static_cast<int16_t>(days);
}

}  // namespace torvane
