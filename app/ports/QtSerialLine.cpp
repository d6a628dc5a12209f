#include "QtSerialLine.h"

#include "SerialDevice.h"

namespace torvane {
namespace {

QSerialPort::Parity ToQtParity(char parity) {
  switch (parity) {
    case 'O':
      return QSerialPort::OddParity;
    case 'E':
      return QSerialPort::EvenParity;
    case 'M':
      return QSerialPort::MarkParity;
    case 'S':
      return QSerialPort::SpaceParity;
    default:
      return QSerialPort::NoParity;
  }
}

// RTS with XOn/XOff has no single Qt mode: Qt sets the hardware half and
// AddSoftwareFlowControl the other on the device itself.
QSerialPort::FlowControl ToQtFlowControl(int16_t handshaking) {
  switch (handshaking) {
    case 1:
      return QSerialPort::SoftwareControl;
    case 2:
    case 3:
      return QSerialPort::HardwareControl;
    default:
      return QSerialPort::NoFlowControl;
  }
}

constexpr int16_t kRtsAndXonXoff = 3;

// The device's handle as the system seam takes it (a HANDLE or a file descriptor).
intptr_t HandleOf(const QSerialPort& port) {
#ifdef Q_OS_WIN
  return reinterpret_cast<intptr_t>(port.handle());
#else
  return static_cast<intptr_t>(port.handle());
#endif
}

}  // namespace

QtSerialLine::QtSerialLine(std::function<std::string(int16_t)> devicePath, QObject* parent)
    : QObject(parent), devicePath_(std::move(devicePath)) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialLine::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::OnError);
}

QtSerialLine::~QtSerialLine() {
  port_.disconnect(this);
  if (port_.isOpen()) port_.close();
}

void QtSerialLine::OpenDevice(int16_t commPort, const LineSettings& settings, int16_t handshaking) {
  const std::string path = devicePath_(commPort);
  port_.setPortName(QString::fromStdString(path));
  if (!port_.open(QIODevice::ReadWrite)) {
    throw SerialLineError("cannot open " + path + ": " + port_.errorString().toStdString());
  }
  try {
    ApplySettings(settings, handshaking);
  } catch (const SerialLineError&) {
    port_.close();
    throw;
  }
  port_.clear(QSerialPort::Input);
}

void QtSerialLine::CloseDevice() {
  if (port_.isOpen()) port_.close();
}

void QtSerialLine::ApplySettings(const LineSettings& settings, int16_t handshaking) {
  if (settings.dataBits < 5) throw SerialLineError("4 data bits are not supported by this port");
  const bool ok =
      port_.setBaudRate(settings.baudRate) &&
      port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
      port_.setParity(ToQtParity(settings.parity)) &&
      port_.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
      port_.setFlowControl(ToQtFlowControl(handshaking));
  if (!ok)
    throw SerialLineError("the port refused its settings: " + port_.errorString().toStdString());
  if (handshaking == kRtsAndXonXoff && !AddSoftwareFlowControl(HandleOf(port_))) {
    throw SerialLineError("the port refused XOn/XOff on top of RTS/CTS flow control");
  }
}

void QtSerialLine::WriteDevice(std::string_view bytes) {
  // One packet is in flight at a time, so hand it to the driver at once. Going
  // past QSerialPort's write buffer also spares the write notifier it would arm
  // and the extra turn of the event loop that notifier costs on every packet.
  size_t sent = 0;
  if (port_.bytesToWrite() == 0) sent = WriteToDriverNow(HandleOf(port_), bytes);
  if (sent == bytes.size()) return;
  const auto rest = static_cast<qint64>(bytes.size() - sent);
  if (port_.write(bytes.data() + sent, rest) != rest) {
    throw SerialLineError("write failed: " + port_.errorString().toStdString());
  }
}

size_t QtSerialLine::DeviceBytesWaiting() const {
  // What the driver holds is out of reach; only QSerialPort's queue behind it
  // can grow.
  return static_cast<size_t>(port_.bytesToWrite());
}

size_t QtSerialLine::DeviceBytesUndelivered() const {
  return static_cast<size_t>(port_.bytesAvailable());
}

SerialLine::LowLatency QtSerialLine::DeviceLowLatency(bool on) {
  return SetDriverLowLatency(HandleOf(port_), on);
}

// A handler may run the event loop (a message box does); the port does not
// announce bytes again while this runs, so what arrived meanwhile is taken here.
// It is handed on a receive buffer at a time: after a box left open for long,
// the whole backlog at once would overrun the line's receive buffer.
void QtSerialLine::OnReadyRead() {
  while (port_.isOpen() && port_.bytesAvailable() > 0) {
    const QByteArray bytes = port_.read(static_cast<qint64>(kInBufferSize));
    Received(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  }
}

void QtSerialLine::OnError(QSerialPort::SerialPortError error) {
  // Errors of an open/configure call are raised there; these come later, from a
  // device that went away under an open line.
  // A hung-up device keeps reporting ReadError on every notification; closing
  // the line is the only way out of that loop.
  if (error == QSerialPort::ResourceError || error == QSerialPort::PermissionError ||
      error == QSerialPort::ReadError || error == QSerialPort::WriteError) {
    Failed(port_.errorString().toStdString());
  }
}

}  // namespace torvane
