#include "TransmissionCycle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane {
namespace {

class FakeLine : public TransmitterLine {
 public:
  bool IsOpen() const override { return open; }
  void Write(const BlockPacket& packet) override { packets.push_back(packet); }

  // Address of each packet written, in order.
  std::vector<int> Addresses() const {
    std::vector<int> addresses;
    for (const auto& p : packets) addresses.push_back(p[3] * 256 + p[4]);
    return addresses;
  }

  bool open = true;
  std::vector<BlockPacket> packets;
};

class FakeImage : public ImageMaintenance {
 public:
  void BuildIndexTable() override { calls += "I"; }
  void BuildImage() override { calls += "B"; }
  std::string calls;
};

class TransmissionCycleTest : public ::testing::Test {
 protected:
  TransmissionCycleTest() {
    // Pages 0, 1, 2 with S = 0, 12, 0: blocks at 272, 392 and 800, ticker at 920.
    g_.Pages.Edit(1).Links.assign(13, 0);
    g_.Pages.Edit(1).Lines.assign(13, std::string(20, ' '));
    g_.Pages.Edit(0).Address = 272;
    g_.Pages.Edit(1).Address = 392;
    g_.Pages.Edit(2).Address = 800;
    g_.TickerAddress = 920;
    g_.MapEnd = 923;
  }

