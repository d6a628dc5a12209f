// Exchanges per second of the Windows station against a transmitter on a COM
// port (torvanetx-txsim on a pty that Wine maps to it), beside a bare
// overlapped loop over the same port, measured before and after the station:
// the bare loop waits for each reply as a message loop does
// (MsgWaitForMultipleObjects on the read's event) and does nothing else, so
// what the station takes beyond it is the station's own.
// usage: win32_pass_bench [--com N] [--exchanges N] [--warm-up N] [--rounds N]
//                         [--answer-on M] [--only bare|station]
// --rounds N runs the station N times (default 3), each followed by the bare
// loop, and sets the best of each side by side.
// --answer-on M answers every packet with ACK on COM M from a thread of its
// own (the far end of a port pair), for a run without the simulator; --only
// runs one of the two, for a trace of it alone.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "BenchSettings.h"
#include "BlockPacket.h"
#include "Prompter.h"
#include "StationCore.h"
#include "Win32StationSystem.h"

namespace torvane {
namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

// CPU time of the calling thread, user and kernel.
double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

std::string PortPath(int com) { return "\\\\.\\COM" + std::to_string(com); }

// An overlapped handle on a COM port at 57600,N,8,1 whose reads end when the
// bytes asked for are in; INVALID_HANDLE_VALUE when it cannot be set up.
HANDLE OpenPort(int com) {
  HANDLE port = CreateFileA(PortPath(com).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return port;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  COMMTIMEOUTS none{};
  if (!GetCommState(port, &dcb)) return CloseHandle(port), INVALID_HANDLE_VALUE;
  dcb.BaudRate = 57600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
  if (!SetCommState(port, &dcb) || !SetCommTimeouts(port, &none)) {
    CloseHandle(port);
    return INVALID_HANDLE_VALUE;
  }
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return port;
}

struct Run {
  double perSecond = 0;  // 0: the port could not be used
  double cpuPerExchange = 0;
  long long exchanges = 0;
};

// Reads one byte into reply, overlapped; true once it is in.
class ReplyReader {
 public:
  explicit ReplyReader(HANDLE port) : port_(port) {
    read_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~ReplyReader() {
    if (pending_) {
      CancelIo(port_);
      DWORD got = 0;
      GetOverlappedResult(port_, &read_, &got, TRUE);
    }
    CloseHandle(read_.hEvent);
  }
  HANDLE Event() const { return read_.hEvent; }
  // Starts the read unless one is pending; true when it ended at once with the byte.
  bool Arm() {
    if (pending_) return false;
    DWORD got = 0;
    if (ReadFile(port_, &reply_, 1, &got, &read_)) return got == 1;
    pending_ = GetLastError() == ERROR_IO_PENDING;
    failed_ = !pending_;
    return false;
  }
  // After the event: true when the byte is in.
  bool Complete() {
    DWORD got = 0;
    pending_ = false;
    if (!GetOverlappedResult(port_, &read_, &got, FALSE)) failed_ = true;
    return got == 1;
  }
  bool Failed() const { return failed_; }

 private:
  HANDLE port_;
  OVERLAPPED read_{};
  uint8_t reply_ = 0;
  bool pending_ = false;
  bool failed_ = false;
};

// The floor the port and the simulator allow: one packet out for each reply
// in, nothing else, waiting as a message loop waits. Counted over exchanges
// after warmUp of them.
Run BareLoop(int com, long long exchanges, long long warmUp) {
  HANDLE port = OpenPort(com);
  if (port == INVALID_HANDLE_VALUE) return {};
  Run run;
  {
    ReplyReader reader(port);
    OVERLAPPED write{};
    write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    MapImageBytes image{};
    int address = 0;
    BlockPacket packet{};
    const auto send = [&] {
      packet = BuildBlockPacket(image, static_cast<int16_t>(address), 0);
      address = address + kBlockDataSize > 32000 ? 0 : address + kBlockDataSize;
      DWORD put = 0;
      if (WriteFile(port, packet.data(), kBlockPacketSize, &put, &write)) return true;
      return GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(port, &write, &put, TRUE) &&
             put == kBlockPacketSize;
    };
    // Waits for the next reply; false on a failed or silent port (timeoutMs).
    const auto reply = [&](DWORD timeoutMs) {
      if (reader.Arm()) return true;
      for (;;) {
        if (reader.Failed()) return false;
        HANDLE event = reader.Event();
        const DWORD woke = MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return reader.Complete();
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      }
    };
    // A reply still owed to the port's last user would draw a second packet
    // and put two in flight: wait it out, dropping what comes meanwhile.
    const double quietUntil = Now() + 0.5;
    while (Now() < quietUntil) reply(50);
    const auto exchange = [&](long long count) {
      for (; count > 0; --count) {
        if (!send() || !reply(1000)) return false;
      }
      return true;
    };
    bool ok = exchange(warmUp);
    const double start = Now();
    const double cpu0 = ThreadCpuSeconds();
    ok = ok && exchange(exchanges);
    const double seconds = Now() - start;
    const double cpu = ThreadCpuSeconds() - cpu0;
    CloseHandle(write.hEvent);
    if (ok && seconds > 0) {
      run.perSecond = static_cast<double>(exchanges) / seconds;
      run.cpuPerExchange = cpu / static_cast<double>(exchanges);
      run.exchanges = exchanges;
    }
  }
  CloseHandle(port);
  return run;
}

// The station with the largest image on COM com, counted from its packets
// sent: from the first look after warmUp of them until exchanges more.
Run StationRun(int com, long long exchanges, long long warmUp) {
  SettingsStore settings;
  WriteMaximalStation(settings, PortPath(com));
  SetSerialLink(settings, kTransmitterKey, com, 8);
  StderrPrompter prompter;
  Win32StationSystem system;
  StationCore station(settings, prompter, system);
  station.Start();
  if (!station.TransmitterOpen()) {
    std::fprintf(stderr, "the station did not open COM%d\n", com);
    return {};
  }
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence

  const auto sent = [&] { return static_cast<long long>(station.cycle().Counters().packetsSent); };
  long long from = -1;
  long long last = sent();
  double start = 0;
  double cpu0 = 0;
  Run run;
  int silentLooks = 0;
  // A look every 100 ms: few enough wake-ups not to weigh on the count.
  system.Every(100, [&] {
    const long long now = sent();
    silentLooks = now == last ? silentLooks + 1 : 0;
    last = now;
    if (silentLooks >= 20) return system.Quit(1);  // 2 s without a packet
    if (from < 0) {
      if (now < warmUp) return;
      from = now;
      start = Now();
      cpu0 = ThreadCpuSeconds();
      return;
    }
    if (now - from < exchanges) return;
    const double seconds = Now() - start;
    run.exchanges = now - from;
    run.perSecond = static_cast<double>(run.exchanges) / seconds;
    run.cpuPerExchange = (ThreadCpuSeconds() - cpu0) / static_cast<double>(run.exchanges);
    system.Quit(0);
  });
  if (system.Run() != 0) {
    std::fprintf(stderr, "the station stopped sending after %lld packets\n", sent());
    run = {};
  }
  station.Shutdown();
  return run;
}

// The transmitter's part for a run without the simulator: ACK for every
// 14 bytes that come in on COM com, until stop is set.
void AnswerPackets(int com, const std::atomic<bool>& stop, std::atomic<bool>& ready) {
  HANDLE port = OpenPort(com);
  if (port == INVALID_HANDLE_VALUE) {
    ready = true;
    return;
  }
  OVERLAPPED io{};
  io.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ready = true;
  uint8_t packet[kBlockPacketSize];
  while (!stop) {
    DWORD got = 0;
    if (!ReadFile(port, packet, sizeof packet, &got, &io)) {
      if (GetLastError() != ERROR_IO_PENDING) break;
      while (!stop && WaitForSingleObject(io.hEvent, 50) == WAIT_TIMEOUT) {
      }
      if (stop) {
        CancelIo(port);
        GetOverlappedResult(port, &io, &got, TRUE);
        break;
      }
      if (!GetOverlappedResult(port, &io, &got, FALSE)) break;
    }
    if (got != sizeof packet) continue;
    const uint8_t ack = kAck;
    DWORD put = 0;
    if (!WriteFile(port, &ack, 1, &put, &io) &&
        (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port, &io, &put, TRUE))) {
      break;
    }
  }
  CloseHandle(io.hEvent);
  CloseHandle(port);
}

void Report(const char* what, const Run& run) {
  if (run.perSecond <= 0) {
    std::printf("%s: the port could not be used\n", what);
    return;
  }
  std::printf("%s: %.0f exchanges/s (%.3f ms each) over %lld; %.1f us of CPU an exchange\n", what,
              run.perSecond, 1e3 / run.perSecond, run.exchanges, run.cpuPerExchange * 1e6);
}

int Main(int com, long long exchanges, long long warmUp, int rounds, const std::string& only) {
  if (only == "station" || only == "bare") {
    const Run run =
        only == "bare" ? BareLoop(com, exchanges, warmUp) : StationRun(com, exchanges, warmUp);
    Report(only == "bare" ? "bare loop" : "station", run);
    return run.perSecond > 0 ? 0 : 1;
  }
  // The bare loop before the station and after each of its rounds: a machine
  // busy with other work slows single runs, the best of each tells the two apart.
  Run bestBare = BareLoop(com, exchanges, warmUp);
  Report("bare loop, before the station", bestBare);
  std::fflush(stdout);
  Run bestStation;
  for (int round = 1; round <= rounds; ++round) {
    const Run station = StationRun(com, exchanges, warmUp);
    Report("station", station);
    std::fflush(stdout);
    const Run after = BareLoop(com, exchanges, warmUp);
    Report("bare loop, after the station", after);
    std::fflush(stdout);
    if (station.perSecond <= 0 || after.perSecond <= 0) return 1;
    if (station.perSecond > bestStation.perSecond) bestStation = station;
    if (after.perSecond > bestBare.perSecond) bestBare = after;
  }
  if (bestBare.perSecond <= 0) return 1;
  if (rounds > 1) {
    Report("best bare loop", bestBare);
    Report("best station", bestStation);
  }
  std::printf(
      "ratio: the station makes %.1f%% of the faster bare loop's exchanges (%.3f ms an "
      "exchange beyond it)\n",
      100 * bestStation.perSecond / bestBare.perSecond,
      1e3 / bestStation.perSecond - 1e3 / bestBare.perSecond);
  return 0;
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  int com = 3;
  int answerOn = 0;
  long long exchanges = 3000;
  long long warmUp = 300;
  int rounds = 3;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool more = i + 1 < argc;
    if (arg == "--com" && more) {
      com = std::atoi(argv[++i]);
    } else if (arg == "--exchanges" && more) {
      exchanges = std::max(1LL, std::atoll(argv[++i]));
    } else if (arg == "--warm-up" && more) {
      warmUp = std::max(0LL, std::atoll(argv[++i]));
    } else if (arg == "--rounds" && more) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && more) {
      only = argv[++i];
    } else if (arg == "--answer-on" && more) {
      answerOn = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr,
                   "usage: win32_pass_bench [--com N] [--exchanges N] [--warm-up N] "
                   "[--rounds N] [--answer-on M] [--only bare|station]\n");
      return 2;
    }
  }
  std::atomic<bool> stop{false};
  std::atomic<bool> ready{answerOn == 0};
  std::thread answerer;
  if (answerOn != 0) {
    answerer = std::thread([&] { torvane::AnswerPackets(answerOn, stop, ready); });
    while (!ready) Sleep(1);
  }
  const int rc = torvane::Main(com, exchanges, warmUp, rounds, only);
  stop = true;
  if (answerer.joinable()) answerer.join();
  return rc;
}
