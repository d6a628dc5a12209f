#include "SerialLine.h"

#include <algorithm>

namespace torvane {

SerialLine::SerialLine() : settings_(*ParseSettingsText(settingsText_)) {}

void SerialLine::SetCommPort(int16_t port) {
  if (open_) throw SerialLineError("Operation valid only when the port is closed");
  if (port < 1 || port > 24) throw SerialLineError("Invalid port number");
  commPort_ = port;
}

void SerialLine::SetSettings(std::string_view text) {
  const auto parsed = ParseSettingsText(text);
  if (!parsed) throw SerialLineError("Invalid property value: \"" + std::string(text) + "\"");
  if (open_) ApplySettings(*parsed, handshaking_);
  settings_ = *parsed;
  settingsText_ = std::string(text);
}

void SerialLine::SetHandshaking(int16_t mode) {
  if (mode < 0 || mode > 3) throw SerialLineError("Invalid property value");
  if (open_) ApplySettings(settings_, mode);
  handshaking_ = mode;
}

void SerialLine::SetPortOpen(bool open) {
  if (open == open_) {
    if (open) throw SerialLineError("Port already open");
    return;
  }
  if (open) {
    OpenDevice(commPort_, settings_, handshaking_);
    open_ = true;
  } else {
    open_ = false;
    CloseDevice();
  }
}

std::string SerialLine::Input() {
  const size_t count =
      inputLen_ == 0 ? received_.size()
                     : std::min(received_.size(), static_cast<size_t>(inputLen_));
  std::string taken = received_.substr(0, count);
  received_.erase(0, count);
  return taken;
}

void SerialLine::Output(std::string_view bytes) {
  if (!open_) throw SerialLineError("Operation valid only when the port is open");
  const size_t waiting = DeviceBytesWaiting();
  if (waiting > 0 && waiting + bytes.size() > kOutBufferSize) {
    droppedOutput_ += bytes.size();
    return;
  }
  WriteDevice(bytes);
}

void SerialLine::Received(std::string_view bytes) {
  received_.append(bytes);
  if (received_.size() > kInBufferSize) {
    const size_t excess = received_.size() - kInBufferSize;
    received_.erase(0, excess);
    dropped_ += excess;
  }
  if (rThreshold_ < 1 || !OnComm) return;
  while (!received_.empty()) {
    const size_t before = received_.size();
    OnComm();
    if (received_.size() >= before) break;  // the handler read nothing; wait for more
  }
}

void SerialLine::Failed(const std::string& why) {
  if (!open_) return;
  open_ = false;
  CloseDevice();
  if (OnLineError) OnLineError(why);
}

}  // namespace torvane
