// torvanetx-cli station: the operator program without its window. Runs until
// SIGINT or SIGTERM, then shuts down as the program does, settings saved. A
// status line every 10 s and on SIGUSR1. --dump-on-exit FILE writes the image as
// a memory dump after shutdown, so a run can be checked against what a card holds.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "CliCommand.h"
#include "MemoryDump.h"
#include "ProgramFolder.h"
#include "Station.h"

namespace torvane::cli {
namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const char byte = signal == SIGUSR1 ? 2 : 1;
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

constexpr int kStatusEveryMs = 10000;

}  // namespace

int RunStation(const Arguments& args) {
  std::string registry;
  std::string dumpPath;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--registry" && i + 1 < args.size()) {
      registry = args[++i];
    } else if (args[i] == "--dump-on-exit" && i + 1 < args.size()) {
      dumpPath = args[++i];
    } else {
      std::fprintf(stderr,
                   "usage: torvanetx-cli station [--registry FILE] [--dump-on-exit FILE]\n");
      return 2;
    }
  }
  HiveFiles files = HiveFiles::InFolder(SettingsFolder());
  if (!registry.empty()) files.currentUser = registry;

  int argc = 1;
  char name[] = "torvanetx-cli";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return 1;
  QSocketNotifier signals(signalPipe[0], QSocketNotifier::Read);
  Station* running = nullptr;
  QObject::connect(&signals, &QSocketNotifier::activated, &app, [&] {
    char byte = 0;
    [[maybe_unused]] const ssize_t n = read(signalPipe[0], &byte, 1);
    if (byte == 2) {
      if (running != nullptr) std::fprintf(stderr, "%s\n", running->StatusLine().c_str());
      return;
    }
    std::fprintf(stderr, "torvanetx-cli station: stopping\n");
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);  // a status line now
  SettingsStore settings(files);
  StderrPrompter prompter;
  Station station(settings, prompter, {std::nullopt, SettingsFolder() + "/TorvaneTX.lock"});
  if (!station.Start()) return 1;
  running = &station;
  std::fprintf(stderr,
               "torvanetx-cli station: running (settings %s); Ctrl-C stops, SIGUSR1 shows status\n",
               files.currentUser.c_str());

  QTimer status;
  status.setInterval(kStatusEveryMs);
  QObject::connect(&status, &QTimer::timeout, [&] {
    std::fprintf(stderr, "%s\n", station.StatusLine().c_str());
  });
  status.start();

  const int rc = QCoreApplication::exec();
  station.Shutdown();
  std::fprintf(stderr, "%s\n", station.StatusLine().c_str());
  if (!dumpPath.empty()) {
    std::string error;
    if (!WriteMemoryDump(dumpPath, station.globals().MapImage, &error)) {
      std::fprintf(stderr, "torvanetx-cli station: memory dump not written: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "torvanetx-cli station: memory dump %s (MapEnd %d)\n", dumpPath.c_str(),
                 static_cast<int>(station.globals().MapEnd));
  }
  return rc;
}

}  // namespace torvane::cli
