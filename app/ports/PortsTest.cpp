#include <gtest/gtest.h>

#include "FakeSerialLine.h"
#include "LinkSettingsStore.h"
#include "PortOpening.h"

namespace torvane {
namespace {

LinkSettings Link(int16_t port, int16_t bps, int16_t parity, int16_t data, int16_t stop,
                  int16_t flow = 0) {
  LinkSettings link;
  link.ComPort = port;
  link.BitsPerSecond = bps;
  link.Parity = parity;
  link.DataBits = data;
  link.StopBits = stop;
  link.FlowControl = flow;
  return link;
}

TEST(LineSettingsTest, FormsTheTextFromListPositions) {
  struct Case {
    LinkSettings link;
    const char* text;
  };
  const Case cases[] = {
      {Link(1, 5, 0, 4, 0), "9600,N,8,1"},     {Link(1, 8, 0, 4, 0), "57600,N,8,1"},
      {Link(1, 0, 1, 0, 1), "110,O,4,2"},      {Link(1, 7, 4, 3, 0), "19200,S,7,1"},
      {Link(1, 5, 0, 4, 2), "9600,N,8,"},      {Link(1, 9, 5, 5, -1), ",,,"},
      {Link(1, -1, 2, 1, 0), ",E,5,1"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormSettingsText(c.link), c.text);
}

TEST(LineSettingsTest, RefusesTextsALineCannotUse) {
  for (const char* bad : {"9600,N,8,", ",,,", "9600,N,8", "9600,N,8,1,1", "9601,N,8,1",
                          "9600,X,8,1", "9600,N,9,1", "9600,N,3,1", "9600,N,8,3", "",
                          "9600,NN,8,1", " 9600,N,8,1", "9600,N,8,1.5"}) {
    EXPECT_FALSE(ParseSettingsText(bad).has_value()) << bad;
  }
  const auto settings = ParseSettingsText("57600,e,7,2");
  ASSERT_TRUE(settings.has_value());
  EXPECT_EQ(settings->baudRate, 57600);
  EXPECT_EQ(settings->parity, 'E');
  EXPECT_EQ(settings->dataBits, 7);
  EXPECT_EQ(settings->stopBits, 2);
}

TEST(SerialLineTest, RefusedSettingsKeepTheOldOnes) {
  FakeSerialLine line;
  line.SetSettings("19200,N,8,1");
  EXPECT_THROW(line.SetSettings("19200,N,8,"), SerialLineError);
  EXPECT_EQ(line.Settings(), "19200,N,8,1");
}

TEST(SerialLineTest, InputLenOneRaisesOneEventPerByte) {
  FakeSerialLine line;
  line.SetInputLen(1);
  line.SetRThreshold(1);
  std::string seen;
  line.OnComm = [&] { seen += line.Input(); seen += '|'; };
  line.FeedReceived("\x06\x15\x1b");
  EXPECT_EQ(seen, "\x06|\x15|\x1b|");
}

TEST(SerialLineTest, InputLenZeroReadsEverythingInOneEvent) {
  FakeSerialLine line;
  line.SetRThreshold(1);
  int events = 0;
  std::string seen;
  line.OnComm = [&] { ++events; seen += line.Input(); };
  line.FeedReceived("1 0.123\r");
  EXPECT_EQ(events, 1);
  EXPECT_EQ(seen, "1 0.123\r");
}

TEST(SerialLineTest, UnreadInputIsBoundedAndCounted) {
  FakeSerialLine line;
  line.FeedReceived(std::string(SerialLine::kInBufferSize, 'a'));
  line.FeedReceived("bcd");
  EXPECT_EQ(line.InBufferCount(), SerialLine::kInBufferSize);
  EXPECT_EQ(line.DroppedBytes(), 3U);
  line.DiscardInput();
  EXPECT_EQ(line.InBufferCount(), 0U);
}

TEST(SerialLineTest, OutputWaitingForTheDeviceIsBoundedByWholeWrites) {
  constexpr size_t kCap = SerialLine::kOutBufferSize;
  struct Case {
    size_t waiting;
    size_t size;
    bool written;
  } cases[] = {
      {0, 14, true},
      {0, kCap + 100, true},  // nothing waits: a write is never refused for its size alone
      {kCap - 14, 14, true},
      {kCap - 13, 14, false},
      {kCap, 1, false},
      {10 * kCap, 14, false},
  };
  for (const Case& c : cases) {
    FakeSerialLine line;
    line.SetPortOpen(true);
    line.bytesWaiting = c.waiting;
    EXPECT_EQ(line.OutBufferCount(), c.waiting);
    line.Output(std::string(c.size, 'p'));
    EXPECT_EQ(line.writes.size(), c.written ? 1U : 0U) << c.waiting << " + " << c.size;
    EXPECT_EQ(line.DroppedOutputBytes(), c.written ? 0U : c.size) << c.waiting << " + " << c.size;
  }
}

TEST(SerialLineTest, DeviceFailureClosesTheLineAndReportsOnce) {
  FakeSerialLine line;
  std::vector<std::string> errors;
  line.OnLineError = [&](const std::string& why) { errors.push_back(why); };
  line.SetPortOpen(true);
  line.FailUnderOpenLine("gone");
  line.FailUnderOpenLine("gone again");
  EXPECT_FALSE(line.PortOpen());
  EXPECT_EQ(errors, std::vector<std::string>{"gone"});
  EXPECT_THROW(line.Output("x"), SerialLineError);
}

TEST(PortOpeningTest, ConfigureTakesPortSettingsAndFlowControl) {
  FakeSerialLine line;
  EXPECT_TRUE(ConfigureLine(line, Link(3, 8, 2, 3, 1, 1)));
  EXPECT_TRUE(line.PortOpen());
  EXPECT_EQ(line.openedPort, 3);
  EXPECT_EQ(line.Settings(), "57600,E,7,2");
  EXPECT_EQ(line.appliedHandshaking, 1);
}

TEST(PortOpeningTest, StopBitsOutOfRangeMakeConfigureFail) {
  FakeSerialLine line;
  EXPECT_FALSE(ConfigureLine(line, Link(3, 5, 0, 4, 2)));
  EXPECT_FALSE(line.PortOpen());
}

TEST(PortOpeningTest, NoneAndTcpIpCloseTheLineAndKeepItClosed) {
  for (int16_t port : {LinkSettings::kNoPort, LinkSettings::kTcpIp}) {
    FakeSerialLine line;
    ASSERT_TRUE(ConfigureLine(line, Link(4, 5, 0, 4, 0)));
    ASSERT_TRUE(line.PortOpen());
    EXPECT_TRUE(ConfigureLine(line, Link(port, 5, 0, 4, 0)));
    EXPECT_FALSE(line.PortOpen());
    EXPECT_EQ(line.CommPort(), 4);  // left as it was
    EXPECT_EQ(line.opens, 1);
  }
}

TEST(PortOpeningTest, AMissingPortMakesConfigureFailSilently) {
  FakeSerialLine line;
  line.refuseOpen = true;
  EXPECT_FALSE(ConfigureLine(line, Link(7, 5, 0, 4, 0)));
  EXPECT_FALSE(line.PortOpen());
}

TEST(PortOpeningTest, TransmitterLineIsBinaryOneByteARead) {
  FakeSerialLine line;
  ScriptedPrompter prompter;
  EXPECT_TRUE(OpenTransmitterLine(line, Link(2, 8, 0, 4, 0), prompter));
  EXPECT_EQ(line.InputMode(), 1);
  line.FeedReceived("\x06\x06");
  EXPECT_EQ(line.Input(), "\x06");
  // Already open: refused, nothing shown.
  EXPECT_FALSE(OpenTransmitterLine(line, Link(2, 8, 0, 4, 0), prompter));
  EXPECT_TRUE(prompter.Shown().empty());
}

TEST(PortOpeningTest, TransmitterGivesConfiguresResultAndTimingLineAlwaysTrue) {
  FakeSerialLine transmitter;
  FakeSerialLine timing;
  transmitter.refuseOpen = timing.refuseOpen = true;
  ScriptedPrompter prompter;
  EXPECT_FALSE(OpenTransmitterLine(transmitter, Link(2, 8, 0, 4, 0), prompter));
  EXPECT_TRUE(OpenTimingLine(timing, Link(2, 5, 0, 4, 0), prompter));
  EXPECT_FALSE(timing.PortOpen());
  EXPECT_TRUE(prompter.Shown().empty());  // a port that does not open is not shown at start-up
  EXPECT_EQ(timing.Settings(), "9600,N,8,1");
  EXPECT_EQ(timing.InputMode(), 0);
}

TEST(PortOpeningTest, CloseTransmitterDiscardsInput) {
  FakeSerialLine line;
  ScriptedPrompter prompter;
  ASSERT_TRUE(OpenTransmitterLine(line, Link(2, 8, 0, 4, 0), prompter));
  line.FeedReceived("\x15\x15");
  EXPECT_TRUE(CloseTransmitterLine(line, prompter));
  EXPECT_FALSE(line.PortOpen());
  EXPECT_EQ(line.InBufferCount(), 0U);
  EXPECT_TRUE(CloseTransmitterLine(line, prompter));
}

TEST(LinkSettingsStoreTest, FirstStartWritesDefaultsUnderBothKeys) {
  SettingsStore store;
  for (std::string_view key : {kTransmitterKey, kTimingSystemKey}) {
    LinkSettings link;
    LoadLinkSettings(store, key, link);
    for (const char* name : {"0", "1", "2", "3", "4", "5"}) {
      EXPECT_EQ(store.ReadSetting(key, name), "0") << key << name;
    }
    EXPECT_EQ(store.ReadSetting(key, "6"), "None");
    EXPECT_EQ(store.ReadSetting(key, "7"), "None");
    EXPECT_EQ(link.ComPort, LinkSettings::kNoPort);
    EXPECT_EQ(link.Host, "None");
  }
}

TEST(LinkSettingsStoreTest, LoadsNumbersAndTrimmedTextsAndSkipsBadNumbers) {
  SettingsStore store;
  const std::string_view key = kTimingSystemKey;
  store.WriteSetting(key, "0", "25", kRegSz);
  store.WriteSetting(key, "1", " 8 ", kRegSz);
  store.WriteSetting(key, "2", "two", kRegSz);
  store.WriteSetting(key, "3", "3.5", kRegSz);  // half to even
  store.WriteSetting(key, "4", "99999", kRegSz);
  store.WriteSetting(key, "6", "  timing.local ", kRegSz);
  store.WriteSetting(key, "7", " 4000", kRegSz);
  LinkSettings link;
  link.Parity = 3;
  link.StopBits = 1;
  link.FlowControl = 2;
  LoadLinkSettings(store, key, link);
  EXPECT_EQ(link.ComPort, 25);
  EXPECT_EQ(link.BitsPerSecond, 8);
  EXPECT_EQ(link.Parity, 3);
  EXPECT_EQ(link.DataBits, 4);
  EXPECT_EQ(link.StopBits, 1);
  EXPECT_EQ(store.ReadSetting(key, "5"), "2");  // missing: the current value written back
  EXPECT_EQ(link.Host, "timing.local");
  EXPECT_EQ(link.Port, "4000");
}

TEST(LinkSettingsStoreTest, SaveThenLoadGivesTheSameRecord) {
  SettingsStore store;
  LinkSettings saved = Link(24, 8, 4, 0, 1, 3);
  saved.Host = "10.0.0.9";
  saved.Port = "5001";
  SaveLinkSettings(store, kTransmitterKey, saved);
  LinkSettings loaded;
  LoadLinkSettings(store, kTransmitterKey, loaded);
  EXPECT_EQ(FormSettingsText(loaded), FormSettingsText(saved));
  EXPECT_EQ(loaded.ComPort, 24);
  EXPECT_EQ(loaded.FlowControl, 3);
  EXPECT_EQ(loaded.Host, "10.0.0.9");
  EXPECT_EQ(loaded.Port, "5001");
}

TEST(LinkSettingsStoreTest, ComPortsMapToConfiguredDevicesOrTtyS) {
  SettingsStore store;
  store.WriteSetting(kPortsKey, "COM3", "/dev/ttyUSB0", kRegSz);
  EXPECT_EQ(ComPortDevicePath(store, 3), "/dev/ttyUSB0");
#ifdef _WIN32
  EXPECT_EQ(ComPortDevicePath(store, 1), "\\\\.\\COM1");
  EXPECT_EQ(ComPortDevicePath(store, 24), "\\\\.\\COM24");
#else
  EXPECT_EQ(ComPortDevicePath(store, 1), "/dev/ttyS0");
  EXPECT_EQ(ComPortDevicePath(store, 24), "/dev/ttyS23");
#endif
}

}  // namespace
}  // namespace torvane
