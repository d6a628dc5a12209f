#include "ConsoleShutdown.h"

#include <cstdio>
#include <mutex>

namespace torvane::cli {
namespace {

// The handler may run on its thread while the main thread takes the station
// down, so what it reaches lives as long as the process.
std::mutex installedMutex;
Win32StationSystem* installed = nullptr;  // guarded by installedMutex

// Manual reset, never closed: a handler still waiting on it when the main
// thread is done must find it valid.
HANDLE FinishedEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

bool EndsTheProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

}  // namespace

ConsoleShutdown::ConsoleShutdown(Win32StationSystem& system) {
  ResetEvent(FinishedEvent());
  {
    std::lock_guard<std::mutex> lock(installedMutex);
    installed = &system;
  }
  SetConsoleCtrlHandler(&Handler, TRUE);
}

ConsoleShutdown::~ConsoleShutdown() {
  SetConsoleCtrlHandler(&Handler, FALSE);
  {
    std::lock_guard<std::mutex> lock(installedMutex);
    installed = nullptr;
  }
  Finished();
}

void ConsoleShutdown::Finished() { SetEvent(FinishedEvent()); }

BOOL WINAPI ConsoleShutdown::Handler(DWORD event) {
  {
    std::lock_guard<std::mutex> lock(installedMutex);
    if (installed == nullptr) return FALSE;
    std::fprintf(stderr, "torvanetx-cli station: stopping\n");
    installed->Quit(0);
  }
  if (EndsTheProcess(event)) WaitForSingleObject(FinishedEvent(), kSaveWaitMs);
  return TRUE;
}

}  // namespace torvane::cli
