#include "Station.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <memory>
#include <string>
#include <thread>

#include "ClassSelection.h"
#include "FakeSerialLine.h"
#include "ImageDecoder.h"
#include "LinkSettingsStore.h"
#include "LoopbackServer.h"
#include "PtyPair.h"
#include "SettingsKeys.h"
#include "WireletTypeLib.h"

namespace torvane {
namespace {

void SetLink(SettingsStore& settings, std::string_view key, int port, int bps) {
  const char* values[] = {"0", "0", "0", "4", "0", "0", "None", "None"};
  const std::string portText = std::to_string(port);
  const std::string bpsText = std::to_string(bps);
  values[0] = portText.c_str();
  values[1] = bpsText.c_str();
  for (int i = 0; i < 8; ++i) settings.WriteSetting(key, std::to_string(i), values[i], kRegSz);
}

// The transmitter on COM3 (57600 baud) and the timing system on COM4 (9600),
// each mapped to the slave of a test's pty.
void WireTransmitter(SettingsStore& settings, const PtyPair& pty) {
  settings.WriteSetting(kPortsKey, "COM3", pty.slaveName(), kRegSz);
  SetLink(settings, kTransmitterKey, 3, 8);
}
void WireTimingSystem(SettingsStore& settings, const PtyPair& pty) {
  settings.WriteSetting(kPortsKey, "COM4", pty.slaveName(), kRegSz);
  SetLink(settings, kTimingSystemKey, 4, 5);
}

// Plays the transmitter on a pty: reads 14-byte packets, checks them, answers.
class TestTransmitter {
 public:
  explicit TestTransmitter(PtyPair& pty) : pty_(pty) {}

  // The next packet's address, or -1 when none came or it was malformed.
  int NextPacket() {
    const std::string p = pty_.Read(14);
    if (p.size() != 14) return -1;
    const auto* b = reinterpret_cast<const uint8_t*>(p.data());
    unsigned sum = 0;
    for (int i = 1; i <= 12; ++i) sum += b[i];
    if (b[0] != 27 || b[1] != 250 || b[13] != static_cast<uint8_t>(~sum)) return -1;
    const int address = b[3] * 256 + b[4];
    for (int i = 0; i < 8 && address + i < kMapImageSize; ++i) image[address + i] = b[5 + i];
    return address;
  }
  void Answer(uint8_t reply) { pty_.Write(std::string(1, static_cast<char>(reply))); }

  MapImageBytes image{};

 private:
  PtyPair& pty_;
};

// Registers the built control in the station's own classes hive.
void RegisterWirelet(SettingsStore& settings) {
  const std::string clsid = kClsidWirelet.ToString();
  settings.WriteSetting("Wirekit.Wirelet\\CLSID", "", clsid, kRegSz, Hive::kClassesRoot);
  settings.WriteSetting("CLSID\\" + clsid + "\\InprocServer32", "", TORVANE_WIRELET_MODULE, kRegSz,
                        Hive::kClassesRoot);
}

void SetTcpLink(SettingsStore& settings, std::string_view key, uint16_t port) {
  SetLink(settings, key, 25, 5);
  settings.WriteSetting(key, "6", " 127.0.0.1 ", kRegSz);
  settings.WriteSetting(key, "7", std::to_string(port), kRegSz);
}

class StationTest : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  ScriptedPrompter prompter_;
};

TEST_F(StationTest, FirstStartWithoutPortsTellsTheOperatorAndRuns) {
  SettingsStore settings;
  {
    Station station(settings, prompter_, {int16_t{0}});
    station.Start();
    ASSERT_EQ(prompter_.Texts().size(), 1U);
    EXPECT_EQ(prompter_.Texts()[0],
              "Please go to Settings->Transmitter\nand select a port that Torvane "
              "Transmitter\nis connected to.");
    EXPECT_EQ(prompter_.Shown()[0].title, "Torvane TX - Communications");
    EXPECT_FALSE(station.TransmitterOpen());
    EXPECT_TRUE(station.TimerRunning());
    EXPECT_TRUE(station.LoadError().empty());
    EXPECT_EQ(station.globals().TickerAddress, 920);
    EXPECT_EQ(station.globals().MapEnd, 923);
    // Three ticks of silence, then the closed line still rebuilds and sends nothing.
    for (int i = 0; i < 4; ++i) station.OnTimerTick();
    EXPECT_EQ(station.cycle().Counters().packetsSent, 0U);
  }
  // Shut down: links, ticker terminator and Delay Everything are stored.
  for (std::string_view key : {kTransmitterKey, kTimingSystemKey}) {
    EXPECT_EQ(settings.ReadSetting(key, "0"), "0");
    EXPECT_EQ(settings.ReadSetting(key, "6"), "None");
  }
  EXPECT_EQ(settings.ReadSetting(kMainKey, kDelayEverything), "1");
  EXPECT_EQ(settings.ReadSetting("SOFTWARE\\TorvaneTX\\PageSettings\\", "MaxPages"), "2");
}

TEST_F(StationTest, UnreachableTimingSystemIsReportedAndStartUpGoesOn) {
  SettingsStore settings;
  SetLink(settings, kTimingSystemKey, 25, 5);
  settings.WriteSetting(kTimingSystemKey, "6", "127.0.0.1", kRegSz);
  settings.WriteSetting(kTimingSystemKey, "7", "not-a-port", kRegSz);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  const auto texts = prompter_.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Unable to connect to timing system!"),
            texts.end());
  EXPECT_EQ(station.globals().MapEnd, 923);
}

