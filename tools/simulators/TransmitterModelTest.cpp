#include "TransmitterModel.h"

#include <gtest/gtest.h>

#include <functional>

#include "BlockPacket.h"
#include "ImageDecoder.h"
#include "ImageJson.h"
#include "SimTestSupport.h"

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;
using testing::MakePacket;
using testing::PacketOf;
using testing::SampleImage;
using Replies = std::vector<uint8_t>;

const Replies kAckOnly = {kReplyAck};
const Replies kNakOnly = {kReplyNak};

TransmitterConfig Config(std::optional<uint8_t> venue, FailureSwitches switches = {}) {
  TransmitterConfig config;
  config.venue = venue;
  config.switches = switches;
  return config;
}
TransmitterConfig Config(FailureSwitches switches) { return Config(std::nullopt, switches); }

// One switch set, the others off.
FailureSwitches Switch(int FailureSwitches::*every, int n) {
  FailureSwitches s;
  s.*every = n;
  return s;
}
FailureSwitches Late(Duration late, bool wireTime = false) {
  FailureSwitches s;
  s.late = late;
  s.wireTime = wireTime;
  return s;
}
FailureSwitches Silent(int after, Duration period) {
  FailureSwitches s;
  s.silentAfter = after;
  s.silentFor = period;
  return s;
}

class TransmitterModelTest : public ::testing::Test {
 protected:
  void Make(TransmitterConfig config) { model_ = std::make_unique<TransmitterModel>(config); }

  // Feeds bytes at now_ and returns the replies due at once.
  Replies Send(std::span<const uint8_t> bytes) {
    model_->Receive(bytes, now_);
    return model_->TakeReplies(now_);
  }
  Replies SendBlock(int address, uint8_t fill, uint8_t venue = 0) {
    return Send(MakePacket(venue, static_cast<uint16_t>(address),
                           {fill, fill, fill, fill, fill, fill, fill, fill}));
  }
  uint8_t At(int address) const { return model_->Image()[static_cast<size_t>(address)]; }

  std::unique_ptr<TransmitterModel> model_ = std::make_unique<TransmitterModel>();
  Instant now_{0};
};

TEST_F(TransmitterModelTest, WorkedExampleIsAcceptedAndStored) {
  Make(Config(0));
  EXPECT_EQ(Send(MakePacket(0, 0x0110, {1, 2, 3, 4, 5, 6, 7, 8})), kAckOnly);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(At(272 + i), i + 1);
  EXPECT_EQ(At(271), 0);
  EXPECT_EQ(At(280), 0);
  const TransmitterStats stats = model_->Stats();
  EXPECT_EQ(stats.packets, 1);
  EXPECT_EQ(stats.stored, 1);
  EXPECT_EQ(stats.acks, 1);
}

TEST_F(TransmitterModelTest, AcceptsThePacketsTheProgramBuilds) {
  MapImageBytes image{};
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  Make(Config(9));
  for (int address : {0, 8, 256, 272, 4096, 32000, 32760}) {
    SCOPED_TRACE(address);
    const BlockPacket packet = BuildBlockPacket(image, static_cast<int16_t>(address), 9);
    EXPECT_EQ(Send(packet), kAckOnly);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(At(address + i), image[static_cast<size_t>(address + i)]);
  }
}

// Each byte from the venue to the checksum, changed alone, breaks the checksum.
class TransmitterBadByteTest : public TransmitterModelTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(TransmitterBadByteTest, ChangedByteIsRefusedAndNotStored) {
  Make(Config(0));
  PacketBytes packet = MakePacket(0, 272, {1, 2, 3, 4, 5, 6, 7, 8});
  packet[static_cast<size_t>(GetParam())] ^= 0x20;
  EXPECT_EQ(Send(packet), kNakOnly);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(At(272 + i), 0);
  const TransmitterStats stats = model_->Stats();
  EXPECT_EQ(stats.badChecksum, 1);
  EXPECT_EQ(stats.stored, 0);
  // The line is in step again at once.
  EXPECT_EQ(SendBlock(280, 5), kAckOnly);
}

INSTANTIATE_TEST_SUITE_P(Bytes2To13, TransmitterBadByteTest, ::testing::Range(2, 14));

TEST_F(TransmitterModelTest, BrokenStartBytesGetNoReply) {
  for (size_t at : {size_t{0}, size_t{1}}) {
    SCOPED_TRACE(at);
    Make({});
    PacketBytes packet = MakePacket(0, 272, {1, 2, 3, 4, 5, 6, 7, 8});
    packet[at] ^= 0x20;
    EXPECT_TRUE(Send(packet).empty());
    EXPECT_EQ(model_->Stats().strayBytes, 14);
    EXPECT_EQ(SendBlock(272, 1), kAckOnly);
  }
}

