#include "SimulatorOptions.h"

#include <gtest/gtest.h>

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

TEST(SimulatorOptionsTest, TxSimDefaultsToAPtyAndAnyVenue) {
  TxSimOptions o;
  std::string error;
  ASSERT_TRUE(ParseTxSimArgs({}, o, error)) << error;
  EXPECT_EQ(o.line, LineKind::kPty);
  EXPECT_FALSE(o.transmitter.venue);
  EXPECT_EQ(o.tcpPort, 5555);
}

TEST(SimulatorOptionsTest, TxSimSwitches) {
  TxSimOptions o;
  std::string error;
  ASSERT_TRUE(ParseTxSimArgs({"--tcp",
                              "0",
                              "--venue",
                              "12",
                              "--nak-every",
                              "5",
                              "--esc-every",
                              "7",
                              "--drop-every",
                              "9",
                              "--garble-every",
                              "11",
                              "--late-ms",
                              "250",
                              "--latency-ms",
                              "16",
                              "--silent-after",
                              "100:2.5",
                              "--wire-time",
                              "--stats-every",
                              "0.5",
                              "--show-page",
                              "1",
                              "--dump",
                              "/tmp/x.csv"},
                             o, error))
      << error;
  EXPECT_EQ(o.line, LineKind::kTcp);
  EXPECT_EQ(o.tcpPort, 0);
  EXPECT_EQ(o.transmitter.venue, 12);
  const FailureSwitches& sw = o.transmitter.switches;
  EXPECT_EQ(sw.nakEvery, 5);
  EXPECT_EQ(sw.escEvery, 7);
  EXPECT_EQ(sw.dropEvery, 9);
  EXPECT_EQ(sw.garbleEvery, 11);
  EXPECT_EQ(sw.late, 250ms);
  EXPECT_EQ(sw.adapterLatency, 16ms);
  EXPECT_EQ(sw.silentAfter, 100);
  EXPECT_EQ(sw.silentFor, 2500ms);
  EXPECT_TRUE(sw.wireTime);
  EXPECT_EQ(o.statsEverySeconds, 0.5);
  EXPECT_EQ(o.showPage, 1);
  EXPECT_EQ(o.dumpPath, "/tmp/x.csv");
}

TEST(SimulatorOptionsTest, TxSimTcpWithoutPortKeepsTheDefault) {
  TxSimOptions o;
  std::string error;
  ASSERT_TRUE(ParseTxSimArgs({"--tcp", "--venue", "1"}, o, error)) << error;
  EXPECT_EQ(o.tcpPort, 5555);
  EXPECT_EQ(o.transmitter.venue, 1);
}

TEST(SimulatorOptionsTest, TxSimRefusesWrongArguments) {
  const std::vector<std::pair<Args, std::string>> table = {
      {{"--venue", "256"}, "--venue wants a whole number from 0 to 255, not '256'"},
      {{"--venue"}, "--venue wants a value"},
      {{"--nak-every", "0"}, "--nak-every wants a whole number from 1 to 1000000000, not '0'"},
      {{"--late-ms", "x"}, "--late-ms wants a whole number from 0 to 3600000, not 'x'"},
      {{"--silent-after", "10"}, "--silent-after wants N:SECONDS, such as 100:5, not '10'"},
      {{"--silent-after", "0:1"}, "--silent-after wants N:SECONDS, such as 100:5, not '0:1'"},
      {{"--tcp", "70000"}, "--tcp wants a port from 0 to 65535, not '70000'"},
      {{"--pty", "--tcp"}, "choose one of --pty, --device and --tcp"},
      {{"--stats-every", "-1"}, "--stats-every wants seconds, not '-1'"},
      {{"--bogus"}, "unknown option '--bogus'"},
  };
  for (const auto& [args, message] : table) {
    TxSimOptions o;
    std::string error;
    EXPECT_FALSE(ParseTxSimArgs(args, o, error)) << args[0];
    EXPECT_EQ(error, message);
  }
}

TEST(SimulatorOptionsTest, TimingSimOutputsAndPace) {
  TimingSimOptions o;
  std::string error;
  ASSERT_TRUE(
      ParseTimingSimArgs({"--pty", "--tcp", "--seed", "42", "--speed", "max", "--records", "30",
                          "--classes", "3", "--crlf", "--start-now", "--record", "out.rec"},
                         o, error))
      << error;
  EXPECT_EQ(o.serial, LineKind::kPty);
  EXPECT_EQ(o.tcpPort, 7777);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_FALSE(o.speed);
  EXPECT_EQ(o.records, 30);
  EXPECT_EQ(o.classes, 3);
  EXPECT_TRUE(o.lineFeed);
  EXPECT_TRUE(o.startNow);
  EXPECT_EQ(o.recordPath, "out.rec");

  TimingSimOptions p;
  ASSERT_TRUE(ParseTimingSimArgs({"--tcp", "0", "--speed", "60"}, p, error)) << error;
  EXPECT_EQ(p.tcpPort, 0);
  EXPECT_EQ(p.speed, 60.0);
  EXPECT_EQ(p.serial, LineKind::kNone);
  EXPECT_FALSE(p.startNow);
}

