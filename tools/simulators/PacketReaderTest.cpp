#include "PacketReader.h"

#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace torvane::sim {
namespace {

using namespace std::chrono_literals;
using testing::Concat;
using testing::MakePacket;

const PacketBytes kGood = MakePacket(0, 272, {1, 2, 3, 4, 5, 6, 7, 8});
const PacketBytes kOther = MakePacket(0, 280, {9, 10, 11, 12, 13, 14, 15, 16});

TEST(PacketReaderTest, ChecksumOfTheWorkedExample) {
  // 1B FA 00 01 10 01..08: bytes 1..12 sum to 0x12F, inverted low byte 0xD0.
  EXPECT_EQ(kGood[3], 0x01);
  EXPECT_EQ(kGood[4], 0x10);
  EXPECT_EQ(PacketChecksum(kGood), 0xD0);
  EXPECT_EQ(kGood[13], 0xD0);
}

struct ResyncCase {
  const char* name;
  std::vector<uint8_t> input;
  std::vector<bool> frames;  // checksumOk of each frame read, in order
  int64_t stray;
  int64_t truncated;
};

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> b) { return b; }
std::vector<uint8_t> Head(const PacketBytes& p, size_t n) {
  return {p.begin(), p.begin() + static_cast<std::ptrdiff_t>(n)};
}
PacketBytes Flipped(PacketBytes p, size_t at) {
  p[at] ^= 0x01;
  return p;
}

class PacketReaderResyncTest : public ::testing::TestWithParam<ResyncCase> {};

TEST_P(PacketReaderResyncTest, FindsThePacketsThatFollow) {
  const ResyncCase& c = GetParam();
  PacketReader reader;
  std::vector<ReadFrame> frames;
  reader.Feed(c.input, Instant(0), frames);
  std::vector<bool> ok;
  for (const ReadFrame& f : frames) ok.push_back(f.checksumOk);
  EXPECT_EQ(ok, c.frames);
  EXPECT_EQ(reader.strayBytes(), c.stray);
  EXPECT_EQ(reader.truncated(), c.truncated);
  EXPECT_EQ(reader.pending(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PacketReaderResyncTest,
    ::testing::Values(
        ResyncCase{"OnePacket", Concat({kGood}), {true}, 0, 0},
        ResyncCase{"TwoPackets", Concat({kGood, kOther}), {true, true}, 0, 0},
        ResyncCase{"GarbageFirst", Concat({Bytes({0, 6, 250, 13}), kGood}), {true}, 4, 0},
        ResyncCase{"DoubledStartByte", Concat({Bytes({27}), kGood}), {true}, 1, 0},
        ResyncCase{"StartByteWithoutSecond", Concat({Bytes({27, 0, 27, 27}), kGood}), {true}, 4, 0},
        ResyncCase{"CutPacketThenNext", Concat({Head(kGood, 9), kOther}), {true}, 0, 1},
        ResyncCase{"CutAfterStartPair", Concat({Head(kGood, 2), kOther}), {true}, 0, 1},
        // The 14th byte is the next packet's 27: the cut one is refused, the next still read.
        ResyncCase{"CutOneShort", Concat({Head(kGood, 13), kOther}), {false, true}, 0, 0},
        ResyncCase{"DataByteFlipped", Concat({Flipped(kGood, 7), kOther}), {false, true}, 0, 0},
        ResyncCase{"ChecksumFlipped", Concat({Flipped(kGood, 13), kOther}), {false, true}, 0, 0},
        ResyncCase{"AddressFlipped", Concat({Flipped(kGood, 4), kOther}), {false, true}, 0, 0},
        ResyncCase{
            "SecondStartByteFlipped", Concat({Flipped(kGood, 1), kOther}), {true}, 2 + 12, 0}),
    [](const ::testing::TestParamInfo<ResyncCase>& info) { return std::string(info.param.name); });

TEST(PacketReaderTest, BytesOneAtATimeMakeOnePacket) {
  PacketReader reader;
  std::vector<ReadFrame> frames;
  for (size_t i = 0; i < kGood.size(); ++i) {
    reader.Feed(std::span(&kGood[i], 1), Instant(std::chrono::milliseconds(i)), frames);
  }
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(frames[0].bytes, kGood);
  EXPECT_EQ(frames[0].at, Instant(13ms));
}

TEST(PacketReaderTest, PartialPacketIsDroppedAfterTheGap) {
  PacketReader reader(200ms);
  std::vector<ReadFrame> frames;
  // A packet that lost its last bytes, then after a pause a packet whose first
  // bytes would otherwise complete it.
  reader.Feed(Head(kGood, 11), Instant(0), frames);
  reader.Feed(kOther, Instant(1s), frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(frames[0].bytes, kOther);
  EXPECT_EQ(reader.truncated(), 1);
}

TEST(PacketReaderTest, PacketSplitWithinTheGapIsKept) {
  PacketReader reader(200ms);
  std::vector<ReadFrame> frames;
  reader.Feed(Head(kGood, 7), Instant(0), frames);
  reader.Feed(std::span(kGood).subspan(7), Instant(150ms), frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].checksumOk);
  EXPECT_EQ(reader.truncated(), 0);
}

TEST(PacketReaderTest, ResetDropsThePartialPacket) {
  PacketReader reader;
  std::vector<ReadFrame> frames;
  reader.Feed(Head(kGood, 5), Instant(0), frames);
  reader.Reset();
  reader.Feed(kOther, Instant(0), frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, kOther);
  EXPECT_EQ(reader.truncated(), 1);
}

TEST(PacketReaderTest, EveryCutLengthRecoversByTheNextPacket) {
  // Whatever the cut, the packet after the cut one is read, and nothing is left over.
  for (size_t cut = 1; cut < kGood.size(); ++cut) {
    SCOPED_TRACE(cut);
    PacketReader reader;
    std::vector<ReadFrame> frames;
    reader.Feed(Concat({Head(kGood, cut), kOther}), Instant(0), frames);
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames.back().checksumOk);
    EXPECT_EQ(frames.back().bytes, kOther);
    EXPECT_EQ(reader.pending(), 0u);
  }
}

}  // namespace
}  // namespace torvane::sim
