// The Win32 loop the Windows station runs on: its timers tick from the loop,
// Quit ends it with a code, and serial lines it made are served by it (on the
// pty pair run-with-com-pair maps to COM5 and COM6).
#include "Win32StationSystem.h"

#include <gtest/gtest.h>

#include <string>

namespace torvane {
namespace {

TEST(Win32StationSystemTest, TimerTicksFromTheLoopUntilQuit) {
  Win32StationSystem system;
  int ticks = 0;
  EXPECT_FALSE(system.TimerRunning());
  system.StartTimer(50, [&] { ++ticks; });
  EXPECT_TRUE(system.TimerRunning());
  int statusLines = 0;
  system.Every(120, [&] { ++statusLines; });
  system.Every(600, [&] { system.Quit(7); });
  EXPECT_EQ(system.Run(), 7);
  // Timer messages come at the loop's pace; only their order is certain.
  EXPECT_GE(ticks, 3);
  EXPECT_GT(ticks, statusLines);
  EXPECT_GE(statusLines, 1);
  system.StopTimer();
  EXPECT_FALSE(system.TimerRunning());

  // A stopped timer no longer ticks.
  const int before = ticks;
  system.Every(300, [&] { system.Quit(0); });
  EXPECT_EQ(system.Run(), 0);
  EXPECT_EQ(ticks, before);
}

TEST(Win32StationSystemTest, LinesItMadeAreServedByItsLoop) {
  Win32StationSystem system;
  std::unique_ptr<SerialLine> a = system.MakeSerialLine({});
  std::unique_ptr<SerialLine> b = system.MakeSerialLine({});
  a->SetCommPort(5);
  b->SetCommPort(6);
  std::string atB;
  for (SerialLine* line : {a.get(), b.get()}) {
    line->SetSettings("57600,N,8,1");
    line->SetRThreshold(1);
    line->SetPortOpen(true);
  }
  b->OnComm = [&] {
    atB += b->Input();
    if (atB.size() >= 4) {
      // A handler may take a line away under the loop.
      a.reset();
      system.Quit(1);
    }
  };
  system.Every(5000, [&] { system.Quit(-1); });
  a->Output("ping");
  EXPECT_EQ(system.Run(), 1) << "the loop gave up waiting for the bytes";
  EXPECT_EQ(atB, "ping");
  EXPECT_EQ(a, nullptr);
}

// Stop and wait on the loop: each reply is served in the turn its read ends,
// and the next read is in flight at once, so the loop turns about once for
// each read that ends (the packet's one or two, the reply's one) and never
// for nothing while a reply is awaited.
TEST(Win32StationSystemTest, EachExchangeTakesAFewTurnsOfTheLoop) {
  Win32StationSystem system;
  std::unique_ptr<SerialLine> a = system.MakeSerialLine({});
  std::unique_ptr<SerialLine> b = system.MakeSerialLine({});
  a->SetCommPort(5);
  b->SetCommPort(6);
  for (SerialLine* line : {a.get(), b.get()}) {
    line->SetSettings("57600,N,8,1");
    line->SetRThreshold(1);
    line->SetPortOpen(true);
  }
  constexpr int kExchanges = 200;
  const std::string packet(14, 'P');
  std::string atB;
  int replies = 0;
  b->OnComm = [&] {
    atB += b->Input();
    while (atB.size() >= packet.size()) {
      atB.erase(0, packet.size());
      b->Output("\x06");
    }
  };
  a->OnComm = [&] {
    replies += static_cast<int>(a->Input().size());
    if (replies >= kExchanges) return system.Quit(1);
    a->Output(packet);
  };
  system.Every(20000, [&] { system.Quit(-1); });
  const uint64_t wakesBefore = system.LineWakes();
  a->Output(packet);
  ASSERT_EQ(system.Run(), 1) << "the loop gave up after " << replies << " replies";
  EXPECT_EQ(replies, kExchanges);
  EXPECT_LE(system.LineWakes() - wakesBefore, 4u * kExchanges);
}

}  // namespace
}  // namespace torvane
