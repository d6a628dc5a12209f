// The serial line on a real device through QSerialPort. Received bytes are
// delivered on the thread that created the line, from its event loop.
#ifndef TORVANE_APP_PORTS_QTSERIALLINE_H_
#define TORVANE_APP_PORTS_QTSERIALLINE_H_

#include <QObject>
#include <QSerialPort>
#include <functional>
#include <string>

#include "SerialLine.h"

namespace torvane {

class QtSerialLine : public QObject, public SerialLine {
  Q_OBJECT

 public:
  // devicePath maps COM1..COM24 to the device file to open.
  explicit QtSerialLine(std::function<std::string(int16_t)> devicePath, QObject* parent = nullptr);
  ~QtSerialLine() override;

 protected:
  void OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) override;
  void CloseDevice() override;
  void ApplySettings(const LineSettings& settings, int16_t handshaking) override;
  void WriteDevice(std::string_view bytes) override;
  size_t DeviceBytesWaiting() const override;
  size_t DeviceBytesUndelivered() const override;
  LowLatency DeviceLowLatency(bool on) override;

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);

  std::function<std::string(int16_t)> devicePath_;
  QSerialPort port_;
};

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_QTSERIALLINE_H_
