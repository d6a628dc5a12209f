#include "Station.h"

#include "QtSerialLine.h"

namespace torvane {

std::unique_ptr<SerialLine> QtStationSystem::MakeSerialLine(
    std::function<std::string(int16_t)> devicePath) {
  return std::make_unique<QtSerialLine>(std::move(devicePath));
}

void QtStationSystem::StartTimer(int intervalMs, std::function<void()> tick) {
  QObject::disconnect(tick_);
  tick_ = QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
  timer_.start(intervalMs);
}

Station::Station(SettingsStore& settings, Prompter& prompter, StationOptions options,
                 QObject* parent)
    : QObject(parent), StationCore(settings, prompter, qtSystem, std::move(options)) {
  OnLampsChanged = [this] { Q_EMIT LampsChanged(); };
}

}  // namespace torvane
