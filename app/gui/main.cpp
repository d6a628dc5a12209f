// torvanetx: the operator program.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "ControlRegistration.h"
#include "Desktop.h"
#include "ErrorReporter.h"
#include "InstanceLock.h"
#include "MainWindow.h"
#include "ProgramFolder.h"
#include "ProgramSettings.h"
#include "QMessageBoxPrompter.h"
#include "SettingsStore.h"
#include "Station.h"
#include "WebServer.h"
#include "WebSettings.h"

namespace {

const char* const kExitWhenReady = "exit-when-ready";

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "TorvaneTX: race results and pages for the Torvane Transmitter.\n"
#ifdef _WIN32
      "Settings live in the registry, HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX.");
#else
      "Settings live in $XDG_CONFIG_HOME/TorvaneTX (default ~/.config/TorvaneTX).");
#endif
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

// An error raised out of a window command (an image rebuild without the
// conversion library, for one) must not end the program from inside the event
// loop: it goes to an error reporter and the program goes on.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  void SetPrompter(torvane::Prompter& prompter) {
    errors_ = std::make_unique<torvane::ErrorReporter>(prompter);
  }

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "TorvaneTX: %s\n", e.what());
      if (errors_ != nullptr) errors_->Report(e.what());
      return false;
    }
  }

 private:
  std::unique_ptr<torvane::ErrorReporter> errors_;
};

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

  GuardedApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  const bool exitWhenReady = parser.isSet(kExitWhenReady);

  QMessageBoxPrompter boxes;
  StderrPrompter unattended;
  Prompter& prompter = exitWhenReady ? static_cast<Prompter&>(unattended) : boxes;
  // Before anything is read: a second copy must not touch the settings files.
  InstanceLock instance(SettingsFolder() + "/TorvaneTX.lock");
  if (!TakeInstanceLock(instance, prompter)) return 0;
#ifndef _WIN32
  // On Windows the setup program registers the control, as COM expects.
  const ControlRegistration control = RegisterControlAtStart();
  if (!control.message.empty()) std::fprintf(stderr, "TorvaneTX: %s\n", control.message.c_str());
#endif
  // On Windows the registry, where the Windows station keeps them too.
  ProgramSettings stored = OpenProgramSettings();
  SettingsStore& settings = *stored.store;
  QtDesktop desktop;
  Station station(settings, prompter);
  station.Start();
  // The station's part of the load (the image built, the timer started) runs
  // after the editor opens and before the colours are restored: when it raised
  // (the conversion library cannot be loaded, for one), the window reports it as
  // a load error from there on instead of the program ending.
  MainWindow::LoadGate gate;
  if (!station.LoadError().empty()) {
    gate = [&station](std::string_view step) {
      if (step == std::string_view("background colour")) {
        throw std::runtime_error("the image could not be built: " + station.LoadError());
      }
    };
  }
  MainWindow window(station, prompter, desktop, gate);
  boxes.SetParent(&window);
  app.SetPrompter(prompter);

  // The web view, when the Web key asks for it: its address in the status bar
  // while it serves; a port it cannot have is said once and the window runs on.
  std::string webProblem;
  const WebSettings web = LoadWebSettings(settings, &webProblem);
  std::unique_ptr<WebServer> webServer;
  if (web.On()) {
    WebServerOptions options;
    options.port = web.port;
    options.bind = web.bind;
    webServer = std::make_unique<WebServer>(station.Snapshots(), options);
    if (webServer->Start(&webProblem)) {
      auto* lblWebView = new QLabel(QString::fromStdString("web view: " + webServer->Address()));
      lblWebView->setObjectName("lblWebView");
      window.statusBar()->addPermanentWidget(lblWebView);
      std::fprintf(stderr, "torvanetx: web view on %s\n", webServer->Address().c_str());
    } else {
      webServer.reset();
    }
  }
  if (!webProblem.empty()) {
    std::fprintf(stderr, "torvanetx: %s\n", webProblem.c_str());
    window.statusBar()->showMessage(QString::fromStdString(webProblem), 60000);
  }
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
    // A tool to click first, so the picture can show what it opens.
    const QString tool = qEnvironmentVariable("TORVANETX_SCREENSHOT_TOOL");
    if (!tool.isEmpty()) window.OnToolClick(tool);
    QTimer::singleShot(given ? after : 500, &window, [&window, shot] {
      window.grab().save(shot);
      window.close();
    });
  }
  return QApplication::exec();
}
