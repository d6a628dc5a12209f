// The two simulator executables as the program meets them: the transmitter on
// a pseudo-terminal and on TCP, the timing system's tagged stream on a
// pseudo-terminal and its command stream from a TCP server on 127.0.0.1.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BlockPacket.h"
#include "CommandStreamWriter.h"
#include "FeedPlayer.h"
#include "FeedRecording.h"
#include "MemoryDump.h"
#include "PseudoTerminal.h"
#include "RaceDayGenerator.h"
#include "SimTestSupport.h"

extern char** environ;

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr auto kPatience = 5s;  // no step here should take more than a moment

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Reads from fd until done(text) holds, the peer closes, or the deadline passes.
template <typename Done>
std::string ReadFd(int fd, Done done, std::chrono::milliseconds patience = kPatience) {
  std::string got;
  const auto deadline = Clock::now() + patience;
  while (!done(got)) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready <= 0) break;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

std::string ReadBytes(int fd, size_t count, std::chrono::milliseconds patience = kPatience) {
  return ReadFd(
      fd, [count](const std::string& s) { return s.size() >= count; }, patience);
}

// The first n records (ending in CR, or CR LF when lf) of text.
size_t CountRecords(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\r'));
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    ASSERT_GT(n, 0);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

// A simulator run as a child process with its standard input and output on pipes.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
  }
  ~Child() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGTERM);
      if (!Wait(3s)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (stdin_ >= 0) close(stdin_);
    if (stdout_ >= 0) close(stdout_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool running() const { return pid_ > 0; }

  // The next line of its output, without the line feed.
  std::string ReadLine(std::chrono::milliseconds patience = kPatience) {
    buffer_ += ReadFd(
        stdout_,
        [this](const std::string& s) { return (buffer_ + s).find('\n') != std::string::npos; },
        patience);
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) return std::exchange(buffer_, "");
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    return line;
  }
  // Output up to and including the line that starts with prefix.
  std::string ReadThrough(const std::string& prefix) {
    std::string text;
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      const std::string line = ReadLine(std::chrono::milliseconds(RemainingMs(deadline)));
      text += line + "\n";
      if (line.rfind(prefix, 0) == 0) break;
    }
    return text;
  }
  void Send(const std::string& line) { WriteAll(stdin_, line + "\n"); }

  // The exit status, once it has exited; nullopt if it is still running.
  std::optional<int> Wait(std::chrono::milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    do {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10'000);
    } while (Clock::now() < deadline);
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  bool exited_ = false;
  std::string buffer_;
};

// "pty: /dev/pts/7" → the path; "tcp: 127.0.0.1:4711" → "4711".
std::string After(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

int OpenPty(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd >= 0) MakeRaw(fd);
  return fd;
}

int ConnectLocal(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string Joined(const std::vector<FeedChunk>& chunks, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < chunks.size(); ++i) out += chunks[i].bytes;
  return out;
}

std::vector<FeedChunk> Generated(uint64_t seed, bool command, bool tagged, bool lineFeed = false) {
  RaceDayConfig config;
  config.seed = seed;
  return FeedFromRaceDay(GenerateRaceDay(config), command, tagged, lineFeed);
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "simulators-" + std::to_string(getpid()) + "-" + name;
}

std::string Packet(const MapImageBytes& image, int address, uint8_t venue) {
  const BlockPacket p = BuildBlockPacket(image, static_cast<int16_t>(address), venue);
  return std::string(p.begin(), p.end());
}

