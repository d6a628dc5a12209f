#include "Win32StationSystem.h"

#include <algorithm>

namespace torvane {
namespace {

constexpr UINT_PTR kStationTimer = 1;
constexpr UINT_PTR kFirstExtraTimer = 100;
constexpr char kWindowClass[] = "TorvaneTXStationLoop";
constexpr ULONGLONG kMaxQueueSilenceMs = 20;

}  // namespace

// A line that the loop serves while it exists.
class Win32StationSystem::Line : public Win32SerialLine {
 public:
  Line(Win32StationSystem& system, std::function<std::string(int16_t)> devicePath)
      : Win32SerialLine(std::move(devicePath)), system_(system) {
    system_.lines_.push_back(this);
  }
  ~Line() override {
    auto& lines = system_.lines_;
    lines.erase(std::remove(lines.begin(), lines.end(), this), lines.end());
  }

 private:
  Win32StationSystem& system_;
};

Win32StationSystem::Win32StationSystem() : threadId_(GetCurrentThreadId()) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassA(&windowClass);  // fails harmlessly when a second system registers it again
  window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                            nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32StationSystem::~Win32StationSystem() {
  if (window_ != nullptr) DestroyWindow(window_);
}

std::unique_ptr<SerialLine> Win32StationSystem::MakeSerialLine(
    std::function<std::string(int16_t)> devicePath) {
  return std::make_unique<Line>(*this, std::move(devicePath));
}

void Win32StationSystem::StartTimer(int intervalMs, std::function<void()> tick) {
  tick_ = std::move(tick);
  timerRunning_ = SetTimer(window_, kStationTimer, static_cast<UINT>(intervalMs), nullptr) != 0;
}

void Win32StationSystem::StopTimer() {
  if (timerRunning_) KillTimer(window_, kStationTimer);
  timerRunning_ = false;
}

void Win32StationSystem::Every(int intervalMs, std::function<void()> work) {
  extra_.push_back(std::move(work));
  SetTimer(window_, kFirstExtraTimer + extra_.size() - 1, static_cast<UINT>(intervalMs), nullptr);
}

LRESULT CALLBACK Win32StationSystem::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  auto* self = reinterpret_cast<Win32StationSystem*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr && message == WM_TIMER) {
    if (wParam == kStationTimer && self->timerRunning_ && self->tick_) {
      self->tick_();
    } else if (wParam >= kFirstExtraTimer && wParam - kFirstExtraTimer < self->extra_.size()) {
      self->extra_[wParam - kFirstExtraTimer]();
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Win32StationSystem::Run() {
  ULONGLONG lastLookMs = GetTickCount64();
  for (;;) {
    std::vector<HANDLE> events;
    for (Line* line : lines_) {
      for (HANDLE event : line->Events()) events.push_back(event);
    }
    const DWORD woke = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(events.size()),
                                                   events.data(), INFINITE, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    const bool lineWoke = woke < WAIT_OBJECT_0 + events.size();
    if (lineWoke) {
      ++lineWakes_;
      // A line's handler may close or destroy lines: serve a copy of the list.
      std::vector<Line*> lines = lines_;
      for (Line* line : lines) {
        if (std::find(lines_.begin(), lines_.end(), line) != lines_.end()) line->Service();
      }
    }
    // The wait names a line before the message queue, so a line's wake-up
    // goes straight back to waiting (looking at the queue costs a call to
    // the system, and a reply's turnaround with it); the queue is looked at
    // when the wait names it, and at least every kMaxQueueSilenceMs while
    // lines keep it busy.
    const ULONGLONG nowMs = GetTickCount64();
    if (lineWoke && nowMs - lastLookMs < kMaxQueueSilenceMs) continue;
    lastLookMs = nowMs;
    ++queueLooks_;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void Win32StationSystem::Quit(int code) {
  PostThreadMessageA(threadId_, WM_QUIT, static_cast<WPARAM>(code), 0);
}

}  // namespace torvane
