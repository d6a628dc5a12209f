// Long random runs of replies, ticks, line drops and image edits against a
// small model of the stop-and-wait protocol: whatever the transmitter sends
// back, each event writes at most the one packet it should, every packet is
// whole and carries the image as it stood, and the acknowledged copy holds
// exactly the packets the transmitter accepted.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "TransmissionCycle.h"

namespace torvane {
namespace {

class CheckingLine : public TransmitterLine {
 public:
  explicit CheckingLine(const Globals& g) : g_(g) {}
  bool IsOpen() const override { return open; }
  void Write(const BlockPacket& p) override {
    ++written;
    last = p;
    const int address = p[3] * 256 + p[4];
    unsigned sum = 0;
    for (int i = 1; i <= 12; ++i) sum += p[i];
    if (p[0] != 27 || p[1] != 250 || p[2] != static_cast<uint8_t>(g_.VenueId) ||
        p[13] != static_cast<uint8_t>(~sum)) {
      faults += "malformed packet at " + std::to_string(address) + "; ";
    }
    for (int i = 0; i < kBlockDataSize; ++i) {
      const int at = address + i;
      const uint8_t expected = at < kMapImageSize ? g_.MapImage[static_cast<size_t>(at)] : 0;
      if (p[5 + i] != expected) faults += "stale byte at " + std::to_string(at) + "; ";
    }
  }

  bool open = true;
  int written = 0;
  BlockPacket last{};
  std::string faults;

 private:
  const Globals& g_;
};

class CountingImage : public ImageMaintenance {
 public:
  void BuildIndexTable() override {}
  void BuildImage() override {}
};

// A window of whole blocks somewhere inside the image.
SendWindow RandomWindow(std::mt19937& rng, int mapEnd) {
  std::uniform_int_distribution<int> block(0, mapEnd / 8);
  std::uniform_int_distribution<int> blocks(1, 6);
  const int next = block(rng) * 8;
  return {static_cast<int16_t>(next), static_cast<int16_t>(next + 8 * blocks(rng))};
}

TEST(TransmissionCycleRandomTest, AnyReplyStreamKeepsStopAndWaitAndWholePackets) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    Globals g;
    g.Pages.SetPageSize(1, 12 + static_cast<int>(rng() % 40));
    g.Pages.SetPageSize(2, static_cast<int>(rng() % 200));
    g.TickerAddress = static_cast<int16_t>(g.Pages[g.Pages.N()].Address +
                                           g.Pages.PageBlockSize(g.Pages.N()));
    g.MapEnd = static_cast<int16_t>(g.TickerAddress + 3);
    g.VenueId = static_cast<int16_t>(rng() % 256);
    CheckingLine line(g);
    CountingImage image;
    TransmissionCycle cycle(g, line, image);

    // The model: what the transmitter has accepted, and the packet awaiting its reply.
    MapImageBytes card{};
    std::optional<BlockPacket> awaiting;
    uint64_t naks = 0;
    int silentTicks = 0;

    for (int step = 0; step < 3000 && line.faults.empty(); ++step) {
      const int written = line.written;
      int expected = 0;
      const unsigned roll = rng() % 100;
      if (roll < 45 || roll >= 97) {
        const uint8_t reply = roll < 35 ? kAck : roll < 40 ? kEsc : roll < 45 ? kNak
                                                                   : static_cast<uint8_t>(rng());
        silentTicks = 0;
        if (reply == kNak) {
          awaiting.reset();
          expected = ++naks % 2 == 0 ? 1 : 0;
        } else if (reply == kAck || reply == kEsc) {
          if (awaiting) {
            const int address = (*awaiting)[3] * 256 + (*awaiting)[4];
            for (int i = 0; i < kBlockDataSize && address + i < kMapImageSize; ++i) {
              card[static_cast<size_t>(address + i)] = (*awaiting)[5 + i];
            }
          }
          awaiting.reset();
          expected = 1;
        }
        cycle.SelectNextBlock(reply);
      } else if (roll < 60) {
        expected = ++silentTicks == 4 ? 1 : 0;
        if (expected == 1) silentTicks = 0;
        cycle.Tick();
      } else if (roll < 75) {
        g.MapImage[rng() % static_cast<unsigned>(g.MapEnd + 1)] = static_cast<uint8_t>(rng());
      } else if (roll < 85) {
        const int which = static_cast<int>(rng() % 14);
        SendWindow& window = which < 10   ? g.LineWindows[static_cast<size_t>(which)]
                             : which == 10 ? g.BodyWindow
                             : which == 11 ? g.PageWindow
                             : which == 12 ? g.TitleWindow
                                           : g.NamesWindow;
        window = RandomWindow(rng, g.MapEnd);
      } else if (roll < 90) {
        g.HoldCountdown = static_cast<int32_t>(rng() % 4000);
      } else {
        line.open = !line.open;
      }

      const int sent = line.written - written;
      EXPECT_EQ(sent, line.open ? expected : 0) << "step " << step << ", roll " << roll;
      if (sent == 1) awaiting = line.last;
      ASSERT_GE(g.TxCursor, 0) << "step " << step;
      ASSERT_LE(g.TxCursor, g.MapEnd + 8) << "step " << step;
      ASSERT_TRUE(cycle.Acknowledged().Bytes() == card) << "step " << step;
      if (HasFailure()) break;
    }
    EXPECT_EQ(line.faults, "");
    EXPECT_GT(line.written, 100);
  }
}

}  // namespace
}  // namespace torvane
