// For the tests of Windows serial lines: runs the lines' completions as a
// station's message loop would, until a condition holds or time runs out.
#ifndef TORVANE_APP_PORTS_WIN32_SERVICEUNTIL_H_
#define TORVANE_APP_PORTS_WIN32_SERVICEUNTIL_H_

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <vector>

#include "Win32SerialLine.h"

namespace torvane {

// Runs the lines' completions until done() holds or ms pass; done() at the end.
inline bool ServiceUntil(std::initializer_list<Win32SerialLine*> lines,
                         const std::function<bool()>& done, int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (!done()) {
    const int left = static_cast<int>(end - GetTickCount());
    if (left <= 0) return done();
    std::vector<HANDLE> events;
    for (Win32SerialLine* line : lines) {
      for (HANDLE event : line->Events()) events.push_back(event);
    }
    if (events.empty()) return done();  // every line closed: nothing more can come
    WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                           static_cast<DWORD>(left < 50 ? left : 50));
    for (Win32SerialLine* line : lines) line->Service();
  }
  return true;
}

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_WIN32_SERVICEUNTIL_H_