TEST(TxSimEndToEndTest, CardOnAPtyHoldsWhatTheProgramSent) {
  const std::string dump = TempPath("card.csv");
  Child txsim({TXSIM_PATH, "--pty", "--venue", "3", "--stats-every", "0", "--dump", dump});
  ASSERT_TRUE(txsim.running());
  const std::string path = After(txsim.ReadLine(), "pty: ");
  ASSERT_FALSE(path.empty());
  Fd line(OpenPty(path));
  ASSERT_GE(line.get(), 0) << path;

  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  // Another venue is refused; garbage before a packet does not matter.
  WriteAll(line.get(), Packet(image, 0, 4));
  EXPECT_EQ(ReadBytes(line.get(), 1), "\x15");
  WriteAll(line.get(), "\x01\x02\x1B" + Packet(image, 0, 3));
  EXPECT_EQ(ReadBytes(line.get(), 1), "\x06");
  // The whole image, stop and wait, as the cycle sends it.
  for (int a = 0; a <= mapEnd; a += 8) {
    WriteAll(line.get(), Packet(image, a, 3));
    ASSERT_EQ(ReadBytes(line.get(), 1), "\x06") << a;
  }

  txsim.Send("page 1");
  const std::string page = txsim.ReadThrough("end of page 1");
  EXPECT_NE(page.find("title \"PRO STOCK E2    \""), std::string::npos) << page;
  EXPECT_NE(page.find("|L[PS:1234]MIKE SMITH| 0"), std::string::npos) << page;
  EXPECT_EQ(page.find('!'), std::string::npos) << page;
  txsim.Send("stats");
  const std::string stats = txsim.ReadThrough("stats:");
  EXPECT_NE(stats.find("passes 1,"), std::string::npos) << stats;
  EXPECT_NE(stats.find("venue 1,"), std::string::npos) << stats;
  EXPECT_NE(stats.find("stray bytes 3,"), std::string::npos) << stats;

  txsim.Send("quit");
  EXPECT_EQ(txsim.Wait(kPatience), 0);
  const std::optional<std::vector<uint8_t>> dumped = ReadImageFile(dump);
  ASSERT_TRUE(dumped);
  for (int a = 0; a <= mapEnd; ++a)
    ASSERT_EQ((*dumped)[static_cast<size_t>(a)], image[static_cast<size_t>(a)]);
  std::remove(dump.c_str());
}

TEST(TxSimEndToEndTest, TcpPeerMeetsTheFailureSwitches) {
  Child txsim(
      {TXSIM_PATH, "--tcp", "0", "--nak-every", "2", "--late-ms", "200", "--stats-every", "0"});
  const std::string port = After(txsim.ReadLine(), "tcp: 127.0.0.1:");
  ASSERT_FALSE(port.empty());
  Fd peer(ConnectLocal(std::stoi(port)));
  ASSERT_GE(peer.get(), 0);
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);

  WriteAll(peer.get(), Packet(image, 272, 0));
  EXPECT_EQ(ReadBytes(peer.get(), 1, 50ms), "");  // late: not yet
  EXPECT_EQ(ReadBytes(peer.get(), 1), "\x06");
  WriteAll(peer.get(), Packet(image, 280, 0));
  EXPECT_EQ(ReadBytes(peer.get(), 1), "\x15");  // every second one refused

  // One peer at a time, as on a serial line.
  Fd second(ConnectLocal(std::stoi(port)));
  ASSERT_GE(second.get(), 0);
  EXPECT_EQ(ReadBytes(second.get(), 1), "");  // closed without a word
  WriteAll(peer.get(), Packet(image, 288, 0));
  EXPECT_EQ(ReadBytes(peer.get(), 1), "\x06");
}

TEST(TimingSimEndToEndTest, CommandStreamAndClassListOverTcp) {
  Child timing({TIMINGSIM_PATH, "--tcp", "0", "--speed", "max", "--records", "40", "--seed", "5"});
  const std::string port = After(timing.ReadLine(), "tcp: 127.0.0.1:");
  ASSERT_FALSE(port.empty());
  Fd client(ConnectLocal(std::stoi(port)));
  ASSERT_GE(client.get(), 0);

  const std::vector<FeedChunk> expected = Generated(5, true, false);
  const std::string records =
      ReadFd(client.get(), [](const std::string& s) { return CountRecords(s) >= 40; });
  EXPECT_EQ(records, Joined(expected, 40));

  // The request goes once without and once with its carriage return.
  RaceDayConfig config;
  config.seed = 5;
  std::vector<std::string> names;
  for (const RaceClass& k : GenerateRaceDay(config).classes) names.push_back(k.name);
  std::string answer;
  for (const std::string& r : CommandStreamWriter::ClassList(names)) answer += r;
  WriteAll(client.get(), "~AC");
  EXPECT_EQ(ReadBytes(client.get(), answer.size()), answer);
  WriteAll(client.get(), "~AC\r");
  EXPECT_EQ(ReadBytes(client.get(), answer.size()), answer);
  EXPECT_EQ(ReadBytes(client.get(), 1, 100ms), "");  // the day stopped at 40 records
}

// How the test opens the simulator's pty: as it stands, or as the program's
// serial line does, which discards whatever the line held on opening.
struct PtyOpening {
  const char* name;
  bool lineFeed;
  bool flushOnOpening;
};
void PrintTo(const PtyOpening& c, std::ostream* os) { *os << c.name; }

class TimingSimPtyTest : public ::testing::TestWithParam<PtyOpening> {};

