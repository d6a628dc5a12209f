#include "SimulatorOptions.h"

#include <charconv>
#include <cmath>

namespace torvane::sim {

const char* const kTxSimUsage =
    "usage: torvanetx-txsim [--pty | --device PATH [--baud N] | --tcp [PORT]] [options]\n"
    "A Torvane transmitter: reads block packets, checks them, answers ACK, ESC or NAK and\n"
    "keeps the image, as a receiver card decodes it.\n"
    "  --pty               create a pseudo-terminal and print \"pty: PATH\" (the default)\n"
    "  --device PATH       open a serial device (--baud, default 57600)\n"
    "  --tcp [PORT]        listen on 127.0.0.1 (default 5555; 0 picks a free port)\n"
    "  --venue N           refuse packets for another venue (default: any)\n"
    "  --nak-every N       refuse every Nth packet that passes its checks\n"
    "  --esc-every N       answer every Nth accepted packet with ESC\n"
    "  --drop-every N      lose every Nth reply\n"
    "  --garble-every N    garble every Nth reply\n"
    "  --late-ms N         answer N ms late\n"
    "  --latency-ms N      hold replies as a USB adapter's N ms latency timer does\n"
    "  --silent-after N:S  after every N packets ignore the line for S seconds\n"
    "  --wire-time         take the time of a 57600-baud wire for packets and replies\n"
    "  --stats-every S     print statistics every S seconds (default 5, 0: at the end)\n"
    "  --show-page N       print page N as a card shows it with the statistics\n"
    "  --dump FILE         write the image as a memory dump at exit\n"
    "  --link PATH         keep a symbolic link at PATH to the pty, made again for each new one\n"
    "  --hangup-every S[:D]  every S seconds hang up and come back D seconds later (default 2):\n"
    "                      the pty is closed and a new one made behind --link, or the TCP\n"
    "                      connection is closed and the port not listened on meanwhile\n"
    "On standard input: \"stats\", \"page N\", \"dump FILE\", \"hangup [D]\", \"quit\".\n";

const char* const kTimingSimUsage =
    "usage: torvanetx-timingsim [--pty | --device PATH [--baud N]] [--tcp [PORT]] [options]\n"
    "A drag strip timing system playing a race day: the tagged stream on a serial line,\n"
    "the command stream as a TCP server on 127.0.0.1 that answers \"~AC\" with the class list.\n"
    "  --pty               tagged stream on a new pseudo-terminal; prints \"pty: PATH\";\n"
    "                      the day starts when the program opens it\n"
    "  --device PATH       tagged stream on a serial device (--baud, default 9600)\n"
    "  --tcp [PORT]        command stream server (default 7777; 0 picks a free port);\n"
    "                      prints \"tcp: 127.0.0.1:PORT\"; the day starts at the first client\n"
    "  --seed N            race day seed (default 1)\n"
    "  --classes N         classes in the day, 1..12 (default 8)\n"
    "  --speed X|max       pace: 1 real time, X times faster, max as fast as possible\n"
    "  --records N         stop each stream after N records (chunks when replaying)\n"
    "  --crlf              end tagged records with CR LF instead of CR\n"
    "  --exit-when-done    exit when the day is over instead of staying for \"~AC\"\n"
    "  --start-now         start the day at once, without waiting for the line or a client\n"
    "  --record FILE       record what is sent\n"
    "  --replay FILE       play a recording instead of a generated day\n"
    "  --capture-device PATH | --capture-tcp HOST:PORT\n"
    "                      record a real feed (with --record FILE) until it ends\n"
    "  --link PATH         keep a symbolic link at PATH to the pty, made again for each new one\n"
    "  --hangup-every S[:D]  every S seconds hang up and come back D seconds later (default 2):\n"
    "                      the pty is closed and a new one made behind --link, the server\n"
    "                      closes its connections and stops listening; what comes due\n"
    "                      meanwhile is sent once the line or a client is back\n"
    "On standard input: \"hangup [D]\".\n";

namespace {

class Args {
 public:
  explicit Args(const std::vector<std::string>& args) : args_(args) {}
  bool More() const { return i_ < args_.size(); }
  const std::string& Take() { return args_[i_++]; }
  // The next argument when it does not look like an option.
  std::optional<std::string> TakeValueIfAny() {
    if (!More() || args_[i_].rfind("--", 0) == 0) return std::nullopt;
    return Take();
  }