struct CheckCase {
  const char* name;
  std::optional<uint8_t> venue;  // the venue the transmitter expects
  PacketBytes packet;
  Replies reply;
  int64_t TransmitterStats::*counter;  // the counter that must read 1
  bool stored;
};

class TransmitterCheckTest : public TransmitterModelTest,
                             public ::testing::WithParamInterface<CheckCase> {};

TEST_P(TransmitterCheckTest, RepliesAndCounts) {
  const CheckCase& c = GetParam();
  Make(Config(c.venue));
  EXPECT_EQ(Send(c.packet), c.reply);
  const TransmitterStats stats = model_->Stats();
  EXPECT_EQ(stats.*c.counter, 1);
  EXPECT_EQ(stats.stored, c.stored ? 1 : 0);
  const int address = c.packet[3] << 8 | c.packet[4];
  if (c.stored) {
    EXPECT_EQ(At(address + 7), c.packet[12]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, TransmitterCheckTest,
    ::testing::Values(CheckCase{"OtherVenue", 3, MakePacket(4, 272, {1}), kNakOnly,
                                &TransmitterStats::wrongVenue, false},
                      CheckCase{"AnyVenue", std::nullopt,
                                MakePacket(200, 272, {1, 2, 3, 4, 5, 6, 7, 8}), kAckOnly,
                                &TransmitterStats::acks, true},
                      CheckCase{"LastWholeBlock", 0, MakePacket(0, 32761, {1, 2, 3, 4, 5, 6, 7, 8}),
                                kAckOnly, &TransmitterStats::unaligned, true},
                      CheckCase{"PastTheImage", 0, MakePacket(0, 32762, {1}), kNakOnly,
                                &TransmitterStats::badAddress, false},
                      CheckCase{"HighAddress", 0, MakePacket(0, 0xFFF8, {1}), kNakOnly,
                                &TransmitterStats::badAddress, false},
                      CheckCase{"Unaligned", 0, MakePacket(0, 273, {1, 2, 3, 4, 5, 6, 7, 8}),
                                kAckOnly, &TransmitterStats::unaligned, true},
                      CheckCase{"BadChecksum", 0, MakePacket(0, 272, {1}, 1), kNakOnly,
                                &TransmitterStats::badChecksum, false}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

// The failure switches, each over a run of good packets: what comes back, and
// which packets were stored.
struct SwitchCase {
  const char* name;
  FailureSwitches switches;
  Replies replies;           // for packets 1..6, in order
  std::vector<bool> stored;  // per packet
};

class TransmitterSwitchTest : public TransmitterModelTest,
                              public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(TransmitterSwitchTest, SixPackets) {
  const SwitchCase& c = GetParam();
  Make(Config(c.switches));
  Replies replies;
  for (int i = 0; i < 6; ++i) {
    const Replies r = SendBlock(272 + 8 * i, static_cast<uint8_t>(i + 1));
    replies.insert(replies.end(), r.begin(), r.end());
  }
  EXPECT_EQ(replies, c.replies);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(At(272 + 8 * i) != 0, c.stored[static_cast<size_t>(i)]) << "packet " << i + 1;
  }
}

const Replies kAaaaaa(6, kReplyAck);
const std::vector<bool> kAllStored(6, true);

INSTANTIATE_TEST_SUITE_P(
    Switches, TransmitterSwitchTest,
    ::testing::Values(
        SwitchCase{"None", {}, kAaaaaa, kAllStored},
        SwitchCase{"NakEveryThird",
                   Switch(&FailureSwitches::nakEvery, 3),
                   {6, 6, 21, 6, 6, 21},
                   {true, true, false, true, true, false}},
        SwitchCase{"EscEverySecond",
                   Switch(&FailureSwitches::escEvery, 2),
                   {6, 27, 6, 27, 6, 27},
                   kAllStored},
        SwitchCase{
            "DropEverySecond", Switch(&FailureSwitches::dropEvery, 2), {6, 6, 6}, kAllStored},
        SwitchCase{"GarbleEveryThird",
                   Switch(&FailureSwitches::garbleEvery, 3),
                   {6, 6, 'F', 6, 6, 'F'},
                   kAllStored},
        SwitchCase{"NakAndGarble",
                   [] {
                     FailureSwitches s = Switch(&FailureSwitches::nakEvery, 2);
                     s.garbleEvery = 2;
                     return s;
                   }(),
                   {6, 'U', 6, 'U', 6, 'U'},
                   {true, false, true, false, true, false}},
        SwitchCase{
            "SilentAfterTwo", Silent(2, 1s), {6, 6}, {true, true, false, false, false, false}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

TEST_F(TransmitterModelTest, LateRepliesWaitTheirTime) {
  Make(Config(Late(50ms)));
  now_ = Instant(1s);
  EXPECT_TRUE(SendBlock(272, 1).empty());
  EXPECT_EQ(model_->NextReplyAt(), Instant(1s + 50ms));
  EXPECT_TRUE(model_->TakeReplies(Instant(1s + 49ms)).empty());
  EXPECT_EQ(model_->TakeReplies(Instant(1s + 50ms)), kAckOnly);
  EXPECT_EQ(model_->NextReplyAt(), std::nullopt);
  // The packet itself is stored at once.
  EXPECT_EQ(At(272), 1);
}

TEST_F(TransmitterModelTest, SilenceEndsAfterItsTimeAndComesBack) {
  Make(Config(Silent(2, 1s)));
  EXPECT_EQ(SendBlock(272, 1), kAckOnly);
  EXPECT_EQ(SendBlock(280, 2), kAckOnly);
  now_ = Instant(999ms);
  EXPECT_TRUE(SendBlock(288, 3).empty());
  now_ = Instant(1s);
  EXPECT_EQ(SendBlock(296, 4), kAckOnly);
  EXPECT_EQ(SendBlock(304, 5), kAckOnly);
  EXPECT_TRUE(SendBlock(312, 6).empty());
  EXPECT_EQ(At(288), 0);
  EXPECT_EQ(At(312), 0);
  EXPECT_EQ(model_->Stats().ignoredSilent, 2);
  EXPECT_EQ(model_->Stats().packets, 6);
}

TEST_F(TransmitterModelTest, WireTimeOfPacketAndReply) {
  // 15 bytes of 10 bits at 57600 baud: 2.6 ms from the first byte to the reply.
  Make(Config(Late(0s, true)));
  EXPECT_TRUE(SendBlock(272, 1).empty());
  const Instant due = *model_->NextReplyAt();
  EXPECT_EQ(due, 15 * kWireByteTime);
  const double ms = std::chrono::duration<double, std::milli>(due).count();
  EXPECT_NEAR(ms, 2.604, 0.001);
  EXPECT_EQ(model_->TakeReplies(due), kAckOnly);
}

TEST_F(TransmitterModelTest, WireTimeQueuesPacketsThatArriveTogether) {
  Make(Config(Late(1ms, true)));
  model_->Receive(testing::Concat({MakePacket(0, 272, {1}), MakePacket(0, 280, {2})}), Instant(0));
  // The second packet is on the wire until byte 28; each reply takes one byte time.
  EXPECT_EQ(model_->TakeReplies(14 * kWireByteTime + 1ms + kWireByteTime), kAckOnly);
  EXPECT_TRUE(model_->TakeReplies(28 * kWireByteTime + 1ms).empty());
  EXPECT_EQ(model_->TakeReplies(29 * kWireByteTime + 1ms), kAckOnly);
}

TEST_F(TransmitterModelTest, AdapterLatencyHoldsRepliesThatLeaveInOneBatch) {
  FailureSwitches held = Late(0s, true);
  held.adapterLatency = 16ms;
  Make(Config(held));
  // Two packets back to back: the second reply reaches the adapter while the
  // first one is held, and both leave when the timer runs out.
  model_->Receive(testing::Concat({MakePacket(0, 272, {1}), MakePacket(0, 280, {2})}), Instant(0));
  const Instant first = 15 * kWireByteTime;
  EXPECT_EQ(model_->NextReplyAt(), first + 16ms);
  EXPECT_TRUE(model_->TakeReplies(first + 16ms - 1ns).empty());
  EXPECT_EQ(model_->TakeReplies(first + 16ms), (Replies{kReplyAck, kReplyAck}));
  // A reply after the batch has left waits a whole timer of its own.
  now_ = Instant(100ms);
  EXPECT_TRUE(SendBlock(288, 3).empty());
  EXPECT_EQ(model_->NextReplyAt(), Instant(100ms) + 15 * kWireByteTime + 16ms);
}

TEST_F(TransmitterModelTest, ResetLineDropsPartialPacketAndQueuedReplies) {
  Make(Config(Late(10ms)));
  SendBlock(272, 1);
  const PacketBytes half = MakePacket(0, 280, {2});
  Send(std::span(half).first(6));
  model_->ResetLine();
  EXPECT_EQ(model_->NextReplyAt(), std::nullopt);
  now_ = Instant(20ms);
  SendBlock(288, 3);
  EXPECT_EQ(model_->TakeReplies(Instant(30ms)), kAckOnly);
  EXPECT_EQ(model_->Stats().truncated, 1);
}

class TransmitterImageTest : public TransmitterModelTest {
 protected:
  // Sends every block 0..mapEnd in order, one every 3 ms.
  void SendPass(const MapImageBytes& image, int mapEnd) {
    for (int a = 0; a <= mapEnd; a += 8) {
      ASSERT_EQ(Send(PacketOf(image, a, 0)), kAckOnly) << a;
      now_ += 3ms;
    }
  }
};

TEST_F(TransmitterImageTest, FullPassGivesTheCardTheProgramsImage) {
  int mapEnd = 0;
  const MapImageBytes image = SampleImage(mapEnd);
  SendPass(image, mapEnd);
  const TransmitterStats stats = model_->Stats();
  EXPECT_EQ(stats.passes, 1);
  const int blocks = mapEnd / 8 + 1;
  EXPECT_EQ(stats.lastPass, (blocks - 1) * 3ms);
  for (int a = 0; a <= mapEnd; ++a) ASSERT_EQ(At(a), image[static_cast<size_t>(a)]) << a;
  const DecodedImage card = DecodeImage(model_->Image());
  EXPECT_TRUE(card.Valid()) << ToJson(card);
  EXPECT_EQ(ToJson(card), ToJson(DecodeImage(image)));
  EXPECT_EQ(stats.pendingRows, 0);

  SendPass(image, mapEnd);
  EXPECT_EQ(model_->Stats().passes, 2);
}

TEST_F(TransmitterImageTest, PassCountsBlocksInAnyOrderButNeedsThemAll) {
  int mapEnd = 0;
  const MapImageBytes image = SampleImage(mapEnd);
  // Backwards, and leaving out block 8 at first.
  for (int a = mapEnd / 8 * 8; a >= 0; a -= 8) {
    if (a != 8) Send(PacketOf(image, a, 0));
    now_ += 1ms;
  }
  EXPECT_EQ(model_->Stats().passes, 0);
  Send(PacketOf(image, 8, 0));
  EXPECT_EQ(model_->Stats().passes, 1);
}

TEST_F(TransmitterImageTest, ChangedRowLatencyRunsUntilItsChecksumHolds) {
  int mapEnd = 0;
  const MapImageBytes before = SampleImage(mapEnd);
  SendPass(before, mapEnd);
  const TransmitterStats passed = model_->Stats();
  // Page 1's line 12 changes in its first block; the row holds again with its third.
  const MapImageBytes after = SampleImage(mapEnd, "Nargin  WIN  0.0123");
  const int row = DecodeImage(before).pages.at(1).address + 24 * (3 + 12);
  ASSERT_NE(before[static_cast<size_t>(row)], after[static_cast<size_t>(row)]);
  now_ = Instant(10s);
  Send(PacketOf(after, row, 0));
  now_ += 2ms;
  Send(PacketOf(after, row + 8, 0));
  EXPECT_EQ(model_->Stats().pendingRows, 1);
  now_ += 3ms;
  Send(PacketOf(after, row + 16, 0));
  const TransmitterStats stats = model_->Stats();
  EXPECT_EQ(stats.pendingRows, 0);
  EXPECT_EQ(stats.changedRows, passed.changedRows + 1);
  EXPECT_EQ(stats.rowLatencyTotal - passed.rowLatencyTotal, 5ms);
  // In the pass, a row whose first and last blocks changed took two packet gaps.
  EXPECT_EQ(passed.rowLatencyMax, 6ms);
}

TEST_F(TransmitterImageTest, RowWithARefusedBlockStaysPending) {
  int mapEnd = 0;
  const MapImageBytes image = SampleImage(mapEnd);
  // Page 1's line 12 arrives with its middle block refused: the card cannot
  // show the row until the block comes again.
  Make(Config(Switch(&FailureSwitches::nakEvery, 2)));
  const int row = DecodeImage(image).pages.at(1).address + 24 * (3 + 12);
  EXPECT_EQ(Send(PacketOf(image, row, 0)), kAckOnly);
  EXPECT_EQ(Send(PacketOf(image, row + 8, 0)), kNakOnly);
  EXPECT_EQ(Send(PacketOf(image, row + 16, 0)), kAckOnly);
  EXPECT_EQ(model_->Stats().pendingRows, 1);
  EXPECT_EQ(Send(PacketOf(image, row + 8, 0)), kNakOnly);  // the 4th: refused again
  EXPECT_EQ(model_->Stats().pendingRows, 1);
  EXPECT_EQ(Send(PacketOf(image, row + 8, 0)), kAckOnly);
  EXPECT_EQ(model_->Stats().pendingRows, 0);
}

}  // namespace
}  // namespace torvane::sim