TEST_P(TimingSimPtyTest, DayWaitsForTheLineToOpenAndArrivesWhole) {
  const PtyOpening& c = GetParam();
  std::vector<std::string> args = {TIMINGSIM_PATH, "--pty",     "--speed",
                                   "max",          "--records", "60",
                                   "--seed",       "5",         "--exit-when-done"};
  if (c.lineFeed) args.push_back("--crlf");
  Child timing(args);
  const std::string path = After(timing.ReadLine(), "pty: ");
  ASSERT_FALSE(path.empty());
  // Read before the line is opened: a simulator that plays at once has played
  // the whole day by the time this returns.
  EXPECT_EQ(timing.ReadLine(), "waiting for the line to open");
  Fd line(OpenPty(path));
  ASSERT_GE(line.get(), 0);
  if (c.flushOnOpening) tcflush(line.get(), TCIFLUSH);
  // The day is over before the test reads: the simulator stays until the
  // line is closed, since what the line holds is lost with it.
  EXPECT_EQ(timing.ReadLine(), "done: 0 command records, 60 tagged records");
  const std::string records =
      ReadFd(line.get(), [](const std::string& s) { return CountRecords(s) >= 60; });
  EXPECT_EQ(records, Joined(Generated(5, false, true, c.lineFeed), 60));
  line.Close();
  EXPECT_EQ(timing.Wait(kPatience), 0);
}

INSTANTIATE_TEST_SUITE_P(Openings, TimingSimPtyTest,
                         ::testing::Values(PtyOpening{"AsItStands", true, false},
                                           PtyOpening{"FlushedOnOpening", false, true}),
                         [](const ::testing::TestParamInfo<PtyOpening>& info) {
                           return std::string(info.param.name);
                         });

TEST(TimingSimEndToEndTest, AClientStartsTheDayAndThePtyGetsItsRecordsWhenOpened) {
  Child timing({TIMINGSIM_PATH, "--pty", "--tcp", "0", "--speed", "max", "--records", "30",
                "--seed", "5", "--exit-when-done"});
  const std::string path = After(timing.ReadLine(), "pty: ");
  ASSERT_FALSE(path.empty());
  const std::string port = After(timing.ReadLine(), "tcp: 127.0.0.1:");
  ASSERT_FALSE(port.empty());
  ASSERT_EQ(timing.ReadLine(), "waiting for the line to open or a client");
  Fd client(ConnectLocal(std::stoi(port)));
  ASSERT_GE(client.get(), 0);
  ASSERT_EQ(timing.ReadLine(), "done: 30 command records, 30 tagged records");

  // The whole day has been played before the program opens its line.
  Fd line(OpenPty(path));
  ASSERT_GE(line.get(), 0);
  tcflush(line.get(), TCIFLUSH);
  const std::string records =
      ReadFd(line.get(), [](const std::string& s) { return CountRecords(s) >= 30; });
  EXPECT_EQ(records, Joined(Generated(5, false, true), 30));
  EXPECT_EQ(ReadFd(client.get(), [](const std::string&) { return false; }),
            Joined(Generated(5, true, false), 30));
  line.Close();
  EXPECT_EQ(timing.Wait(kPatience), 0);
}

TEST(TimingSimEndToEndTest, RecordsPlayedWhileTheLineIsClosedFollowWhenItOpensAgain) {
  // The second chunk is due well after the test has closed the line.
  const std::string file = TempPath("reopen.rec");
  {
    std::ofstream out(file, std::ios::binary);
    out << RecordingHeader() << FormatChunkLine({0, FeedStream::kTagged, "A1\r"})
        << FormatChunkLine({1500, FeedStream::kTagged, "B2\r"});
  }
  Child timing({TIMINGSIM_PATH, "--pty", "--replay", file, "--exit-when-done"});
  const std::string path = After(timing.ReadLine(), "pty: ");
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(timing.ReadLine(), "waiting for the line to open");
  {
    Fd line(OpenPty(path));
    ASSERT_GE(line.get(), 0);
    tcflush(line.get(), TCIFLUSH);
    EXPECT_EQ(ReadBytes(line.get(), 3), "A1\r");
  }
  ASSERT_EQ(timing.ReadLine(), "done: 0 command records, 2 tagged records");
  Fd line(OpenPty(path));
  ASSERT_GE(line.get(), 0);
  tcflush(line.get(), TCIFLUSH);
  EXPECT_EQ(ReadBytes(line.get(), 3), "B2\r");
  line.Close();
  EXPECT_EQ(timing.Wait(kPatience), 0);
  std::remove(file.c_str());
}

// How a program meets a simulator's line: a pty opened at the simulator's
// link, or a TCP connection to its port.
enum class Far { kPty, kTcp };

std::string FarName(const ::testing::TestParamInfo<Far>& info) {
  return info.param == Far::kPty ? "Pty" : "Tcp";
}

