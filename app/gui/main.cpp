// torvanetx: the operator program.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "Desktop.h"
#include "MainWindow.h"
#include "ProgramFolder.h"
#include "QMessageBoxPrompter.h"
#include "SettingsStore.h"
#include "Station.h"

int main(int argc, char** argv) {
  using namespace torvane;
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName("TorvaneTX");
  QApplication::setApplicationVersion(QString("%1.%2.%3")
                                          .arg(TORVANE_VERSION_MAJOR)
                                          .arg(TORVANE_VERSION_MINOR)
                                          .arg(TORVANE_VERSION_PATCH));

  SettingsStore settings(HiveFiles::InFolder(SettingsFolder()));
  QMessageBoxPrompter prompter;
  QtDesktop desktop;
  Station station(settings, prompter, {std::nullopt, SettingsFolder() + "/TorvaneTX.lock"});
  if (!station.Start()) return 0;
  MainWindow window(station, prompter, desktop);
  prompter.SetParent(&window);
  window.show();
  if (qEnvironmentVariableIsSet("TORVANETX_STARTUP_TIME")) {
    std::fprintf(stderr, "torvanetx: usable after %lld ms\n",
                 static_cast<long long>(clock.elapsed()));
  }
  // A picture of the window for the documentation, then a normal exit.
  const QString shot = qEnvironmentVariable("TORVANETX_SCREENSHOT");
  if (!shot.isEmpty()) {
    const int afterMs = qEnvironmentVariableIsSet("TORVANETX_SCREENSHOT_AFTER_MS")
                            ? qEnvironmentVariableIntValue("TORVANETX_SCREENSHOT_AFTER_MS")
                            : 500;
    QTimer::singleShot(afterMs, &window, [&window, shot] {
      window.grab().save(shot);
      window.close();
    });
  }
  return QApplication::exec();
}
