// torvanetx: the operator program.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Desktop.h"
#include "MainWindow.h"
#include "ProgramFolder.h"
#include "QMessageBoxPrompter.h"
#include "SettingsStore.h"
#include "Station.h"

namespace {

const char* const kExitWhenReady = "exit-when-ready";

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "TorvaneTX: race results and pages for the Torvane Transmitter.\n"
      "Settings live in $XDG_CONFIG_HOME/TorvaneTX (default ~/.config/TorvaneTX).");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      kExitWhenReady,
      "Start as usual, then quit (saving as at a normal exit) once the main window is shown "
      "and the event loop has run, and print \"ready after <ms> ms\" on standard output: the "
      "time from the start of main, so loading the program and its libraries is not "
      "included. Messages go to standard error and take their default answer."));
}

// --help and --version need no display, so they are answered before the
// application (which would need one) is made.
bool AnswersWithoutDisplay(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
      if (std::strcmp(argv[i], option) == 0) return true;
    }
  }
  return false;
}

void SetNames() {
  QCoreApplication::setApplicationName("TorvaneTX");
  QCoreApplication::setApplicationVersion(QString("%1.%2.%3")
                                              .arg(TORVANE_VERSION_MAJOR)
                                              .arg(TORVANE_VERSION_MINOR)
                                              .arg(TORVANE_VERSION_PATCH));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace torvane;
  QElapsedTimer clock;
  clock.start();
  SetNames();
  if (AnswersWithoutDisplay(argc, argv)) {
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    parser.process(core);  // prints help or version and exits
    return 0;
  }

  QApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  const bool exitWhenReady = parser.isSet(kExitWhenReady);

  SettingsStore settings(HiveFiles::InFolder(SettingsFolder()));
  QMessageBoxPrompter boxes;
  StderrPrompter unattended;
  Prompter& prompter = exitWhenReady ? static_cast<Prompter&>(unattended) : boxes;
  QtDesktop desktop;
  Station station(settings, prompter, {std::nullopt, SettingsFolder() + "/TorvaneTX.lock"});
  std::string stationLoadError;
  try {
    if (!station.Start()) return 0;
  } catch (const std::exception& e) {
    // The station's part of the load raised (the conversion library cannot be
    // loaded, for one): the window reports it as a load error and skips its
    // own steps rather than the program ending here.
    stationLoadError = e.what();
  }
  MainWindow::LoadGate gate;
  if (!stationLoadError.empty()) {
    gate = [&stationLoadError](std::string_view) {
      throw std::runtime_error("the station's start-up raised: " + stationLoadError);
    };
  }
  MainWindow window(station, prompter, desktop, gate);
  boxes.SetParent(&window);
  window.show();

  // Shown and exposed, and the event loop has delivered what showing posted.
  QTimer readyCheck;
  readyCheck.setInterval(0);
  QObject::connect(&readyCheck, &QTimer::timeout, &window, [&] {
    if (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) return;
    readyCheck.stop();
    std::printf("ready after %.1f ms\n", static_cast<double>(clock.nsecsElapsed()) / 1e6);
    std::fflush(stdout);
    window.close();
  });
  if (exitWhenReady) readyCheck.start();
  // A picture of the window for the documentation, then a normal exit.
  const QString shot = qEnvironmentVariable("TORVANETX_SCREENSHOT");
  if (!shot.isEmpty()) {
    bool given = false;
    const int after = qEnvironmentVariableIntValue("TORVANETX_SCREENSHOT_AFTER_MS", &given);
    QTimer::singleShot(given ? after : 500, &window, [&window, shot] {
      window.grab().save(shot);
      window.close();
    });
  }
  return QApplication::exec();
}
