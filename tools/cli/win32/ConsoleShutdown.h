// Stops the Windows station from its console: Ctrl-C, Ctrl-Break, the
// console window closed, the user logging off, the system shutting down.
// Windows calls the handler on a thread of its own, and for the last three
// ends the process as soon as the handler returns (after about 5 s at the
// latest); so for those the handler waits until the station says it has shut
// down and saved (Finished), at most kSaveWaitMs, before it returns.
#ifndef TORVANE_TOOLS_CLI_WIN32_CONSOLESHUTDOWN_H_
#define TORVANE_TOOLS_CLI_WIN32_CONSOLESHUTDOWN_H_

#include <windows.h>

#include "Win32StationSystem.h"

namespace torvane::cli {

class ConsoleShutdown {
 public:
  // Short of the system's own limit, so the handler returns before Windows
  // gives up on it.
  static constexpr DWORD kSaveWaitMs = 4500;

  // Installs the handler for system's loop; one at a time. system must outlive this.
  explicit ConsoleShutdown(Win32StationSystem& system);
  // Removes the handler (one called later lets the system's default end the
  // process); a handler still waiting returns.
  ~ConsoleShutdown();
  ConsoleShutdown(const ConsoleShutdown&) = delete;
  ConsoleShutdown& operator=(const ConsoleShutdown&) = delete;

  // The station has shut down and saved: a waiting handler may let the
  // process end now.
  void Finished();

  // The function installed with SetConsoleCtrlHandler.
  static BOOL WINAPI Handler(DWORD event);
};

}  // namespace torvane::cli

#endif  // TORVANE_TOOLS_CLI_WIN32_CONSOLESHUTDOWN_H_