// Opens the line again; -1 while it is away.
int OpenFar(Far far, const std::string& where) {
  return far == Far::kPty ? OpenPty(where) : ConnectLocal(std::stoi(where));
}

// The far end hung up: reads see the end (a pty fails with EIO, a socket
// reads 0) rather than waiting.
bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, RemainingMs(Clock::now() + kPatience)) <= 0) return false;
  char byte;
  return read(fd, &byte, 1) <= 0;
}

class TxSimHangupTest : public ::testing::TestWithParam<Far> {};

// The transmitter hangs up and comes back: the card keeps what it had, the
// new line is answered, and the old one's last packet is not.
TEST_P(TxSimHangupTest, CardKeepsItsImageAcrossAHangup) {
  const Far far = GetParam();
  const std::string link = TempPath("txsim-link");
  const std::string dump = TempPath("txsim-hangup.csv");
  std::vector<std::string> args = {TXSIM_PATH, "--stats-every", "0", "--dump", dump};
  if (far == Far::kPty) {
    args.insert(args.end(), {"--pty", "--link", link});
  } else {
    args.insert(args.end(), {"--tcp", "0"});
  }
  Child txsim(args);
  ASSERT_TRUE(txsim.running());
  std::string where;
  if (far == Far::kPty) {
    ASSERT_FALSE(After(txsim.ReadLine(), "pty: ").empty());
    ASSERT_EQ(txsim.ReadLine(), "link: " + link);
    where = link;
  } else {
    where = After(txsim.ReadLine(), "tcp: 127.0.0.1:");
    ASSERT_FALSE(where.empty());
  }
  int mapEnd = 0;
  const MapImageBytes image = testing::SampleImage(mapEnd);
  Fd line(OpenFar(far, where));
  ASSERT_GE(line.get(), 0) << where;
  WriteAll(line.get(), Packet(image, 272, 0));
  ASSERT_EQ(ReadBytes(line.get(), 1), "\x06");
  // Half a packet on the old line: it goes with the hangup.
  WriteAll(line.get(), Packet(image, 280, 0).substr(0, 7));

  txsim.Send("hangup 1.5");
  EXPECT_EQ(txsim.ReadLine(), "hangup: 1");
  EXPECT_TRUE(HungUp(line.get()));
  line.Close();
  EXPECT_LT(OpenFar(far, where), 0) << "still there while hung up";
  const std::string back = txsim.ReadThrough("back: 1");
  ASSERT_NE(back.find("back: 1"), std::string::npos) << back;

  Fd again(OpenFar(far, where));
  ASSERT_GE(again.get(), 0) << where;
  for (int a = 288; a <= 304; a += 8) {
    WriteAll(again.get(), Packet(image, a, 0));
    ASSERT_EQ(ReadBytes(again.get(), 1), "\x06") << a;
  }
  EXPECT_EQ(ReadBytes(again.get(), 1, 100ms), "") << "a reply too many";
  txsim.Send("stats");
  const std::string stats = txsim.ReadThrough("stats:");
  EXPECT_NE(stats.find("packets 4 "), std::string::npos) << stats;
  txsim.Send("quit");
  EXPECT_EQ(txsim.Wait(kPatience), 0);
  const std::optional<std::vector<uint8_t>> card = ReadImageFile(dump);
  ASSERT_TRUE(card);
  for (int a : {272, 288, 296, 304}) {
    for (int i = 0; i < 8; ++i) {
      ASSERT_EQ((*card)[static_cast<size_t>(a + i)], image[static_cast<size_t>(a + i)]) << a + i;
    }
  }
  EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link outlives the simulator";
  std::remove(dump.c_str());
}

INSTANTIATE_TEST_SUITE_P(Lines, TxSimHangupTest, ::testing::Values(Far::kPty, Far::kTcp), FarName);

class TimingSimHangupTest : public ::testing::TestWithParam<Far> {};

