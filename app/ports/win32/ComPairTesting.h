// For the tests of Windows serial lines on the pty pair run-with-com-pair
// maps to COM5 and COM6: the two lines, and a way to run their completions as
// a station's message loop would.
#ifndef TORVANE_APP_PORTS_WIN32_COMPAIRTESTING_H_
#define TORVANE_APP_PORTS_WIN32_COMPAIRTESTING_H_

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
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

// Line a on COM5 and b on COM6, each taking every byte as it comes and
// keeping what it received and the failures it reported.
struct ComPairTest : ::testing::Test {
  void SetUp() override {
    a.SetCommPort(5);
    b.SetCommPort(6);
    for (Win32SerialLine* line : {&a, &b}) {
      line->SetSettings("57600,N,8,1");
      line->SetRThreshold(1);
      line->OnComm = [this, line] { (line == &a ? atA : atB) += line->Input(); };
      line->OnLineError = [this](const std::string& why) { errors += why + "\n"; };
    }
  }
  Win32SerialLine a;
  Win32SerialLine b;
  std::string atA;
  std::string atB;
  std::string errors;
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_WIN32_COMPAIRTESTING_H_
