// torvanetx-cli.exe station: the operator program without its window, on the
// Win32 message loop. Settings come from the registry, below
// HKEY_CURRENT_USER\SOFTWARE\TorvaneTX; the serial links are COM ports, the TCP links go
// through the registered control. Runs until Ctrl-C or Ctrl-Break, the console
// closed, a log-off or the system's shutdown, for --seconds N, or until the
// file --stop-file PATH appears (what a script can do to a program under
// Wine), then shuts down as the program does; a status line every 10 s.
// --dump-on-exit FILE writes the image as a memory dump after shutdown, so a
// run can be checked against what a card holds. --web PORT[:BIND] serves the
// web view (else the values Port and Bind of the Web key).
#include <winsock2.h>  // before windows.h, for the control's headers

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "CliCommand.h"
#include "ConsoleShutdown.h"
#include "InstanceLock.h"
#include "MemoryDump.h"
#include "ProgramFolder.h"
#include "ProgramSettings.h"
#include "StationCore.h"
#include "StationWeb.h"
#include "Win32StationSystem.h"

namespace torvane::cli {
namespace {

constexpr int kStatusEveryMs = 10000;

}  // namespace

int RunStation(const Arguments& args) {
  std::string dumpPath;
  long seconds = 0;
  std::string stopFile;
  std::optional<WebSettings> webGiven;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--dump-on-exit" && i + 1 < args.size()) {
      dumpPath = args[++i];
    } else if (args[i] == "--seconds" && i + 1 < args.size()) {
      seconds = std::strtol(args[++i].c_str(), nullptr, 10);
    } else if (args[i] == "--stop-file" && i + 1 < args.size()) {
      stopFile = args[++i];
    } else if (!TakeWebOption(args, &i, &webGiven)) {
      std::fprintf(stderr,
                   "usage: torvanetx-cli station [--dump-on-exit FILE] [--seconds N] "
                   "[--stop-file PATH] [--web PORT[:BIND]]\n");
      return kExitUsage;
    }
  }
  // Buffered output would reach a pipe only at the end of a race day.
  std::setvbuf(stderr, nullptr, _IONBF, 0);

  StderrPrompter prompter;
  // Before anything is read: a second copy must not touch the settings.
  InstanceLock instance(SettingsFolder() + "\\TorvaneTX.lock");
  if (!TakeInstanceLock(instance, prompter)) return kExitFailed;
  ProgramSettings stored = OpenProgramSettings();
  SettingsStore& settings = *stored.store;
  Win32StationSystem system;
  // The console going away ends the process once this lets it: after the
  // shutdown below has saved (or when this goes out of scope).
  ConsoleShutdown console(system);
  int rc = kExitOk;
  {
    StationCore station(settings, prompter, system);
    station.Start();
    if (!station.LoadError().empty()) {
      std::fprintf(stderr, "torvanetx-cli station: start-up stopped: %s\n",
                   station.LoadError().c_str());
    }
    std::fprintf(stderr, "torvanetx-cli station: running (settings in %s); Ctrl-C stops\n",
                 stored.where.c_str());
    StationWeb web;
    web.Start(station.Snapshots(), settings, webGiven);
    system.Every(kStatusEveryMs, [&] {
      std::fprintf(stderr, "%s%s\n", station.StatusLine().c_str(), web.Note().c_str());
    });
    if (seconds > 0) {
      system.Every(static_cast<int>(seconds * 1000), [&] {
        std::fprintf(stderr, "torvanetx-cli station: %ld s are up, stopping\n", seconds);
        system.Quit(0);
      });
    }
    if (!stopFile.empty()) {
      system.Every(1000, [&] {
        if (GetFileAttributesA(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES) return;
        std::fprintf(stderr, "torvanetx-cli station: %s is there, stopping\n", stopFile.c_str());
        system.Quit(0);
      });
    }
    rc = system.Run();
    web.Stop();
    station.Shutdown();
    std::fprintf(stderr, "%s\n", station.StatusLine().c_str());
    if (!dumpPath.empty()) {
      std::string error;
      if (!WriteMemoryDump(dumpPath, station.globals().MapImage, &error)) {
        std::fprintf(stderr, "torvanetx-cli station: memory dump not written: %s\n", error.c_str());
        return kExitFailed;
      }
      std::fprintf(stderr, "torvanetx-cli station: memory dump %s (MapEnd %d)\n", dumpPath.c_str(),
                   static_cast<int>(station.globals().MapEnd));
    }
    console.Finished();
  }
  return rc;
}

}  // namespace torvane::cli