// Records that come due while the timing system's link is down reach the
// program once it is back, each once, in order.
TEST_P(TimingSimHangupTest, RecordsDueWhileDownFollowOnceTheLinkIsBack) {
  const Far far = GetParam();
  const FeedStream stream = far == Far::kPty ? FeedStream::kTagged : FeedStream::kCommand;
  const std::string a = far == Far::kPty ? "A1\r" : "~A1\r";
  const std::string b = far == Far::kPty ? "B2\r" : "~B2\r";
  const std::string c = far == Far::kPty ? "C3\r" : "~C3\r";
  const std::string file = TempPath("hangup.rec");
  {
    std::ofstream out(file, std::ios::binary);
    out << RecordingHeader() << FormatChunkLine({0, stream, a})
        << FormatChunkLine({2500, stream, b}) << FormatChunkLine({3500, stream, c});
  }
  const std::string link = TempPath("timingsim-link");
  std::vector<std::string> args = {TIMINGSIM_PATH, "--replay", file};
  if (far == Far::kPty) {
    args.insert(args.end(), {"--pty", "--link", link});
  } else {
    args.insert(args.end(), {"--tcp", "0"});
  }
  Child timing(args);
  std::string where;
  if (far == Far::kPty) {
    ASSERT_FALSE(After(timing.ReadLine(), "pty: ").empty());
    ASSERT_EQ(timing.ReadLine(), "link: " + link);
    ASSERT_EQ(timing.ReadLine(), "waiting for the line to open");
    where = link;
  } else {
    where = After(timing.ReadLine(), "tcp: 127.0.0.1:");
    ASSERT_FALSE(where.empty());
  }
  Fd line(OpenFar(far, where));
  ASSERT_GE(line.get(), 0) << where;
  if (far == Far::kPty) tcflush(line.get(), TCIFLUSH);
  EXPECT_EQ(ReadBytes(line.get(), a.size()), a);
  timing.Send("hangup 3");
  EXPECT_EQ(timing.ReadLine(), "hangup: 1");
  EXPECT_TRUE(HungUp(line.get()));
  line.Close();
  const std::string back = timing.ReadThrough("back: 1");
  ASSERT_NE(back.find("back: 1"), std::string::npos) << back;

  Fd again(OpenFar(far, where));
  ASSERT_GE(again.get(), 0) << where;
  if (far == Far::kPty) tcflush(again.get(), TCIFLUSH);
  EXPECT_EQ(ReadBytes(again.get(), b.size() + c.size()), b + c);
  EXPECT_EQ(ReadBytes(again.get(), 1, 200ms), "") << "a record sent twice";
  std::remove(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Lines, TimingSimHangupTest, ::testing::Values(Far::kPty, Far::kTcp),
                         FarName);

TEST(TimingSimEndToEndTest, RecordThenReplayGiveTheSameBytes) {
  const std::string file = TempPath("feed.rec");
  std::string first;
  {
    Child timing({TIMINGSIM_PATH, "--tcp", "0", "--speed", "max", "--records", "25", "--seed", "9",
                  "--record", file, "--exit-when-done"});
    const std::string port = After(timing.ReadLine(), "tcp: 127.0.0.1:");
    Fd client(ConnectLocal(std::stoi(port)));
    first = ReadFd(client.get(), [](const std::string&) { return false; });  // until it closes
    EXPECT_EQ(timing.Wait(kPatience), 0);
  }
  EXPECT_EQ(first, Joined(Generated(9, true, false), 25));

  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::optional<std::vector<FeedChunk>> recorded = ParseRecording(text.str());
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->size(), 25u);

  Child replay(
      {TIMINGSIM_PATH, "--tcp", "0", "--replay", file, "--speed", "max", "--exit-when-done"});
  const std::string port = After(replay.ReadLine(), "tcp: 127.0.0.1:");
  ASSERT_FALSE(port.empty());
  Fd client(ConnectLocal(std::stoi(port)));
  EXPECT_EQ(ReadFd(client.get(), [](const std::string&) { return false; }), first);
  EXPECT_EQ(replay.Wait(kPatience), 0);
  std::remove(file.c_str());
}

TEST(TimingSimEndToEndTest, CaptureOfATcpFeed) {
  const std::string file = TempPath("capture.rec");
  Child source({TIMINGSIM_PATH, "--tcp", "0", "--speed", "max", "--records", "10", "--seed", "3",
                "--exit-when-done"});
  const std::string port = After(source.ReadLine(), "tcp: 127.0.0.1:");
  ASSERT_FALSE(port.empty());
  Child capture({TIMINGSIM_PATH, "--capture-tcp", "127.0.0.1:" + port, "--record", file});
  // The source ends its day and closes; the capture ends with it.
  EXPECT_EQ(source.Wait(kPatience), 0);
  EXPECT_EQ(capture.Wait(kPatience), 0);

  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::optional<std::vector<FeedChunk>> captured = ParseRecording(text.str());
  ASSERT_TRUE(captured);
  std::string bytes;
  for (const FeedChunk& c : *captured) {
    EXPECT_EQ(c.stream, FeedStream::kCommand);
    bytes += c.bytes;
  }
  EXPECT_EQ(bytes, Joined(Generated(3, true, false), 10));
  std::remove(file.c_str());
}

}  // namespace
}  // namespace torvane::sim
