// Command lines of the two simulators, parsed without Qt so tests check them.
#ifndef TORVANE_TOOLS_SIMULATORS_SIMULATOROPTIONS_H_
#define TORVANE_TOOLS_SIMULATORS_SIMULATOROPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TransmitterModel.h"

namespace torvane::sim {

enum class LineKind { kNone, kPty, kDevice, kTcp };

inline constexpr int kTxSimDefaultPort = 5555;
inline constexpr int kTimingSimDefaultPort = 7777;

// The far end going away and coming back: a pty is closed and made anew
// behind linkPath, a TCP server closes its connections and stops listening.
struct HangupOptions {
  std::string linkPath;     // a symbolic link kept to the pty
  double everySeconds = 0;  // 0: only when asked on standard input
  double downSeconds = 2;
};

struct TxSimOptions {
  bool help = false;
  LineKind line = LineKind::kPty;
  std::string device;
  int baud = 57600;
  int tcpPort = kTxSimDefaultPort;  // 0: any free port
  TransmitterConfig transmitter;
  double statsEverySeconds = 5;  // 0: only at the end
  std::optional<int> showPage;
  std::string dumpPath;  // memory dump of the image at exit
  HangupOptions hangup;
};

struct TimingSimOptions {
  bool help = false;
  LineKind serial = LineKind::kNone;  // the tagged stream: kPty or kDevice
  std::string device;
  int baud = 9600;
  std::optional<int> tcpPort;  // the command stream server
  uint64_t seed = 1;
  std::optional<double> speed = 1.0;  // nullopt: as fast as possible
  std::optional<int64_t> records;
  int classes = 8;
  bool lineFeed = false;
  bool exitWhenDone = false;
  bool startNow = false;  // play without waiting for the pty to open or a client
  std::string recordPath;
  std::string replayPath;
  std::string captureDevice;
  std::string captureHost;
  int capturePort = 0;
  HangupOptions hangup;
};

extern const char* const kTxSimUsage;
extern const char* const kTimingSimUsage;

// False with *error set when the arguments (without the program name) are wrong.
bool ParseTxSimArgs(const std::vector<std::string>& args, TxSimOptions& out, std::string& error);
bool ParseTimingSimArgs(const std::vector<std::string>& args, TimingSimOptions& out,
                        std::string& error);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_SIMULATOROPTIONS_H_