 private:
  const std::vector<std::string>& args_;
  size_t i_ = 0;
};

bool ToInt(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out >= lo && out <= hi;
}

bool ToDouble(const std::string& text, double& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// Reads the value of option into out; on failure sets error.
bool Number(Args& args, const std::string& option, int64_t lo, int64_t hi, int64_t& out,
            std::string& error) {
  if (!args.More()) {
    error = option + " wants a value";
    return false;
  }
  const std::string& text = args.Take();
  if (!ToInt(text, lo, hi, out)) {
    error = option + " wants a whole number from " + std::to_string(lo) + " to " +
            std::to_string(hi) + ", not '" + text + "'";
    return false;
  }
  return true;
}

bool Text(Args& args, const std::string& option, std::string& out, std::string& error) {
  if (!args.More()) {
    error = option + " wants a value";
    return false;
  }
  out = args.Take();
  return true;
}

bool Port(Args& args, const std::string& option, int& out, std::string& error) {
  if (std::optional<std::string> text = args.TakeValueIfAny()) {
    int64_t port = 0;
    if (!ToInt(*text, 0, 65535, port)) {
      error = option + " wants a port from 0 to 65535, not '" + *text + "'";
      return false;
    }
    out = static_cast<int>(port);
  }
  return true;
}

constexpr int64_t kMaxCount = 1'000'000'000;

// The options both simulators share for hanging up; false when option is none of them.
bool HangupOption(const std::string& option, Args& args, HangupOptions& out, std::string& error,
                  bool& ok) {
  if (option == "--link") {
    ok = Text(args, option, out.linkPath, error);
    return true;
  }
  if (option != "--hangup-every") return false;
  std::string text;
  ok = Text(args, option, text, error);
  if (!ok) return true;
  const size_t colon = text.find(':');
  const std::string every = text.substr(0, colon);
  const std::string down = colon == std::string::npos ? "" : text.substr(colon + 1);
  if (!ToDouble(every, out.everySeconds) || out.everySeconds <= 0 || out.everySeconds > 86400 ||
      (!down.empty() &&
       (!ToDouble(down, out.downSeconds) || out.downSeconds < 0 || out.downSeconds > 3600)) ||
      (colon != std::string::npos && down.empty())) {
    error = "--hangup-every wants SECONDS or SECONDS:DOWN, such as 120:3, not '" + text + "'";
    ok = false;
  }
  return true;
}

// A pty that hangs up must come back where the program looks for it.
bool CheckHangup(const HangupOptions& hangup, bool pty, bool device, std::string& error) {
  if (!hangup.linkPath.empty() && !pty) {
    error = "--link goes with --pty";
    return false;
  }
  if (hangup.everySeconds > 0 && device) {
    error = "--hangup-every works on a pty or a TCP server, not a device";
    return false;
  }
  if (hangup.everySeconds > 0 && pty && hangup.linkPath.empty()) {
    error = "--hangup-every on a pty wants --link PATH, where the program finds the new one";
    return false;
  }
  return true;
}

}  // namespace

bool ParseTxSimArgs(const std::vector<std::string>& argv, TxSimOptions& out, std::string& error) {
  Args args(argv);
  int lines = 0;
  FailureSwitches& sw = out.transmitter.switches;
  while (args.More()) {
    const std::string option = args.Take();
    int64_t n = 0;
    bool ok = true;
    if (option == "--help" || option == "-h") {
      out.help = true;
    } else if (option == "--pty") {
      out.line = LineKind::kPty;
      ++lines;
    } else if (option == "--device") {
      out.line = LineKind::kDevice;
      ++lines;
      ok = Text(args, option, out.device, error);
    } else if (option == "--tcp") {
      out.line = LineKind::kTcp;
      ++lines;
      ok = Port(args, option, out.tcpPort, error);
    } else if (option == "--baud") {
      ok = Number(args, option, 50, 4'000'000, n, error);
      out.baud = static_cast<int>(n);
    } else if (option == "--venue") {
      ok = Number(args, option, 0, 255, n, error);
      out.transmitter.venue = static_cast<uint8_t>(n);
    } else if (option == "--nak-every") {
      ok = Number(args, option, 1, kMaxCount, n, error);
      sw.nakEvery = static_cast<int>(n);
    } else if (option == "--esc-every") {
      ok = Number(args, option, 1, kMaxCount, n, error);
      sw.escEvery = static_cast<int>(n);
    } else if (option == "--drop-every") {
      ok = Number(args, option, 1, kMaxCount, n, error);
      sw.dropEvery = static_cast<int>(n);
    } else if (option == "--garble-every") {
      ok = Number(args, option, 1, kMaxCount, n, error);
      sw.garbleEvery = static_cast<int>(n);
    } else if (option == "--late-ms") {
      ok = Number(args, option, 0, 3'600'000, n, error);
      sw.late = std::chrono::milliseconds(n);
    } else if (option == "--latency-ms") {
      ok = Number(args, option, 0, 1000, n, error);
      sw.adapterLatency = std::chrono::milliseconds(n);
    } else if (option == "--silent-after") {
      std::string text;
      ok = Text(args, option, text, error);
      const size_t colon = text.find(':');
      int64_t count = 0;
      double seconds = 0;
      if (ok && (colon == std::string::npos || !ToInt(text.substr(0, colon), 1, kMaxCount, count) ||
                 !ToDouble(text.substr(colon + 1), seconds) || seconds < 0 || seconds > 3600)) {
        error = "--silent-after wants N:SECONDS, such as 100:5, not '" + text + "'";
        ok = false;
      }
      sw.silentAfter = static_cast<int>(count);
      sw.silentFor = std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
    } else if (option == "--wire-time") {
      sw.wireTime = true;
    } else if (option == "--stats-every") {
      std::string text;
      ok = Text(args, option, text, error);
      if (ok && (!ToDouble(text, out.statsEverySeconds) || out.statsEverySeconds < 0)) {
        error = "--stats-every wants seconds, not '" + text + "'";
        ok = false;
      }
    } else if (option == "--show-page") {
      ok = Number(args, option, 0, 127, n, error);
      out.showPage = static_cast<int>(n);
    } else if (option == "--dump") {
      ok = Text(args, option, out.dumpPath, error);
    } else if (HangupOption(option, args, out.hangup, error, ok)) {
    } else {
      error = "unknown option '" + option + "'";
      ok = false;
    }
    if (!ok) return false;
  }
  if (lines > 1) {
    error = "choose one of --pty, --device and --tcp";
    return false;
  }
  return CheckHangup(out.hangup, out.line == LineKind::kPty, out.line == LineKind::kDevice, error);
}

bool ParseTimingSimArgs(const std::vector<std::string>& argv, TimingSimOptions& out,
                        std::string& error) {
  Args args(argv);
  int serials = 0;
  while (args.More()) {
    const std::string option = args.Take();
    int64_t n = 0;
    bool ok = true;
    if (option == "--help" || option == "-h") {
      out.help = true;
    } else if (option == "--pty") {
      out.serial = LineKind::kPty;
      ++serials;
    } else if (option == "--device") {
      out.serial = LineKind::kDevice;
      ++serials;
      ok = Text(args, option, out.device, error);
    } else if (option == "--baud") {
      ok = Number(args, option, 50, 4'000'000, n, error);
      out.baud = static_cast<int>(n);
    } else if (option == "--tcp") {
      int port = kTimingSimDefaultPort;
      ok = Port(args, option, port, error);
      out.tcpPort = port;
    } else if (option == "--seed") {
      ok = Number(args, option, 0, INT64_MAX, n, error);
      out.seed = static_cast<uint64_t>(n);
    } else if (option == "--classes") {
      ok = Number(args, option, 1, 12, n, error);
      out.classes = static_cast<int>(n);
    } else if (option == "--speed") {
      std::string text;
      ok = Text(args, option, text, error);
      double speed = 0;
      if (ok && text == "max") {
        out.speed.reset();
      } else if (ok && ToDouble(text, speed) && speed > 0) {
        out.speed = speed;
      } else if (ok) {
        error = "--speed wants a factor above 0 or max, not '" + text + "'";
        ok = false;
      }
    } else if (option == "--records") {
      ok = Number(args, option, 0, INT64_MAX, n, error);
      out.records = n;
    } else if (option == "--crlf") {
      out.lineFeed = true;
    } else if (option == "--exit-when-done") {
      out.exitWhenDone = true;
    } else if (option == "--start-now") {
      out.startNow = true;
    } else if (option == "--record") {
      ok = Text(args, option, out.recordPath, error);
    } else if (option == "--replay") {
      ok = Text(args, option, out.replayPath, error);
    } else if (option == "--capture-device") {
      ok = Text(args, option, out.captureDevice, error);
    } else if (option == "--capture-tcp") {
      std::string text;
      ok = Text(args, option, text, error);
      const size_t colon = text.rfind(':');
      int64_t port = 0;
      if (ok && (colon == std::string::npos || colon == 0 ||
                 !ToInt(text.substr(colon + 1), 1, 65535, port))) {
        error = "--capture-tcp wants HOST:PORT, not '" + text + "'";
        ok = false;
      }
      if (ok) {
        out.captureHost = text.substr(0, colon);
        out.capturePort = static_cast<int>(port);
      }
    } else if (HangupOption(option, args, out.hangup, error, ok)) {
    } else {
      error = "unknown option '" + option + "'";
      ok = false;
    }
    if (!ok) return false;
  }
  if (out.help) return true;
  if (serials > 1) {
    error = "choose one of --pty and --device";
    return false;
  }
  const bool capture = !out.captureDevice.empty() || !out.captureHost.empty();
  if (capture) {
    if (!out.captureDevice.empty() && !out.captureHost.empty()) {
      error = "capture from one feed at a time";
      return false;
    }
    if (out.recordPath.empty()) {
      error = "a capture wants --record FILE";
      return false;
    }
    if (out.serial != LineKind::kNone || out.tcpPort || !out.replayPath.empty()) {
      error = "a capture only records; it sends nothing";
      return false;
    }
    return true;
  }
  if (out.serial == LineKind::kNone && !out.tcpPort) {
    error = "choose an output: --pty, --device PATH or --tcp [PORT]";
    return false;
  }
  return CheckHangup(out.hangup, out.serial == LineKind::kPty, out.serial == LineKind::kDevice,
                     error);
}

}  // namespace torvane::sim
