#include "QtSerialLine.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <string>
#include <thread>

#include "PortOpening.h"
#include "PtyPair.h"

namespace torvane {
namespace {

LinkSettings TransmitterLink(int16_t port) {
  LinkSettings link;
  link.ComPort = port;
  link.BitsPerSecond = 8;
  link.DataBits = 4;
  return link;
}

TEST(QtSerialLineTest, TransmitterLineCarriesPacketsAndOneReplyByteAnEvent) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  ScriptedPrompter prompter;
  ASSERT_TRUE(OpenTransmitterLine(line, TransmitterLink(5), prompter));
  pty.CloseSlaveCopy();

  std::string replies;
  line.OnComm = [&] {
    replies += line.Input();
    replies += '|';
  };
  pty.Write("\x06\x15");
  ASSERT_TRUE(PumpUntil([&] { return replies.size() >= 4; })) << replies.size();
  EXPECT_EQ(replies, "\x06|\x15|");

  const unsigned char bytes[14] = {0x1B, 0xFA, 0x00, 0x01, 0x10, 0x01, 0x02,
                                   0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xD0};
  const std::string packet(reinterpret_cast<const char*>(bytes), sizeof bytes);
  line.Output(packet);
  EXPECT_EQ(pty.Read(packet.size()), packet);
}

TEST(QtSerialLineTest, PtyHasNoLowLatencyModeAndCarriesOnAsItIs) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  EXPECT_EQ(line.SetLowLatency(true), SerialLine::LowLatency::kNotOffered) << "closed line";
  ScriptedPrompter prompter;
  ASSERT_TRUE(OpenTransmitterLine(line, TransmitterLink(7), prompter));
  pty.CloseSlaveCopy();
  EXPECT_EQ(line.SetLowLatency(true), SerialLine::LowLatency::kNotOffered);
  EXPECT_EQ(line.SetLowLatency(false), SerialLine::LowLatency::kNotOffered);
  line.Output("after");
  EXPECT_EQ(pty.Read(5), "after");
}

// A handler that runs the event loop (a message box does) while more text
// arrives: the port does not announce bytes again inside its own notification,
// so what came in meanwhile must still reach the handler afterwards, without
// waiting for yet more text.
TEST(QtSerialLineTest, TextArrivingWhileTheHandlerRunsTheLoopIsDelivered) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  ScriptedPrompter prompter;
  ASSERT_TRUE(OpenTransmitterLine(line, TransmitterLink(6), prompter));
  pty.CloseSlaveCopy();

  std::string received;
  int calls = 0;
  line.OnComm = [&] {
    received += line.Input();
    if (++calls == 1) {
      pty.Write("second\r");
      QElapsedTimer held;
      held.start();
      while (held.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  };
  pty.Write("first\r");
  EXPECT_TRUE(PumpUntil([&] { return received.size() >= 13; })) << received;
  EXPECT_EQ(received, "first\rsecond\r");
}

// A box left open for long: far more than the line's receive buffer arrives
// while the handler runs the loop, and none of it is lost once it returns.
TEST(QtSerialLineTest, ABacklogBeyondTheReceiveBufferIsDeliveredWhole) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  ScriptedPrompter prompter;
  ASSERT_TRUE(OpenTransmitterLine(line, TransmitterLink(6), prompter));
  pty.CloseSlaveCopy();

  std::string backlog;
  for (size_t i = 0; backlog.size() < 3 * SerialLine::kInBufferSize; ++i) {
    backlog += "L" + std::to_string(i) + "\r";
  }
  std::string received;
  std::atomic<bool> written{false};
  std::thread timingSystem;
  size_t heldBack = 0;
  line.OnComm = [&] {
    received += line.Input();
    if (timingSystem.joinable()) return;
    timingSystem = std::thread([&] {
      pty.Write(backlog);
      written = true;
    });
    PumpUntil([&] { return written.load(); }, 10000);
    PumpUntil([] { return false; }, 200);  // the port takes the last of it
    heldBack = line.UndeliveredCount();
  };
  pty.Write("first\r");
  EXPECT_TRUE(PumpUntil([&] { return received.size() >= 6 + backlog.size(); }, 10000))
      << received.size();
  if (timingSystem.joinable()) timingSystem.join();
  EXPECT_EQ(heldBack, backlog.size());
  EXPECT_EQ(line.UndeliveredCount(), 0U);
  EXPECT_EQ(line.DroppedBytes(), 0U);
  EXPECT_TRUE(received == "first\r" + backlog) << received.size() << " bytes";
}

