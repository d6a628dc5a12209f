// torvanetx-cli station: the operator program without its window. Runs until
// SIGINT, SIGTERM or SIGHUP (its terminal closed), then shuts down as the
// program does, settings saved. A status line every 10 s and on SIGUSR1.
// --dump-on-exit FILE writes the image as a memory dump after shutdown, so a
// run can be checked against what a card holds.
// --commands takes operator commands on standard input, one a line:
//   status | ticker start TEXT | ticker stop | line PAGE ROW TEXT | quit
// (TEXT in UTF-8), so scripts can drive what the window's operator would do.
// --web PORT[:BIND] serves the web view (else the Web key's Port and Bind).
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "AnsiText.h"
#include "CliCommand.h"
#include "ControlRegistration.h"
#include "InstanceLock.h"
#include "MemoryDump.h"
#include "NewsTicker.h"
#include "ProgramFolder.h"
#include "ProgramSettings.h"
#include "Station.h"
#include "StationWeb.h"

namespace torvane::cli {
namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const char byte = signal == SIGUSR1 ? 2 : 1;
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

constexpr int kStatusEveryMs = 10000;

// The web view, whose address the status line carries while it serves.
StationWeb web;

std::string StatusLine(const Station& station) { return station.StatusLine() + web.Note(); }

// Leading "word " of *line, taken off it.
std::string TakeWord(std::string& line) {
  const size_t space = line.find(' ');
  std::string word = line.substr(0, space);
  line = space == std::string::npos ? std::string() : line.substr(space + 1);
  return word;
}

// One operator command; false for a line it does not understand.
bool RunOperatorCommand(Station& station, std::string line) {
  const std::string command = TakeWord(line);
  if (command == "status") {
    std::fprintf(stderr, "%s\n", StatusLine(station).c_str());
    return true;
  }
  if (command == "quit") {
    QCoreApplication::quit();
    return true;
  }
  if (command == "ticker") {
    const std::string action = TakeWord(line);
    if (action == "stop") {
      StopTicker(station.globals());
      return true;
    }
    if (action != "start" || line.empty()) return false;
    const std::string text = Utf8ToAnsi(line).substr(0, kMaxTickerLength);
    StartTicker(station.globals(), station.builder(), text, station.editor().CurrentPage());
    const auto& entries = station.TickerList();
    if (std::find(entries.begin(), entries.end(), text) == entries.end()) {
      station.AddTickerEntry(text);
    }
    return true;
  }
  if (command == "line") {
    const std::string page = TakeWord(line);
    const std::string row = TakeWord(line);
    if (page.empty() || row.empty() || row.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    SettingsStore::Batch batch(station.settings());
    station.editor().ShowPage(page);
    station.editor().SetLineText(std::stoi(row), Utf8ToAnsi(line));
    return true;
  }
  return false;
}

}  // namespace

int RunStation(const Arguments& args) {
  std::string registry;
  std::string dumpPath;
  bool commands = false;
  std::optional<WebSettings> webGiven;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--registry" && i + 1 < args.size()) {
      registry = args[++i];
    } else if (args[i] == "--dump-on-exit" && i + 1 < args.size()) {
      dumpPath = args[++i];
    } else if (args[i] == "--commands") {
      commands = true;
    } else if (!TakeWebOption(args, &i, &webGiven)) {
      std::fprintf(stderr,
                   "usage: torvanetx-cli station [--registry FILE] [--dump-on-exit FILE] "
                   "[--commands] [--web PORT[:BIND]]\n");
      return 2;
    }
  }

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
      if (running != nullptr) std::fprintf(stderr, "%s\n", StatusLine(*running).c_str());
      return;
    }
    std::fprintf(stderr, "torvanetx-cli station: stopping\n");
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal or a dropped session would otherwise end the day unsaved.
  sigaction(SIGHUP, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);  // a status line now
  StderrPrompter prompter;
  // Before anything is read: a second copy must not touch the settings files.
  InstanceLock instance(SettingsFolder() + "/TorvaneTX.lock");
  if (!TakeInstanceLock(instance, prompter)) return 1;
  const ControlRegistration control = RegisterControlAtStart();
  if (!control.message.empty()) {
    std::fprintf(stderr, "torvanetx-cli station: %s\n", control.message.c_str());
  }
  ProgramSettings stored = OpenProgramSettings(registry);
  SettingsStore& settings = *stored.store;
  Station station(settings, prompter);
  station.Start();
  running = &station;
  if (!station.LoadError().empty()) {
    std::fprintf(stderr, "torvanetx-cli station: start-up stopped: %s\n",
                 station.LoadError().c_str());
  }
  std::fprintf(stderr,
               "torvanetx-cli station: running (settings %s); Ctrl-C stops, SIGUSR1 shows status\n",
               stored.where.c_str());

  // The web view reads the station's snapshots on its own thread.
  web.Start(station.Snapshots(), settings, webGiven);

  // Operator commands on standard input; its end changes nothing.
  std::unique_ptr<QSocketNotifier> input;
  std::string pending;
  if (commands) {
    input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(input.get(), &QSocketNotifier::activated, &app, [&] {
      char buffer[4096];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        input->setEnabled(false);
        return;
      }
      pending.append(buffer, static_cast<size_t>(n));
      // A line longer than the buffer cap is dropped rather than kept growing.
      if (pending.size() > 65536) pending.clear();
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && !RunOperatorCommand(station, line)) {
          std::fprintf(stderr, "torvanetx-cli station: not understood: %s\n", line.c_str());
        }
      }
    });
  }

  QTimer status;
  status.setInterval(kStatusEveryMs);
  QObject::connect(&status, &QTimer::timeout,
                   [&] { std::fprintf(stderr, "%s\n", StatusLine(station).c_str()); });
  status.start();

  const int rc = QCoreApplication::exec();
  web.Stop();
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
