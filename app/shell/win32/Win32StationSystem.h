// The station on the Win32 message loop: serial lines on COM ports
// (Win32SerialLine), the one-second timer as WM_TIMER on a message-only
// window, and the loop that waits on the lines' events and the thread's
// messages at once (the TCP control's socket window is served by the same
// messages). Windows only.
#ifndef TORVANE_APP_SHELL_WIN32_WIN32STATIONSYSTEM_H_
#define TORVANE_APP_SHELL_WIN32_WIN32STATIONSYSTEM_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "StationSystem.h"
#include "Win32SerialLine.h"

namespace torvane {

class Win32StationSystem : public StationSystem {
 public:
  Win32StationSystem();
  ~Win32StationSystem() override;
  Win32StationSystem(const Win32StationSystem&) = delete;
  Win32StationSystem& operator=(const Win32StationSystem&) = delete;

  std::unique_ptr<SerialLine> MakeSerialLine(
      std::function<std::string(int16_t)> devicePath) override;
  void StartTimer(int intervalMs, std::function<void()> tick) override;
  void StopTimer() override;
  bool TimerRunning() const override { return timerRunning_; }

  // Runs work every intervalMs as well (a status line), beside the station's timer.
  void Every(int intervalMs, std::function<void()> work);

  // Runs the loop until Quit() or WM_QUIT; returns the exit code given.
  int Run();
  // Ends Run(); callable from any thread (a console control handler).
  void Quit(int code);

  // Turns of the loop so far that served lines, and looks at the message
  // queue; what a turnaround costs the loop, counted.
  uint64_t LineWakes() const { return lineWakes_; }
  uint64_t QueueLooks() const { return queueLooks_; }

 private:
  class Line;
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  DWORD threadId_;
  bool timerRunning_ = false;
  std::function<void()> tick_;
  std::vector<std::function<void()>> extra_;
  std::vector<Line*> lines_;
  uint64_t lineWakes_ = 0;
  uint64_t queueLooks_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_WIN32_WIN32STATIONSYSTEM_H_