TEST_F(StationTest, ResultsReachTheTransmitterAheadOfTheCyclicPass) {
  PtyPair transmitterPty;
  PtyPair timingPty;
  ASSERT_TRUE(transmitterPty.ok() && timingPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  WireTimingSystem(settings, timingPty);
  settings.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);

  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  ASSERT_TRUE(station.TransmitterOpen());
  transmitterPty.CloseSlaveCopy();
  timingPty.CloseSlaveCopy();
  EXPECT_TRUE(prompter_.Texts().empty());

  // A silent transmitter gets its first block on the fourth tick.
  TestTransmitter transmitter(transmitterPty);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();
  EXPECT_EQ(transmitter.NextPacket(), 0);

  // Stop-and-wait through one full pass: every block is answered, the copy
  // matches the station's image up to MapEnd.
  int address = 0;
  const int mapEnd = station.globals().MapEnd;
  for (int sent = 1; address <= mapEnd - 8; ++sent) {
    transmitter.Answer(sent % 2 == 0 ? 27 : 6);
    address = transmitter.NextPacket();
    ASSERT_EQ(address, sent * 8);
  }
  for (int a = 0; a <= mapEnd; ++a) {
    ASSERT_EQ(transmitter.image[a], station.globals().MapImage[a]) << "address " << a;
  }
  EXPECT_TRUE(DecodeImage(transmitter.image).badChecksums.empty());
  // The station's copy of what was accepted is the transmitter's, short of the
  // block still waiting for its reply.
  const MapImageBytes& accepted = station.cycle().Acknowledged().Bytes();
  for (int a = 0; a < address; ++a) {
    ASSERT_EQ(accepted[static_cast<size_t>(a)], transmitter.image[a]) << "address " << a;
  }

  // A pair announced by the timing system: page 1's rows jump the queue.
  ASSERT_TRUE(timingPty.Write("SS/AA E1\rb1A\rc1101\rn11 SMITH\rb2B\rc2202\rn22 JONES\r"));
  ASSERT_TRUE(PumpUntil([&] { return station.globals().NamesWindow.Pending(); }));
  const int page1 = station.globals().Pages[1].Address;
  transmitter.Answer(6);
  const int next = transmitter.NextPacket();
  EXPECT_GE(next, page1);
  EXPECT_LT(next, page1 + 408);
  station.OnTimerTick();
  EXPECT_TRUE(station.Lamps().timingSystem);
  EXPECT_TRUE(station.Lamps().ack);
}