TEST(SimulatorOptionsTest, TimingSimCapture) {
  TimingSimOptions o;
  std::string error;
  ASSERT_TRUE(ParseTimingSimArgs({"--capture-tcp", "127.0.0.1:7777", "--record", "f"}, o, error))
      << error;
  EXPECT_EQ(o.captureHost, "127.0.0.1");
  EXPECT_EQ(o.capturePort, 7777);
}

TEST(SimulatorOptionsTest, TimingSimRefusesWrongArguments) {
  const std::vector<std::pair<Args, std::string>> table = {
      {{}, "choose an output: --pty, --device PATH or --tcp [PORT]"},
      {{"--seed", "1"}, "choose an output: --pty, --device PATH or --tcp [PORT]"},
      {{"--pty", "--device", "/dev/ttyS0"}, "choose one of --pty and --device"},
      {{"--tcp", "--speed", "0"}, "--speed wants a factor above 0 or max, not '0'"},
      {{"--tcp", "--speed", "fast"}, "--speed wants a factor above 0 or max, not 'fast'"},
      {{"--tcp", "--classes", "13"}, "--classes wants a whole number from 1 to 12, not '13'"},
      {{"--capture-tcp", "host"}, "--capture-tcp wants HOST:PORT, not 'host'"},
      {{"--capture-tcp", "h:1"}, "a capture wants --record FILE"},
      {{"--capture-tcp", "h:1", "--record", "f", "--pty"},
       "a capture only records; it sends nothing"},
      {{"--capture-tcp", "h:1", "--capture-device", "d", "--record", "f"},
       "capture from one feed at a time"},
  };
  for (const auto& [args, message] : table) {
    TimingSimOptions o;
    std::string error;
    EXPECT_FALSE(ParseTimingSimArgs(args, o, error)) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(error, message);
  }
}

// Both simulators take the same hang-up switches; a pty that hangs up must
// come back behind a link, and a device cannot be hung up from here.
TEST(SimulatorOptionsTest, HangupSwitchesOfBothSimulators) {
  struct Case {
    Args args;
    std::string error;  // empty: accepted
    double every;
    double down;
  };
  const Case table[] = {
      {{"--pty", "--link", "/tmp/l", "--hangup-every", "120"}, "", 120, 2},
      {{"--pty", "--link", "/tmp/l", "--hangup-every", "90.5:3"}, "", 90.5, 3},
      {{"--tcp", "0", "--hangup-every", "60:0"}, "", 60, 0},
      {{"--pty", "--link", "/tmp/l"}, "", 0, 2},
      {{"--pty", "--hangup-every", "60"},
       "--hangup-every on a pty wants --link PATH, where the program finds the new one",
       0,
       0},
      {{"--tcp", "0", "--link", "/tmp/l"}, "--link goes with --pty", 0, 0},
      {{"--device", "/dev/ttyS0", "--hangup-every", "60"},
       "--hangup-every works on a pty or a TCP server, not a device",
       0,
       0},
      {{"--tcp", "--hangup-every", "0"},
       "--hangup-every wants SECONDS or SECONDS:DOWN, such as 120:3, not '0'",
       0,
       0},
      {{"--tcp", "--hangup-every", "60:"},
       "--hangup-every wants SECONDS or SECONDS:DOWN, such as 120:3, not '60:'",
       0,
       0},
      {{"--tcp", "--hangup-every", "60:-1"},
       "--hangup-every wants SECONDS or SECONDS:DOWN, such as 120:3, not '60:-1'",
       0,
       0},
      {{"--tcp", "--hangup-every"}, "--hangup-every wants a value", 0, 0},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    TxSimOptions x;
    TimingSimOptions t;
    std::string txError;
    std::string timingError;
    const bool tx = ParseTxSimArgs(c.args, x, txError);
    const bool timing = ParseTimingSimArgs(c.args, t, timingError);
    EXPECT_EQ(tx, c.error.empty()) << txError;
    EXPECT_EQ(timing, c.error.empty()) << timingError;
    EXPECT_EQ(txError, c.error);
    EXPECT_EQ(timingError, c.error);
    if (!c.error.empty()) continue;
    for (const HangupOptions* h : {&x.hangup, &t.hangup}) {
      EXPECT_EQ(h->everySeconds, c.every);
      EXPECT_EQ(h->downSeconds, c.down);
    }
  }
}

TEST(SimulatorOptionsTest, HelpNeedsNothingElse) {
  TimingSimOptions t;
  TxSimOptions x;
  std::string error;
  EXPECT_TRUE(ParseTimingSimArgs({"--help"}, t, error));
  EXPECT_TRUE(t.help);
  EXPECT_TRUE(ParseTxSimArgs({"-h"}, x, error));
  EXPECT_TRUE(x.help);
}

}  // namespace
}  // namespace torvane::sim