  Globals g_;
  FakeLine line_;
  FakeImage image_;
  TransmissionCycle cycle_{g_, line_, image_};
};

TEST(BlockPacketTest, MatchesTheWireExample) {
  MapImageBytes image{};
  for (int i = 0; i < 8; ++i) image[272 + i] = static_cast<uint8_t>(i + 1);
  const BlockPacket expected = {0x1B, 0xFA, 0x00, 0x01, 0x10, 0x01, 0x02,
                                0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xD0};
  EXPECT_EQ(BuildBlockPacket(image, 272, 0), expected);
}

TEST(BlockPacketTest, ChecksumCoversVenueAndAddressButNotTheLeadIn) {
  MapImageBytes image{};
  image.fill(0xFF);
  for (int venue : {0, 1, 7, 255}) {
    for (int address : {0, 8, 256, 0x1234, 32760}) {
      const BlockPacket p =
          BuildBlockPacket(image, static_cast<int16_t>(address), static_cast<uint8_t>(venue));
      unsigned sum = 0;
      for (int i = 1; i <= 13; ++i) sum += p[i];
      EXPECT_EQ(sum % 256, 255U) << venue << " " << address;
      EXPECT_EQ(p[2], venue);
      EXPECT_EQ(p[3] * 256 + p[4], address);
    }
  }
}

TEST(BlockPacketTest, BytesPastTheImageAreSentAsZero) {
  MapImageBytes image{};
  image.fill(0xAB);
  const BlockPacket p = BuildBlockPacket(image, 32764, 0);  // 32764..32768 exist
  for (int i = 5; i < 10; ++i) EXPECT_EQ(p[i], 0xAB) << i;
  for (int i = 10; i < 13; ++i) EXPECT_EQ(p[i], 0) << i;
  const BlockPacket negative = BuildBlockPacket(image, -8, 0);
  for (int i = 5; i < 13; ++i) EXPECT_EQ(negative[i], 0) << i;
}

TEST_F(TransmissionCycleTest, SendBlockAdvancesTheCursorAndRemembersTheAddress) {
  g_.TxCursor = 40;
  cycle_.SendBlock(g_.TxCursor);
  EXPECT_EQ(g_.TxCursor, 48);
  EXPECT_EQ(cycle_.LastSentAddress(), 40);
  EXPECT_EQ(line_.Addresses(), std::vector<int>{40});
}

TEST_F(TransmissionCycleTest, ClosedLineSendsNothingAndKeepsTheBufferBar) {
  g_.TxCursor = 40;
  cycle_.SendBlock(g_.TxCursor);
  line_.open = false;
  cycle_.SelectNextBlock(kAck);
  for (int i = 0; i < 8; ++i) cycle_.Tick();
  EXPECT_EQ(line_.packets.size(), 1U);
  EXPECT_EQ(g_.TxCursor, 48);
  EXPECT_EQ(cycle_.LastSentAddress(), 40);
  EXPECT_EQ(cycle_.Tick().bufferPosition, 40);
  // The builders still run on the recovery ticks.
  EXPECT_EQ(image_.calls, "III");
}

TEST_F(TransmissionCycleTest, CyclicStepRebuildsTheRegionUnderTheCursor) {
  struct Case {
    int16_t cursor;
    const char* calls;
    int sentAddress;
  };
  const Case cases[] = {{0, "I", 0},     {264, "I", 264}, {272, "B", 272},
                        {920, "B", 920}, {923, "B", 923}, {928, "I", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cursor);
    image_.calls.clear();
    line_.packets.clear();
    g_.TxCursor = c.cursor;
    cycle_.CyclicStep();
    EXPECT_EQ(image_.calls, c.calls);
    EXPECT_EQ(line_.Addresses(), std::vector<int>{c.sentAddress});
  }
}

TEST_F(TransmissionCycleTest, AckAndEscWalkTheWholeImage) {
  int sent = 0;
  for (uint8_t reply : {kAck, kEsc}) {
    for (int i = 0; i < 200; ++i) cycle_.SelectNextBlock(reply);
    sent += 200;
  }
  // 0..920 is 116 blocks a pass; the cursor wraps past MapEnd 923.
  const auto addresses = line_.Addresses();
  ASSERT_EQ(addresses.size(), static_cast<size_t>(sent));
  for (size_t i = 0; i < addresses.size(); ++i) {
    ASSERT_EQ(addresses[i], static_cast<int>(i % 116) * 8) << i;
  }
  EXPECT_EQ(cycle_.Counters().acks, 200U);
  EXPECT_EQ(cycle_.Counters().escs, 200U);
  EXPECT_EQ(cycle_.Counters().fullPasses, 3U);
}

TEST_F(TransmissionCycleTest, EveryOtherNakRewindsOneBlock) {
  g_.TxCursor = 96;
  cycle_.SelectNextBlock(kNak);
  EXPECT_TRUE(line_.packets.empty());
  EXPECT_EQ(g_.TxCursor, 96);
  cycle_.SelectNextBlock(kNak);
  EXPECT_EQ(line_.Addresses(), std::vector<int>{88});
  EXPECT_EQ(g_.TxCursor, 96);
  EXPECT_EQ(image_.calls, "");  // a re-send does not rebuild
}

TEST_F(TransmissionCycleTest, EvenNakBelowEightResendsWithoutRewinding) {
  g_.TxCursor = 4;
  cycle_.SelectNextBlock(kNak);
  cycle_.SelectNextBlock(kNak);
  EXPECT_EQ(line_.Addresses(), std::vector<int>{4});
  EXPECT_EQ(g_.TxCursor, 12);
}

TEST_F(TransmissionCycleTest, NakCountWrapsAtFiftyThousand) {
  g_.TxCursor = 8;
  for (int i = 0; i < TransmissionCycle::kNakCountLimit - 1; ++i) cycle_.SelectNextBlock(kNak);
  EXPECT_EQ(cycle_.NakCount(), TransmissionCycle::kNakCountLimit - 1);
  cycle_.SelectNextBlock(kNak);
  EXPECT_EQ(cycle_.NakCount(), 0);
  EXPECT_EQ(line_.packets.size(), static_cast<size_t>(TransmissionCycle::kNakCountLimit / 2));
}

TEST_F(TransmissionCycleTest, OtherBytesOnlyRestartTheReplyWait) {
  cycle_.Tick();
  cycle_.Tick();
  EXPECT_EQ(cycle_.ReplyWaitMs(), 2000);
  for (uint8_t b : {0, 5, 7, 20, 22, 26, 28, 255}) cycle_.SelectNextBlock(b);
  EXPECT_EQ(cycle_.ReplyWaitMs(), 0);
  EXPECT_TRUE(line_.packets.empty());
  const CycleLamps lamps = cycle_.Tick();
  EXPECT_FALSE(lamps.ack);
  EXPECT_FALSE(lamps.nak);
}

// The receiver view's copy holds exactly the packets the transmitter accepted.
TEST_F(TransmissionCycleTest, AcknowledgedImageTakesOnlyAcceptedPackets) {
  for (int i = 0; i < 64; ++i) g_.MapImage[static_cast<size_t>(i)] = static_cast<uint8_t>(i + 1);
  struct Step {
    const char* what;
    std::vector<uint8_t> replies;  // after one cyclic block is sent from TxCursor 8
    bool accepted;                 // bytes 8..15 reach the copy
  };
  const Step steps[] = {
      {"ACK", {kAck}, true},
      {"ESC", {kEsc}, true},
      {"noise then ACK", {0x00, 0x41, kAck}, true},
      {"a lone NAK, then ACK", {kNak, kAck}, false},
      {"no reply", {}, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    TransmissionCycle cycle(g_, line_, image_);
    g_.TxCursor = 8;
    cycle.CyclicStep();
    for (uint8_t b : step.replies) cycle.SelectNextBlock(b);
    const MapImageBytes& copy = cycle.Acknowledged().Bytes();
    for (int at = 8; at < 16; ++at) {
      EXPECT_EQ(copy[static_cast<size_t>(at)], step.accepted ? at + 1 : 0) << at;
    }
    EXPECT_EQ(copy[16], 0) << "the next block is in flight, not yet accepted";
  }
}

TEST_F(TransmissionCycleTest, AcknowledgedImageKeepsWhatWasSentNotWhatChangedSince) {
  g_.MapImage[400] = 'A';
  g_.TxCursor = 400;
  cycle_.CyclicStep();
  g_.MapImage[400] = 'B';  // a result arrives while the packet is on the wire
  cycle_.SelectNextBlock(kAck);
  EXPECT_EQ(cycle_.Acknowledged().Bytes()[400], 'A');
  EXPECT_EQ(cycle_.Acknowledged().Revision(), 1U);
}

TEST(AcknowledgedImageTest, BytesBeyondTheImageAreDropped) {
  AcknowledgedImage copy;
  BlockPacket packet{};
  for (size_t i = 5; i < 13; ++i) packet[i] = 0x5A;
  packet[3] = 0x7F;  // 32765: the first four bytes land, the rest lie past 32768
  packet[4] = 0xFD;
  copy.Accept(packet);
  packet[3] = 0xFF;  // an address no image holds
  packet[4] = 0xF8;
  copy.Accept(packet);
  const MapImageBytes& bytes = copy.Bytes();
  EXPECT_EQ(bytes[32764], 0);
  for (size_t at = 32765; at < bytes.size(); ++at) EXPECT_EQ(bytes[at], 0x5A) << at;
  EXPECT_EQ(copy.Revision(), 2U);
}

struct ChangeCase {
  const char* name;
  int address;
  uint8_t fill;   // the packet's first seven data bytes
  uint8_t value;  // its last one
  bool changes;
};

class AcknowledgedChangesTest : public ::testing::TestWithParam<ChangeCase> {};

// The card view redraws on Changes(): it must move exactly when a byte does.
TEST_P(AcknowledgedChangesTest, CountsOnlyPacketsThatChangeAByte) {
  const ChangeCase& c = GetParam();
  AcknowledgedImage copy;
  BlockPacket first{};
  first[3] = 0x01;  // 400
  first[4] = 0x90;
  for (size_t i = 5; i < 13; ++i) first[i] = 'A';
  copy.Accept(first);
  ASSERT_EQ(copy.Changes(), 1U);
  BlockPacket next{};
  next[3] = static_cast<uint8_t>(c.address / 256);
  next[4] = static_cast<uint8_t>(c.address % 256);
  for (size_t i = 5; i < 12; ++i) next[i] = c.fill;
  next[12] = c.value;
  copy.Accept(next);
  EXPECT_EQ(copy.Revision(), 2U);
  EXPECT_EQ(copy.Changes(), c.changes ? 2U : 1U);
}

INSTANTIATE_TEST_SUITE_P(Cycle, AcknowledgedChangesTest,
                         ::testing::Values(ChangeCase{"SameBytesAgain", 400, 'A', 'A', false},
                                           ChangeCase{"LastByteDiffers", 400, 'A', 'B', true},
                                           ChangeCase{"ZerosOverZeros", 800, 0, 0, false},
                                           ChangeCase{"NewBytesElsewhere", 800, 'A', 'A', true},
                                           ChangeCase{"AllPastTheImage", 0xFFF8, 'B', 'B', false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransmissionCycleTest, WindowsGoFirstInTheirFixedOrder) {
  g_.PageWindow = {800, 808};
  g_.BodyWindow = {512, 520};
  g_.LineWindows[9] = {752, 760};
  g_.LineWindows[0] = {536, 544};
  g_.LineWindows[4] = {632, 640};
  g_.TxCursor = 16;
  for (int i = 0; i < 6; ++i) cycle_.SelectNextBlock(kAck);
  EXPECT_EQ(line_.Addresses(), (std::vector<int>{536, 632, 752, 512, 800, 16}));
  EXPECT_EQ(image_.calls, "I");
}

TEST_F(TransmissionCycleTest, WithoutHoldTitleThenNamesGoAheadOfAllElse) {
  g_.NamesWindow = {464, 512};
  g_.TitleWindow = {440, 464};
  g_.LineWindows[0] = {536, 544};
  for (int i = 0; i < 10; ++i) cycle_.SelectNextBlock(kAck);
  EXPECT_EQ(line_.Addresses(),
            (std::vector<int>{440, 448, 456, 464, 472, 480, 488, 496, 504, 536}));
}

TEST_F(TransmissionCycleTest, HoldDelaysPageOneAndSkipsItInTheCyclicPass) {
  g_.HoldCountdown = 3000;
  g_.NamesWindow = {464, 512};
  g_.TitleWindow = {440, 464};
  g_.PageWindow = {1000, 1008};  // another page's whole-page window still goes
  g_.TxCursor = 384;

  std::vector<bool> holdLamps;
  for (int tick = 0; tick < 3; ++tick) {
    cycle_.SelectNextBlock(kAck);
    cycle_.SelectNextBlock(kAck);
    holdLamps.push_back(cycle_.Tick().pageHold);
  }
  EXPECT_EQ(holdLamps, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(line_.Addresses(), (std::vector<int>{1000, 384, 800, 808, 816, 824}));
  EXPECT_EQ(g_.HoldCountdown, 0);
  EXPECT_FALSE(cycle_.Tick().pageHold);

  line_.packets.clear();
  for (int i = 0; i < 10; ++i) cycle_.SelectNextBlock(kAck);
  EXPECT_EQ(line_.Addresses(),
            (std::vector<int>{440, 448, 456, 464, 472, 480, 488, 496, 504, 832}));
}

TEST_F(TransmissionCycleTest, SilentTransmitterGetsOneBlockEveryFourthTick) {
  std::vector<size_t> sentAfterTick;
  for (int tick = 1; tick <= 12; ++tick) {
    cycle_.Tick();
    sentAfterTick.push_back(line_.packets.size());
  }
  EXPECT_EQ(sentAfterTick, (std::vector<size_t>{0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3}));
  EXPECT_EQ(cycle_.Counters().recoveries, 3U);
  // A reply restarts the wait.
  cycle_.Tick();
  cycle_.Tick();
  cycle_.SelectNextBlock(7);
  cycle_.Tick();
  cycle_.Tick();
  cycle_.Tick();
  EXPECT_EQ(line_.packets.size(), 3U);
}

TEST_F(TransmissionCycleTest, LampsShowWhatHappenedSinceTheLastTick) {
  cycle_.SelectNextBlock(kAck);
  cycle_.NoteTimingData();
  CycleLamps lamps = cycle_.Tick();
  EXPECT_TRUE(lamps.ack);
  EXPECT_FALSE(lamps.nak);
  EXPECT_TRUE(lamps.timingSystem);
  EXPECT_EQ(lamps.bufferPosition, 0);
  cycle_.SelectNextBlock(kNak);
  lamps = cycle_.Tick();
  EXPECT_FALSE(lamps.ack);
  EXPECT_TRUE(lamps.nak);
  EXPECT_FALSE(lamps.timingSystem);
  EXPECT_FALSE(cycle_.Tick().nak);
}

TEST_F(TransmissionCycleTest, HoldMayEndBelowZero) {
  g_.HoldCountdown = 2500;
  EXPECT_TRUE(cycle_.Tick().pageHold);
  EXPECT_TRUE(cycle_.Tick().pageHold);
  EXPECT_TRUE(cycle_.Tick().pageHold);
  EXPECT_EQ(g_.HoldCountdown, -500);
  EXPECT_FALSE(cycle_.Tick().pageHold);
  EXPECT_EQ(g_.HoldCountdown, -500);
}

}  // namespace
}  // namespace torvane
