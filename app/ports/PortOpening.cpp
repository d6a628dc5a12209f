#include "PortOpening.h"

namespace torvane {
namespace {

struct FirstConfiguration {
  const char* settings;
  int16_t inputLen;
  int16_t inputMode;
};

constexpr FirstConfiguration kTimingFirst = {"9600,N,8,1", 0, 0};
constexpr FirstConfiguration kTransmitterFirst = {"57600,N,8,1", 1, 1};

void SetFirstConfiguration(SerialLine& line, const FirstConfiguration& first) {
  line.SetSettings(first.settings);
  line.SetCommPort(2);
  line.DiscardInput();
  line.SetInputLen(first.inputLen);
  line.SetRThreshold(1);
  line.SetInputMode(first.inputMode);
}

}  // namespace

bool ConfigureLine(SerialLine& line, const LinkSettings& link) {
  try {
    if (line.PortOpen()) line.SetPortOpen(false);
    if (link.ComPort >= 1 && link.ComPort <= 24) line.SetCommPort(link.ComPort);
    const std::string text = FormSettingsText(link);
    if (link.FlowControl >= 0 && link.FlowControl <= 3) line.SetHandshaking(link.FlowControl);
    line.SetSettings(text);
    if (link.ComPort != LinkSettings::kNoPort && link.ComPort != LinkSettings::kTcpIp) {
      line.SetPortOpen(true);
    }
    return true;
  } catch (const SerialLineError&) {
    return false;
  }
}

bool OpenTimingLine(SerialLine& line, const LinkSettings& link, Prompter& prompter) {
  if (!line.PortOpen()) {
    try {
      SetFirstConfiguration(line, kTimingFirst);
    } catch (const SerialLineError&) {
      prompter.Show({"WARNING:\n  Unable to start serial communications", "Serial Port - Open",
                     PromptIcon::kCritical, PromptButtons::kOk});
      return false;
    }
    ConfigureLine(line, link);
  }
  return true;
}

bool OpenTransmitterLine(SerialLine& line, const LinkSettings& link, Prompter& prompter) {
  if (line.PortOpen()) return false;
  try {
    SetFirstConfiguration(line, kTransmitterFirst);
  } catch (const SerialLineError&) {
    prompter.Show({"Unable to start serial communications", "Serial Port - Open",
                   PromptIcon::kCritical, PromptButtons::kOk});
    return false;
  }
  return ConfigureLine(line, link);
}

bool CloseTransmitterLine(SerialLine& line, Prompter& prompter) {
  if (line.PortOpen()) {
    try {
      line.DiscardInput();
      line.SetPortOpen(false);
    } catch (const SerialLineError&) {
      prompter.Show({"WARNING:\n  Unable to close serial communications", "Serial Port - Close",
                     PromptIcon::kCritical, PromptButtons::kOk});
    }
  }
  return true;
}

}  // namespace torvane