TEST_F(StationTest, PublishedSnapshotsFollowWhatTheTransmitterAcknowledged) {
  PtyPair transmitterPty;
  ASSERT_TRUE(transmitterPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  ASSERT_TRUE(station.TransmitterOpen());
  transmitterPty.CloseSlaveCopy();
  const std::shared_ptr<StationSnapshots> snapshots = station.Snapshots();
  const std::shared_ptr<const CardSnapshot> before = snapshots->Cards();
  EXPECT_EQ(before->sequence, 0U);

  TestTransmitter transmitter(transmitterPty);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();
  ASSERT_EQ(transmitter.NextPacket(), 0);
  const int mapEnd = station.globals().MapEnd;
  // Two full passes, noting the packets sent when each one ends.
  std::vector<uint64_t> packetsAtPass;
  uint64_t passes = station.cycle().Counters().fullPasses;
  while (packetsAtPass.size() < 2) {
    transmitter.Answer(6);
    ASSERT_GE(transmitter.NextPacket(), 0);
    const CycleCounters& c = station.cycle().Counters();
    if (c.fullPasses != passes) {
      passes = c.fullPasses;
      packetsAtPass.push_back(c.packetsSent);
    }
    if (packetsAtPass.empty()) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  ASSERT_GT(mapEnd, 0);

  // A copy a reader holds never changes under it.
  EXPECT_EQ(before->sequence, 0U);
  EXPECT_TRUE(
      std::all_of(before->image.begin(), before->image.end(), [](uint8_t b) { return b == 0; }));

  station.OnTimerTick();
  const std::shared_ptr<const CardSnapshot> cards = snapshots->Cards();
  const AcknowledgedImage& acknowledged = station.cycle().Acknowledged();
  EXPECT_EQ(cards->sequence, acknowledged.Changes());
  EXPECT_GT(cards->sequence, 0U);
  EXPECT_TRUE(cards->image == acknowledged.Bytes());
  EXPECT_TRUE(DecodeImage(cards->image).Valid());

  const std::shared_ptr<const HealthSnapshot> health = snapshots->Health();
  const CycleCounters& c = station.cycle().Counters();
  EXPECT_EQ(health->counters.acks, c.acks);
  EXPECT_EQ(health->counters.fullPasses, c.fullPasses);
  EXPECT_TRUE(health->lamps.ack);
  EXPECT_EQ(health->transmitter.kind, "serial");
  EXPECT_TRUE(health->transmitter.open);
  EXPECT_EQ(health->transmitter.state, "open");
  EXPECT_EQ(health->timing.kind, "");
  EXPECT_FALSE(health->lastFullPassAt.empty());
  EXPECT_GT(health->lastFullPassMs, 0);
  // The second pass took packetsAtPass[1] - [0] exchanges of 15 bytes at 57600 baud.
  const double wireMs = static_cast<double>(packetsAtPass[1] - packetsAtPass[0]) * 150000.0 / 57600;
  EXPECT_DOUBLE_EQ(health->lastFullPassWireMs, wireMs);
  EXPECT_NE(health->statusLine.find("lamps hold="), std::string::npos);
}

TEST_F(StationTest, ChangedCardsArePublishedWhileTheTransmitterAnswersWithoutATick) {
  PtyPair transmitterPty;
  ASSERT_TRUE(transmitterPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  transmitterPty.CloseSlaveCopy();
  TestTransmitter transmitter(transmitterPty);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();
  ASSERT_EQ(transmitter.NextPacket(), 0);
  const std::shared_ptr<StationSnapshots> snapshots = station.Snapshots();
  // Replies alone publish, no more often than every kCardsEveryMs: the first
  // changing reply publishes at once, the next ones wait out the interval.
  transmitter.Answer(6);
  ASSERT_GE(transmitter.NextPacket(), 0);
  ASSERT_TRUE(PumpUntil([&] { return station.cycle().Acknowledged().Revision() == 1; }));
  const uint64_t first = snapshots->Cards()->sequence;
  EXPECT_EQ(first, station.cycle().Acknowledged().Changes());
  std::this_thread::sleep_for(std::chrono::milliseconds(StationCore::kCardsEveryMs + 20));
  for (int i = 0; i < 40; ++i) {
    transmitter.Answer(6);
    ASSERT_GE(transmitter.NextPacket(), 0);
  }
  ASSERT_TRUE(PumpUntil([&] { return station.cycle().Acknowledged().Revision() == 41; }));
  EXPECT_GT(snapshots->Cards()->sequence, first);
  EXPECT_LT(snapshots->Cards()->sequence, station.cycle().Acknowledged().Changes())
      << "every reply published";
}

TEST_F(StationTest, PageHoldKeepsPageOneBackUntilTheCountdownRunsOut) {
  PtyPair transmitterPty;
  PtyPair timingPty;
  ASSERT_TRUE(transmitterPty.ok() && timingPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  WireTimingSystem(settings, timingPty);
  settings.WriteSetting(kMainKey, "PageDelay", "2", kRegSz);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  transmitterPty.CloseSlaveCopy();
  timingPty.CloseSlaveCopy();
  ASSERT_EQ(station.globals().PageDelay, 2);
  TestTransmitter transmitter(transmitterPty);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();
  ASSERT_EQ(transmitter.NextPacket(), 0);

  ASSERT_TRUE(
      timingPty.Write("SS/AA E1\rb1A\rc1101\rn11 SMITH\rb2B\rc2202\rn22 JONES\r"
                      "w-LEFT\rfl.0123\r"));
  ASSERT_TRUE(PumpUntil([&] { return station.globals().HoldCountdown > 0; }));
  const int page1 = station.globals().Pages[1].Address;
  const int page1End = page1 + 408;
  auto inPage1 = [&](int a) { return a >= page1 && a < page1End; };

  // While the hold runs: two seconds of replies, nothing of page 1.
  for (int tick = 0; tick < 2; ++tick) {
    for (int i = 0; i < 30; ++i) {
      transmitter.Answer(6);
      const int a = transmitter.NextPacket();
      ASSERT_GE(a, 0);
      EXPECT_FALSE(inPage1(a)) << "tick " << tick << " packet " << i << " at " << a;
    }
    station.OnTimerTick();
    EXPECT_TRUE(station.Lamps().pageHold);
  }
  EXPECT_LE(station.globals().HoldCountdown, 0);
  // Then page 1's rows go first.
  transmitter.Answer(6);
  EXPECT_TRUE(inPage1(transmitter.NextPacket()));
  station.OnTimerTick();
  EXPECT_FALSE(station.Lamps().pageHold);
}

TEST_F(StationTest, NakStormNeitherStallsNorCrashes) {
  PtyPair transmitterPty;
  ASSERT_TRUE(transmitterPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  transmitterPty.CloseSlaveCopy();
  TestTransmitter transmitter(transmitterPty);
  for (int i = 0; i < 4; ++i) station.OnTimerTick();
  ASSERT_EQ(transmitter.NextPacket(), 0);
  // Two NAKs re-send one block; the cycle goes on after an ACK.
  for (int round = 0; round < 50; ++round) {
    transmitter.Answer(21);
    transmitter.Answer(21);
    ASSERT_GE(transmitter.NextPacket(), 0);
  }
  transmitter.Answer(6);
  EXPECT_GE(transmitter.NextPacket(), 0);
  EXPECT_EQ(station.cycle().Counters().naks, 100U);
}

// A pty has no low-latency mode: the station asks (unless the setting says
// not to), says so, and sends on the line as it is.
TEST_F(StationTest, TransmitterLineTellsWhetherItRunsInLowLatency) {
  struct Case {
    const char* setting;  // nullptr: no value stored
    const char* shown;
  };
  const Case cases[] = {{nullptr, "transmitter line: no low-latency mode, used as it is"},
                        {"1", "transmitter line: no low-latency mode, used as it is"},
                        {"0", "transmitter line: low latency off (setting)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting == nullptr ? "none" : c.setting);
    PtyPair transmitterPty;
    ASSERT_TRUE(transmitterPty.ok());
    SettingsStore settings;
    WireTransmitter(settings, transmitterPty);
    if (c.setting != nullptr)
      settings.WriteSetting(kTransmitterKey, kLowLatency, c.setting, kRegSz);
    Station station(settings, prompter_, {int16_t{0}});
    station.Start();
    transmitterPty.CloseSlaveCopy();
    EXPECT_NE(station.StatusLine().find(c.shown), std::string::npos) << station.StatusLine();
    TestTransmitter transmitter(transmitterPty);
    for (int i = 0; i < 4; ++i) station.OnTimerTick();
    EXPECT_EQ(transmitter.NextPacket(), 0);
  }
}

// Serial lines with a scripted driver, on a timer that never ticks by itself.
class FakeLineSystem : public StationSystem {
 public:
  std::unique_ptr<SerialLine> MakeSerialLine(std::function<std::string(int16_t)>) override {
    auto line = std::make_unique<FakeSerialLine>();
    if (driver) driver(*line);
    lines.push_back(line.get());
    return line;
  }
  void StartTimer(int, std::function<void()>) override { running = true; }
  void StopTimer() override { running = false; }
  bool TimerRunning() const override { return running; }

  std::function<void(FakeSerialLine&)> driver;
  std::vector<FakeSerialLine*> lines;
  bool running = false;
};

// What each answer of the driver puts on the status line.
TEST_F(StationTest, StatusLineSaysWhatTheDriverDidWithLowLatency) {
  struct Case {
    const char* name;
    bool offers;
    bool refuses;
    const char* setting;  // nullptr: no value stored
    bool asked;           // what the line was asked for
    const char* shown;
  };
  const Case cases[] = {
      {"turned on", true, false, nullptr, true, "transmitter line: low latency |"},
      {"turned off", true, false, "0", false, "transmitter line: low latency off (setting)"},
      {"refused", true, true, "1", true,
       "transmitter line: latency timer 16 ms (changing it needs administrator rights)"},
      {"off needs no rights", true, true, "0", false,
       "transmitter line: low latency off (setting)"},
      {"no such mode", false, false, nullptr, true,
       "transmitter line: no low-latency mode, used as it is"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsStore settings;
    SetLink(settings, kTransmitterKey, 3, 8);
    if (c.setting != nullptr)
      settings.WriteSetting(kTransmitterKey, kLowLatency, c.setting, kRegSz);
    FakeLineSystem system;
    system.driver = [&c](FakeSerialLine& line) {
      line.offersLowLatency = c.offers;
      line.refusesLowLatency = c.refuses;
      line.latencyTimerMs = c.offers ? 16 : 0;
    };
    StationOptions options;
    options.dayOfYear = 0;
    options.timerTicks = false;
    StationCore station(settings, prompter_, system, options);
    station.Start();
    const std::string status = station.StatusLine() + " |";
    EXPECT_NE(status.find(c.shown), std::string::npos) << status;
    std::vector<bool> asked;
    for (FakeSerialLine* line : system.lines) {
      if (line->PortOpen()) asked = line->lowLatencyAsked;
    }
    EXPECT_EQ(asked, std::vector<bool>{c.asked});
  }
}

TEST_F(StationTest, TransmitterAnsweringWithoutReadingCannotGrowTheQueue) {
  PtyPair transmitterPty;
  ASSERT_TRUE(transmitterPty.ok());
  SettingsStore settings;
  WireTransmitter(settings, transmitterPty);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  transmitterPty.CloseSlaveCopy();
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence

  // A babbling device: ACKs by the thousand, nothing read. Each draws a packet.
  constexpr uint64_t kAcks = 40 * 256;
  for (uint64_t sent = 256; sent <= kAcks; sent += 256) {
    ASSERT_TRUE(transmitterPty.Write(std::string(256, '\x06')));
    ASSERT_TRUE(PumpUntil([&] { return station.cycle().Counters().acks >= sent; })) << sent;
  }
  const uint64_t packets = station.cycle().Counters().packetsSent;
  EXPECT_EQ(packets, kAcks + 1);
  EXPECT_GT(station.TransmitterBytesNotSent(), 0U);
  EXPECT_EQ(station.TransmitterBytesNotSent() % 14, 0U) << "a packet was cut";
  EXPECT_NE(station.StatusLine().find("not sent, line behind: " +
                                      std::to_string(station.TransmitterBytesNotSent())),
            std::string::npos)
      << station.StatusLine();

  // What did go out is whole packets, and the line still works.
  TestTransmitter transmitter(transmitterPty);
  uint64_t delivered = 0;
  while (transmitter.NextPacket() >= 0) ++delivered;
  EXPECT_EQ(delivered + station.TransmitterBytesNotSent() / 14, packets);
  EXPECT_TRUE(station.TransmitterOpen());
  transmitter.Answer(6);
  EXPECT_GE(transmitter.NextPacket(), 0);
}

TEST_F(StationTest, TransmitterLineClosedUnderTheStationIsReported) {
  auto pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(pty->ok());
  SettingsStore settings;
  WireTransmitter(settings, *pty);
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  pty.reset();
  ASSERT_TRUE(PumpUntil([&] { return !prompter_.Texts().empty(); }));
  EXPECT_FALSE(station.TransmitterOpen());
  for (int i = 0; i < 8; ++i) station.OnTimerTick();
  EXPECT_EQ(station.cycle().Counters().packetsSent, 0U);
}

// A USB adapter unplugged and plugged in again: its device path (a symlink
// here, as /dev/serial/by-id keeps one) goes away with the device and comes
// back pointing at a new one.
class PluggedDevice {
 public:
  explicit PluggedDevice(const QTemporaryDir& dir)
      : path_(dir.filePath("ttyUSB-test").toStdString()) {}
  const std::string& path() const { return path_; }
  PtyPair& pty() { return *pty_; }
  bool Plug() {
    pty_ = std::make_unique<PtyPair>();
    return pty_->ok() &&
           QFile::link(QString::fromStdString(pty_->slaveName()), QString::fromStdString(path_));
  }
  // The far end closes (the adapter's line hangs up) and the path goes.
  void Unplug() {
    QFile::remove(QString::fromStdString(path_));
    pty_.reset();
  }

 private:
  std::string path_;
  std::unique_ptr<PtyPair> pty_;
};

struct LostLineCase {
  const char* name;
  bool transmitter;       // else the timing line
  const char* reconnect;  // the link's Reconnect value; nullptr: none stored
  bool comesBack;
};

class LostLineTest : public ::testing::TestWithParam<LostLineCase> {
 protected:
  QTemporaryDir dir_;
  ScriptedPrompter prompter_;
};

TEST_P(LostLineTest, DeviceThatComesBackIsOpenedAgainWhenTheLinkWantsIt) {
  const LostLineCase& c = GetParam();
  PluggedDevice device(dir_);
  ASSERT_TRUE(device.Plug());
  SettingsStore settings;
  std::string_view key = c.transmitter ? kTransmitterKey : kTimingSystemKey;
  settings.WriteSetting(kPortsKey, "COM3", device.path(), kRegSz);
  SetLink(settings, key, 3, c.transmitter ? 8 : 5);
  if (c.reconnect != nullptr) settings.WriteSetting(key, kReconnect, c.reconnect, kRegSz);
  settings.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  StationOptions options{int16_t{0}};
  options.timerTicks = false;
  Station station(settings, prompter_, options);
  station.Start();
  // The timing cases start with the note on the missing transmitter.
  const size_t atStart = prompter_.Texts().size();
  auto shownSinceStart = [&] { return prompter_.Texts().size() - atStart; };
  device.pty().CloseSlaveCopy();
  auto lineState = [&] {
    return c.transmitter ? station.TransmitterLineState() : station.TimingLineState();
  };

  TestTransmitter before(device.pty());
  if (c.transmitter) {
    ASSERT_TRUE(station.TransmitterOpen());
    for (int i = 0; i < 4; ++i) station.OnTimerTick();
    ASSERT_EQ(before.NextPacket(), 0);
    before.Answer(6);
    ASSERT_EQ(before.NextPacket(), 8);  // in flight when the line goes
  } else {
    // Whole records, then one cut by the loss.
    ASSERT_TRUE(device.pty().Write(
        "SS/AA E1\rb1A\rc1101\rn11 SMITH\rb2B\rc2202\rn22 JONES\rb1C\rc1303\rn13 WHI"));
    ASSERT_TRUE(PumpUntil([&] {
      return station.globals().Pages[1].Lines[1].find("JONES") != std::string::npos;
    })) << station.globals().Pages[1].Lines[1];
  }

  device.Unplug();
  ASSERT_TRUE(PumpUntil([&] { return shownSinceStart() > 0; }));
  EXPECT_EQ(prompter_.Shown().back().title, "Serial Port");
  EXPECT_EQ(prompter_.Texts().back().find(device.path() + " is back") != std::string::npos,
            c.comesBack)
      << prompter_.Texts().back();
  EXPECT_NE(lineState().find("lost at"), std::string::npos) << lineState();
  // Away for a while: looked for once a tick, reported only the once.
  for (int i = 0; i < 5; ++i) station.OnTimerTick();
  PumpUntil([] { return false; }, 50);
  EXPECT_EQ(shownSinceStart(), 1U) << prompter_.Texts().back();
  EXPECT_FALSE(c.transmitter && station.TransmitterOpen());

  ASSERT_TRUE(device.Plug());
  station.OnTimerTick();
  EXPECT_EQ(c.transmitter ? station.TransmitterReopens() : station.TimingReopens(),
            c.comesBack ? 1U : 0U);
  EXPECT_EQ(lineState().find("reopened 1 time") != std::string::npos, c.comesBack) << lineState();
  EXPECT_NE(station.StatusLine().find(c.transmitter ? "transmitter line " : "timing line "),
            std::string::npos);
  EXPECT_EQ(shownSinceStart(), 1U);
  device.pty().CloseSlaveCopy();

  if (c.transmitter) {
    EXPECT_EQ(station.TransmitterOpen(), c.comesBack);
    TestTransmitter after(device.pty());
    for (int i = 0; i < 4; ++i) station.OnTimerTick();
    if (!c.comesBack) {
      EXPECT_EQ(after.NextPacket(), -1);
      return;
    }
    // The recovery rule sends the next block: the one lost in flight is not
    // sent again ahead of it, and every reply draws exactly one packet.
    EXPECT_EQ(after.NextPacket(), 16);
    for (int expected = 24; expected <= 64; expected += 8) {
      after.Answer(6);
      ASSERT_EQ(after.NextPacket(), expected);
    }
    EXPECT_EQ(device.pty().ReadRaw(14, 100), "");
  } else {
    // The rest of the cut record never comes; the new device's first record
    // must not be glued to it.
    ASSERT_TRUE(device.pty().Write("n14 GREEN\rb2D\rc2404\rn24 BROWN\r"));
    const auto& lines = station.globals().Pages[1].Lines;
    PumpUntil([&] { return lines[1].find("BROWN") != std::string::npos; },
              c.comesBack ? 2000 : 200);
    EXPECT_EQ(lines[1].find("BROWN") != std::string::npos, c.comesBack) << lines[1];
    if (c.comesBack) {
      EXPECT_NE(lines[0].find("GREEN"), std::string::npos) << lines[0];
      EXPECT_EQ(lines[0].find("WHI"), std::string::npos) << lines[0];
    } else {
      EXPECT_NE(lines[1].find("JONES"), std::string::npos) << lines[1];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Station, LostLineTest,
                         ::testing::Values(LostLineCase{"TransmitterByDefault", true, nullptr,
                                                        true},
                                           LostLineCase{"TransmitterTurnedOff", true, "0", false},
                                           LostLineCase{"TimingByDefault", false, nullptr, false},
                                           LostLineCase{"TimingTurnedOn", false, "1", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StationTest, CommandStreamOverTcpLaysOutPageOne) {
  const std::string records =
      "junk~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r~GRIB\r~GR#202\r~GRLJONES\r";
  testing::LoopbackServer timing([&](testing::Peer& peer) {
    peer.Send(records.substr(0, 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Send(records.substr(20));
    peer.ReceiveAll(3000);
  });
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTimingSystemKey, timing.Port());
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  EXPECT_TRUE(station.globals().TimingTcpActive);
  ASSERT_TRUE(PumpUntil(
      [&] { return station.globals().Pages[1].Lines[1].rfind("R[B:202]JONES", 0) == 0; }, 5000))
      << station.globals().Pages[1].Lines[1];
  EXPECT_EQ(station.globals().Pages[1].Lines[0].substr(0, 13), "L[A:101]SMITH");
  station.OnTimerTick();
  EXPECT_TRUE(station.Lamps().timingSystem);
  station.Shutdown();
  // The host is stored without its blanks.
  EXPECT_EQ(settings.ReadSetting(kTimingSystemKey, "6"), "127.0.0.1");
}

TEST_F(StationTest, RefusedTimingConnectionIsShownAsANetworkError) {
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTimingSystemKey, testing::UnusedLoopbackPort());
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  ASSERT_TRUE(
      PumpUntil([&] { return prompter_.Shown().back().title == "Network Connection"; }, 5000));
  EXPECT_EQ(prompter_.Texts().back().rfind("Error 10061: ", 0), 0U) << prompter_.Texts().back();
}

// Under a UTF-8 locale, so the control's default code page would be UTF-8: the
// packets' bytes from 0x80 must still go out as they are.
TEST_F(StationTest, TransmitterOverTcpKeepsItsOwnLinkBesideTheTimingLink) {
  const std::string savedLocale = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  struct Restore {
    std::string locale;
    ~Restore() { std::setlocale(LC_CTYPE, locale.c_str()); }
  } restore{savedLocale};
  std::atomic<int> packets{0};
  MapImageBytes copy{};
  testing::LoopbackServer transmitter([&](testing::Peer& peer) {
    for (;;) {
      const std::string p = peer.ReceiveExactly(14, 3000);
      if (p.size() != 14) return;
      const auto* b = reinterpret_cast<const uint8_t*>(p.data());
      const int address = b[3] * 256 + b[4];
      if (address + 8 > static_cast<int>(copy.size())) return;  // a packet out of step
      for (int i = 0; i < 8; ++i) copy[address + i] = b[5 + i];
      ++packets;
      peer.Send("\x06");
    }
  });
  testing::LoopbackServer timing([&](testing::Peer& peer) {
    peer.Send("~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r~GRIB\r~GR#202\r~GRLJONES\r");
    peer.ReceiveAll(3000);
  });
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTransmitterKey, transmitter.Port());
  SetTcpLink(settings, kTimingSystemKey, timing.Port());
  Station station(settings, prompter_, {int16_t{0}});
  station.Start();
  ASSERT_TRUE(PumpUntil([&] { return station.TransmitterOpen(); }, 5000));
  for (int i = 0; i < 4; ++i) station.OnTimerTick();  // the first block after silence
  const int wanted = station.globals().MapEnd / 8 + 1;
  ASSERT_TRUE(PumpUntil([&] { return packets.load() >= wanted; }, 5000)) << packets.load();
  ASSERT_TRUE(PumpUntil(
      [&] { return station.globals().Pages[1].Lines[0].rfind("L[A:101]SMITH", 0) == 0; }, 5000));
  EXPECT_TRUE(prompter_.Texts().empty());
  station.Shutdown();
}

struct TimingReconnectCase {
  const char* name;
  const char* reconnect;  // the timing system's Reconnect value; nullptr: none stored
  bool comesBack;
  bool reset;  // the server resets the connection instead of closing it
};

class TimingReconnectTest : public ::testing::TestWithParam<TimingReconnectCase> {
 protected:
  ScriptedPrompter prompter_;
};

// The timing system's server closes the connection and goes away for a
// while, then listens again on the same port.
TEST_P(TimingReconnectTest, ServerThatGoesAwayAndComesBack) {
  const TimingReconnectCase& c = GetParam();
  const uint16_t port = testing::UnusedLoopbackPort();
  std::string firstGot;
  auto first = std::make_unique<testing::LoopbackServer>(
      [&](testing::Peer& peer) {
        // Whole records, and one the drop cuts short.
        peer.Send(
            "~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r~GRIB\r~GR#202\r~GRLJONES\r~GLLWHI");
        firstGot = peer.ReceiveUntil("~AC\r", 5000);
        if (c.reset) {
          peer.Reset();
        } else {
          peer.Close();
        }
      },
      1, port);
  ASSERT_EQ(first->Port(), port);
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTimingSystemKey, port);
  if (c.reconnect != nullptr)
    settings.WriteSetting(kTimingSystemKey, kReconnect, c.reconnect, kRegSz);
  StationOptions options{int16_t{0}};
  options.timerTicks = false;
  Station station(settings, prompter_, options);
  station.Start();
  const size_t atStart = prompter_.Texts().size();  // the note on the missing transmitter
  const auto& lines = station.globals().Pages[1].Lines;
  auto state = [&] { return station.TimingLinkState(); };
  auto startsWith = [](const std::string& text, const std::string& head) {
    return text.rfind(head, 0) == 0;
  };

  ASSERT_TRUE(PumpUntil([&] { return lines[1].find("JONES") != std::string::npos; }, 5000));
  EXPECT_EQ(state(), "connected");
  station.SendToTimingSystem("~AC\r");  // the page editor's class list request
  ASSERT_TRUE(PumpUntil([&] { return state() != "connected"; }, 5000));
  first.reset();  // gone: connects are refused now
  EXPECT_EQ(firstGot, "~AC\r");

  const std::string why = c.reset ? "(Error 10054: " : "(closed by the timing system)";
  if (!c.comesBack) {
    EXPECT_TRUE(startsWith(state(), "connection lost " + why)) << state();
    EXPECT_NE(station.StatusLine().find("timing link: connection lost"), std::string::npos);
  } else {
    ASSERT_TRUE(startsWith(state(), "reconnecting in 1 s " + why)) << state();
    // Tries while nobody listens, each refused, each wait twice the one
    // before, up to 30 s; none of them is put to the operator in a box.
    for (int wait : {1, 2, 4, 8, 16, 30, 30}) {
      SCOPED_TRACE(wait);
      ASSERT_TRUE(startsWith(state(), "reconnecting in " + std::to_string(wait) + " s")) << state();
      for (int i = 1; i < wait; ++i) station.OnTimerTick();
      ASSERT_TRUE(startsWith(state(), "reconnecting in 1 s")) << state();
      station.OnTimerTick();
      ASSERT_TRUE(PumpUntil([&] { return startsWith(state(), "reconnecting in "); }, 5000))
          << state();
      EXPECT_NE(state().find("Error 10061"), std::string::npos) << state();
    }
  }
  EXPECT_EQ(prompter_.Texts().size(), atStart) << prompter_.Texts().back();

  std::string secondGot = "<not connected>";
  testing::LoopbackServer second(
      [&](testing::Peer& peer) {
        peer.Send("~GLLGREEN\r~GRIC\r~GR#303\r~GRLBROWN\r");
        secondGot = peer.ReceiveAll(5000);
      },
      1, port);
  ASSERT_EQ(second.Port(), port);
  for (int i = 0; i < 30; ++i) station.OnTimerTick();
  PumpUntil([&] { return lines[1].find("BROWN") != std::string::npos; }, c.comesBack ? 5000 : 300);
  if (!c.comesBack) {
    EXPECT_EQ(second.Accepted(), 0);
    EXPECT_NE(lines[1].find("JONES"), std::string::npos) << lines[1];
    return;
  }
  EXPECT_EQ(state(), "connected, connected again 1 time");
  EXPECT_NE(station.StatusLine().find("timing link: connected, connected again 1 time"),
            std::string::npos);
  // What was framed before the drop stays; the cut record is not glued to
  // the next connection's first one.
  EXPECT_NE(lines[1].find("BROWN"), std::string::npos) << lines[1];
  EXPECT_NE(lines[0].find("GREEN"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].find("WHI"), std::string::npos) << lines[0];
  EXPECT_EQ(station.globals().Race.CurrentClass.substr(0, 5), "SS/AA");
  station.DisconnectTimingNetwork();
  second.Join();
  EXPECT_EQ(secondGot, "") << "the class list request was sent again";
  EXPECT_TRUE(startsWith(state(), "not connected")) << state();
}

INSTANTIATE_TEST_SUITE_P(
    Station, TimingReconnectTest,
    ::testing::Values(TimingReconnectCase{"OffByDefault", nullptr, false, false},
                      TimingReconnectCase{"TurnedOffAndReset", "0", false, true},
                      TimingReconnectCase{"TurnedOn", "1", true, false},
                      TimingReconnectCase{"TurnedOnAndReset", "1", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A timing system that is not up yet when the station starts: the first
// refusal is shown as today, the tries after it are not.
TEST_F(StationTest, TimingSystemNotUpAtTheStartIsReachedOnceItIs) {
  const uint16_t port = testing::UnusedLoopbackPort();
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTimingSystemKey, port);
  settings.WriteSetting(kTimingSystemKey, kReconnect, "1", kRegSz);
  StationOptions options{int16_t{0}};
  options.timerTicks = false;
  Station station(settings, prompter_, options);
  station.Start();
  ASSERT_TRUE(
      PumpUntil([&] { return prompter_.Shown().back().title == "Network Connection"; }, 5000));
  const size_t shown = prompter_.Texts().size();
  EXPECT_EQ(station.TimingLinkState().rfind("reconnecting in 1 s", 0), 0U)
      << station.TimingLinkState();
  station.OnTimerTick();
  ASSERT_TRUE(PumpUntil(
      [&] { return station.TimingLinkState().rfind("reconnecting in 2 s", 0) == 0; }, 5000));
  testing::LoopbackServer timing(
      [&](testing::Peer& peer) {
        peer.Send("~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r~GRIB\r~GR#202\r~GRLJONES\r");
        peer.ReceiveAll(5000);
      },
      1, port);
  station.OnTimerTick();
  station.OnTimerTick();
  ASSERT_TRUE(PumpUntil(
      [&] { return station.globals().Pages[1].Lines[1].find("JONES") != std::string::npos; },
      5000));
  EXPECT_EQ(station.TimingLinkState(), "connected, connected again 1 time");
  EXPECT_EQ(prompter_.Texts().size(), shown);
  station.DisconnectTimingNetwork();
}

// The operator's settings file at shutdown: one to write, and two the station
// must leave alone, made so that root cannot get past them either.
enum class UserFile {
  kWritable,
  kFolder,                   // cannot be read
  kUnparsableWithALongName,  // no room for the set-aside name within 255 bytes
};

class StationSavingTest : public ::testing::TestWithParam<UserFile> {
 protected:
  QString Path() const {
    return dir_.filePath(GetParam() == UserFile::kUnparsableWithALongName
                             ? QString(236, 'h') + ".reg"
                             : QString("HKEY_CURRENT_USER.reg"));
  }
  // What is at the path that a refused save must not change.
  QByteArray Contents() const {
    QFile file(GetParam() == UserFile::kFolder ? Path() + "/inside" : Path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
  }
  void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  QTemporaryDir dir_;
};

TEST_P(StationSavingTest, ShutdownTellsWhichEditsCannotBeSaved) {
  switch (GetParam()) {
    case UserFile::kWritable:
      break;
    case UserFile::kFolder:
      ASSERT_TRUE(QDir().mkpath(Path()));
      ASSERT_NO_FATAL_FAILURE(Write(Path() + "/inside", "keep me"));
      break;
    case UserFile::kUnparsableWithALongName:
      ASSERT_NO_FATAL_FAILURE(Write(Path(), "garbage\n"));
      break;
  }
  const QByteArray before = Contents();
  HiveFiles files;
  files.currentUser = Path().toStdString();
  ScriptedPrompter prompter;
  {
    SettingsStore settings(files);
    Station station(settings, prompter, {int16_t{0}});
    station.Start();
    station.editor().SelectVenue(7);
    const size_t shown = prompter.Shown().size();
    station.Shutdown();

    std::vector<std::string> texts;
    for (size_t i = shown; i < prompter.Shown().size(); ++i) {
      texts.push_back(prompter.Shown()[i].text);
      EXPECT_EQ(prompter.Shown()[i].title, "TorvaneTX");
    }
    const bool saves = GetParam() == UserFile::kWritable;
    const std::vector<std::string> unsaved = {
        "Unable to Save Maximum Page Size", "Unable to Save Page Data!", "Unable to Save VenueID!",
        "Unable to Save Page Delay!"};
    EXPECT_EQ(texts, saves ? std::vector<std::string>{} : unsaved);
    EXPECT_EQ(settings.HasUnsavedChanges(), !saves);
  }
  if (GetParam() == UserFile::kWritable) {
    HiveFiles readOnly = files;
    readOnly.readOnly = true;
    EXPECT_EQ(SettingsStore(readOnly).ReadSetting(kMainKey, kVenueId), "7");
  } else {
    EXPECT_EQ(Contents(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Station, StationSavingTest,
                         ::testing::Values(UserFile::kWritable, UserFile::kFolder,
                                           UserFile::kUnparsableWithALongName),
                         [](const auto& info) {
                           switch (info.param) {
                             case UserFile::kWritable:
                               return "Writable";
                             case UserFile::kFolder:
                               return "Folder";
                             case UserFile::kUnparsableWithALongName:
                               return "UnparsableWithALongName";
                           }
                           return "";
                         });

// A box the parser raised holds the receive loop (the operator is away) while
// the timing system goes on sending: the status line says how much text
// waits behind the box, and once it is closed every record is framed and
// none is dropped.
TEST_F(StationTest, TimingTextWaitingBehindAMessageBoxIsSaidAndKept) {
  // The class listing box: a class name that cannot be stored.
  const std::string raisesBox = "~ASa\r";
  std::string behind;
  while (behind.size() < 32 * 1024) behind += "~GLLSMITH\r~GRLBROWN\r";
  behind += "~GRLJONES\r";
  testing::LoopbackServer server([&](testing::Peer& peer) {
    peer.Send("~GC SS/AA\r~GE 1\r" + raisesBox + behind);
    peer.ReceiveAll(20000);
  });
  SettingsStore settings;
  RegisterWirelet(settings);
  SetTcpLink(settings, kTimingSystemKey, server.Port());

  class AwayFromTheBox : public Prompter {
   public:
    PromptAnswer Show(const Prompt& prompt) override {
      if (prompt.title == kClassListingTitle && onBox) onBox();
      return recorded.Show(prompt);
    }
    std::function<void()> onBox;
    ScriptedPrompter recorded;
  } prompter;
  Station station(settings, prompter, {int16_t{0}});
  size_t waitingBehindTheBox = 0;
  std::string statusBehindTheBox;
  prompter.onBox = [&] {
    // The box's own loop runs a while, as it does until the operator is back.
    PumpUntil([] { return false; }, 300);
    waitingBehindTheBox = station.TimingTextWaiting();
    statusBehindTheBox = station.StatusLine();
  };
  station.Start();
  const auto& lines = station.globals().Pages[1].Lines;
  ASSERT_TRUE(PumpUntil([&] { return lines[1].find("JONES") != std::string::npos; }, 10000))
      << lines[1];
  ASSERT_GT(waitingBehindTheBox, 0U) << statusBehindTheBox;
  EXPECT_NE(statusBehindTheBox.find(" | timing: " + std::to_string(waitingBehindTheBox) +
                                    " characters waiting behind a message box"),
            std::string::npos)
      << statusBehindTheBox;
  EXPECT_EQ(station.TimingBytesDropped(), 0U);
  EXPECT_EQ(station.TimingTextWaiting(), 0U);
  EXPECT_EQ(station.StatusLine().find("waiting behind"), std::string::npos) << station.StatusLine();
}

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
