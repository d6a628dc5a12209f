#include "QtSerialLine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <string>

#include "PortOpening.h"

namespace torvane {
namespace {

// Runs the event loop until done() holds or two seconds pass.
template <typename Done>
bool PumpUntil(Done done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 2000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

// A pseudo-terminal pair: the program opens the slave as its serial device, the
// test plays the device on the master.
class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) slaveName_ = name;
  }
  ~PtyPair() {
    CloseMaster();
    if (slave_ >= 0) close(slave_);
  }
  bool ok() const { return !slaveName_.empty(); }
  const std::string& slaveName() const { return slaveName_; }
  void Write(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Read(size_t count) {
    std::string got;
    pollfd pfd{master_, POLLIN, 0};
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < 2000) {
      // The line writes from its event loop.
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (poll(&pfd, 1, 10) <= 0) continue;
      char buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  void CloseSlaveCopy() {
    if (slave_ >= 0) close(slave_);
    slave_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
};

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
  line.OnComm = [&] { replies += line.Input(); replies += '|'; };
  pty.Write("\x06\x15");
  ASSERT_TRUE(PumpUntil([&] { return replies.size() >= 4; })) << replies.size();
  EXPECT_EQ(replies, "\x06|\x15|");

  const unsigned char bytes[14] = {0x1B, 0xFA, 0x00, 0x01, 0x10, 0x01, 0x02,
                                   0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xD0};
  const std::string packet(reinterpret_cast<const char*>(bytes), sizeof bytes);
  line.Output(packet);
  EXPECT_EQ(pty.Read(packet.size()), packet);
}

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
