// The station on the Qt event loop: serial lines through QSerialPort, the
// one-second timer as a QTimer, and the lamps' changes as a signal for the
// window. Everything else is StationCore's.
#ifndef TORVANE_APP_SHELL_STATION_H_
#define TORVANE_APP_SHELL_STATION_H_

#include <QObject>
#include <QTimer>

#include "StationCore.h"

namespace torvane {

// The Qt side of the system a station runs on.
class QtStationSystem : public StationSystem {
 public:
  std::unique_ptr<SerialLine> MakeSerialLine(
      std::function<std::string(int16_t)> devicePath) override;
  void StartTimer(int intervalMs, std::function<void()> tick) override;
  void StopTimer() override { timer_.stop(); }
  bool TimerRunning() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
  QMetaObject::Connection tick_;
};

namespace detail {
// Holds the system ahead of StationCore, which is built on it.
struct QtStationSystemHolder {
  QtStationSystem qtSystem;
};
}  // namespace detail

class Station : public QObject, private detail::QtStationSystemHolder, public StationCore {
  Q_OBJECT

 public:
  // settings and prompter must outlive the station.
  Station(SettingsStore& settings, Prompter& prompter, StationOptions options = {},
          QObject* parent = nullptr);

 Q_SIGNALS:
  void LampsChanged();
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_STATION_H_