TEST(QtSerialLineTest, WritesBeyondWhatTheDriverTakesQueueInOrderUpToTheCap) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  ASSERT_TRUE(ConfigureLine(line, TransmitterLink(5)));
  pty.CloseSlaveCopy();

  // Nobody reads the far end yet: the driver's buffer fills, packets queue
  // behind it in order, and once the queue is full later ones are dropped
  // whole, never cut, as a device that acknowledges without reading would make
  // the station write.
  std::string expected;
  size_t droppedPackets = 0;
  for (int i = 0; i < 100000 && droppedPackets < 10; ++i) {
    std::string packet(14, static_cast<char>('a' + i % 26));
    packet[0] = static_cast<char>(i >> 8);
    packet[1] = static_cast<char>(i);
    const size_t droppedBefore = line.DroppedOutputBytes();
    line.Output(packet);
    if (line.DroppedOutputBytes() == droppedBefore) {
      expected += packet;
    } else {
      EXPECT_EQ(line.DroppedOutputBytes() - droppedBefore, packet.size());
      ++droppedPackets;
    }
  }
  ASSERT_EQ(droppedPackets, 10U) << "the queue never filled";
  EXPECT_GT(line.OutBufferCount(), 0U);
  EXPECT_LE(line.OutBufferCount(), SerialLine::kOutBufferSize);

  const std::string got = pty.Read(expected.size(), 20000);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "bytes out of order";
  EXPECT_EQ(line.OutBufferCount(), 0U);
  // With the queue drained the line takes packets again.
  line.Output(std::string(14, 'z'));
  EXPECT_EQ(pty.Read(14), std::string(14, 'z'));
}

struct FlowCase {
  int16_t flowControl;
  bool rtsCts;
  bool xonXoff;
};

class QtSerialLineFlowTest : public ::testing::TestWithParam<FlowCase> {};

// The device itself carries each mode; mode 3 is both at once.
TEST_P(QtSerialLineFlowTest, FlowControlReachesTheDevice) {
  const FlowCase& c = GetParam();
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  LinkSettings link = TransmitterLink(5);
  link.FlowControl = c.flowControl;
  ASSERT_TRUE(ConfigureLine(line, link));
  termios tio{};
  ASSERT_TRUE(pty.SlaveTermios(&tio));
  EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtsCts);
  EXPECT_EQ((tio.c_iflag & IXON) != 0, c.xonXoff);
  EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.xonXoff);
}

INSTANTIATE_TEST_SUITE_P(Modes, QtSerialLineFlowTest,
                         ::testing::Values(FlowCase{0, false, false}, FlowCase{1, false, true},
                                           FlowCase{2, true, false}, FlowCase{3, true, true}));

TEST(QtSerialLineTest, MissingDeviceLeavesTheLineClosed) {
  QtSerialLine line([](int16_t) { return std::string("/nonexistent/ttyTorvane"); });
  EXPECT_FALSE(ConfigureLine(line, TransmitterLink(9)));
  EXPECT_FALSE(line.PortOpen());
}

TEST(QtSerialLineTest, ClosedPeerIsReportedAndTheLineCloses) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  QtSerialLine line([&](int16_t) { return pty.slaveName(); });
  ASSERT_TRUE(ConfigureLine(line, TransmitterLink(5)));
  pty.CloseSlaveCopy();
  std::string error;
  line.OnLineError = [&](const std::string& why) { error = why.empty() ? "?" : why; };
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return !error.empty(); }));
  EXPECT_FALSE(line.PortOpen());
  EXPECT_THROW(line.Output("x"), SerialLineError);
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
