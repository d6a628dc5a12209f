// The serial line on Wine's COM ports: run-with-com-pair links COM5 and COM6
// to the two ends of one pseudo-terminal pair, so what one line writes the
// other reads, with the settings a DCB carries.
#include "Win32SerialLine.h"

#include <gtest/gtest.h>

#include <string>

#include "ComPairTesting.h"

namespace torvane {
namespace {

using Pair = ComPairTest;

TEST_F(Pair, BytesCrossBothWaysWithEverySettingsText) {
  const char* settings[] = {"57600,N,8,1", "9600,E,7,2", "19200,O,8,1", "115200,N,8,2"};
  for (const char* text : settings) {
    SCOPED_TRACE(text);
    a.SetSettings(text);
    b.SetSettings(text);
    a.SetPortOpen(true);
    b.SetPortOpen(true);
    static const char kBytes[] = "\x1B\x02" "block\x00\xFF\x11\x13" "end";
    std::string packet(kBytes, sizeof kBytes);  // with the closing NUL: every byte value crosses
    a.Output(packet);
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return atB.size() >= packet.size(); }, 5000))
        << "got " << atB.size() << " bytes";
    EXPECT_EQ(atB, packet);
    b.Output("\x06");
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return !atA.empty(); }, 5000));
    EXPECT_EQ(atA, "\x06");
    EXPECT_EQ(a.OutBufferCount(), 0u);
    a.SetPortOpen(false);
    b.SetPortOpen(false);
    EXPECT_TRUE(a.Events().empty());
    atA.clear();
    atB.clear();
  }
  EXPECT_EQ(errors, "");
}

// Stop and wait, as the transmitter runs the line: a 14-byte packet, then the
// one-byte reply, a few hundred times over.
TEST_F(Pair, PacketsAndRepliesAlternateWithoutLoss) {
  a.SetPortOpen(true);
  b.SetPortOpen(true);
  std::string sent;
  for (int i = 0; i < 300; ++i) {
    const std::string packet(14, static_cast<char>('A' + i % 26));
    sent += packet;
    a.Output(packet);
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return atB.size() >= sent.size(); }, 5000))
        << "packet " << i << ": " << atB.size() << " of " << sent.size() << " bytes";
    b.Output("\x06");
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return atA.size() > static_cast<size_t>(i); }, 5000))
        << "reply " << i;
  }
  EXPECT_EQ(atB, sent);
  EXPECT_EQ(atA, std::string(300, '\x06'));
  EXPECT_EQ(a.DroppedOutputBytes(), 0u);
  EXPECT_EQ(errors, "");
}

// Between a packet and its reply the loop has nothing to do: no event it
// waits on may be signalled then (a write that ended at once used to leave
// its event set, and the loop woke for it again and again).
TEST_F(Pair, NothingWakesTheLoopWhileTheReplyIsAwaited) {
  a.SetPortOpen(true);
  b.SetPortOpen(true);
  for (size_t i = 0; i < 20; ++i) {
    a.Output(std::string(14, static_cast<char>('a' + i)));
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return atB.size() >= 14 * (i + 1); }, 5000))
        << "packet " << i;
    ASSERT_EQ(a.OutBufferCount(), 0u);
    std::vector<HANDLE> events = a.Events();
    ASSERT_FALSE(events.empty()) << "a read stays in flight while the line is open";
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, 0),
              static_cast<DWORD>(WAIT_TIMEOUT))
        << "packet " << i << ": an event is set with nothing to serve";
    b.Output("\x06");
    ASSERT_TRUE(ServiceUntil({&a, &b}, [&] { return atA.size() > i; }, 5000))
        << "reply " << i;
  }
  EXPECT_EQ(atA, std::string(20, '\x06'));
  EXPECT_EQ(errors, "");
}

// A read that waits asks for one byte and ends with it; the next takes all
// the driver holds at once, so a burst costs a few reads, not one a byte.
TEST_F(Pair, ABurstIsTakenInAFewReads) {
  a.SetPortOpen(true);
  b.SetPortOpen(true);
  std::string burst;
  for (int i = 0; i < 3000; ++i) burst += static_cast<char>(i % 251);
  const uint64_t readsBefore = a.ReadsStarted();
  b.Output(burst);
  ASSERT_TRUE(ServiceUntil(
      {&a, &b}, [&] { return atA.size() >= burst.size(); }, 5000))
      << "got " << atA.size() << " bytes";
  EXPECT_EQ(atA, burst);
  EXPECT_LE(a.ReadsStarted() - readsBefore, 16u);
  EXPECT_EQ(errors, "");
}

TEST(Win32SerialLineTest, AMissingPortIsRefusedWithTheSystemsReason) {
  Win32SerialLine line;
  line.SetCommPort(9);
  try {
    line.SetPortOpen(true);
    ADD_FAILURE() << "COM9 is not mapped; opening it must fail";
  } catch (const SerialLineError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot open \\\\.\\COM9: ", 0), 0u) << e.what();
  }
  EXPECT_FALSE(line.PortOpen());
  EXPECT_THROW(line.Output("x"), SerialLineError);
}

}  // namespace
}  // namespace torvane
