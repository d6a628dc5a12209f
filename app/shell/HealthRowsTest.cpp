#include "HealthRows.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace torvane {
namespace {

using Tone = HealthRow::Tone;

const HealthRow* Find(const std::vector<HealthRow>& rows, const std::string& name) {
  for (const HealthRow& row : rows) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

std::vector<std::string> Names(const std::vector<HealthRow>& rows) {
  std::vector<std::string> names;
  for (const HealthRow& row : rows) names.push_back(row.name);
  return names;
}

struct RowCase {
  const char* label;
  std::function<void(HealthSnapshot&)> set;
  const char* row;
  const char* value;
  Tone tone;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.label; }

class HealthRowValueTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(HealthRowValueTest, RowSaysWhatTheSnapshotHolds) {
  HealthSnapshot health;
  GetParam().set(health);
  const std::vector<HealthRow> rows = HealthRows(health);
  const HealthRow* row = Find(rows, GetParam().row);
  ASSERT_NE(row, nullptr) << GetParam().row;
  EXPECT_EQ(row->value, GetParam().value);
  EXPECT_EQ(row->tone, GetParam().tone);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HealthRowValueTest,
    ::testing::Values(
        RowCase{"OpenLinkIsUp",
                [](HealthSnapshot& h) {
                  h.transmitter = {"serial", "COM1 (/dev/pts/3)", true, "open"};
                },
                "Transmitter", "serial COM1 (/dev/pts/3): open", Tone::kUp},
        RowCase{"ClosedLinkIsDown",
                [](HealthSnapshot& h) {
                  h.timing = {"tcp", "timing:2000", false, "reconnecting in 4 s"};
                },
                "Timing system", "tcp timing:2000: reconnecting in 4 s", Tone::kDown},
        RowCase{"LinkWithoutPortSaysOnlyItsState",
                [](HealthSnapshot& h) {
                  h.transmitter = {"", "", false, "no port set"};
                },
                "Transmitter", "no port set", Tone::kDown},
        RowCase{"StationTextIsLeftAsItIs",
                [](HealthSnapshot& h) {
                  h.timing = {"tcp", "t", true, "a <b> & \xE9"};
                },
                "Timing system", "tcp t: a <b> & \xE9", Tone::kUp},
        RowCase{"NoPassYet", [](HealthSnapshot&) {}, "Last full pass", "none yet", Tone::kPlain},
        RowCase{"PassWithoutWireTime",
                [](HealthSnapshot& h) {
                  h.lastFullPassAt = "14:02:11";
                  h.lastFullPassMs = 2500;
                },
                "Last full pass", "14:02:11, took 2.500 s", Tone::kPlain},
        RowCase{"PassWithWireTime",
                [](HealthSnapshot& h) {
                  h.lastFullPassAt = "14:02:11";
                  h.lastFullPassMs = 2500;
                  h.lastFullPassWireMs = 2400;
                },
                "Last full pass", "14:02:11, took 2.500 s (the wire's time 2.400 s)", Tone::kPlain},
        RowCase{"WireTimeWithoutDurationIsNotShown",
                [](HealthSnapshot& h) {
                  h.lastFullPassAt = "14:02:11";
                  h.lastFullPassWireMs = 2400;
                },
                "Last full pass", "14:02:11", Tone::kPlain},
        RowCase{"Replies",
                [](HealthSnapshot& h) {
                  h.counters.acks = 990;
                  h.counters.escs = 4;
                  h.counters.naks = 7;
                  h.counters.otherReplies = 1;
                },
                "ACK / ESC / NAK / other", "990 / 4 / 7 / 1", Tone::kPlain},
        RowCase{"Reconnects",
                [](HealthSnapshot& h) {
                  h.transmitterReopens = 1;
                  h.timingReopens = 2;
                  h.timingReconnects = 3;
                },
                "Reconnects", "transmitter line 1, timing line 2, timing network 3", Tone::kPlain},
        RowCase{"Uptime", [](HealthSnapshot& h) { h.uptimeMs = 61500; }, "Uptime", "61.500 s",
                Tone::kPlain},
        RowCase{"Lamps",
                [](HealthSnapshot& h) {
                  h.lamps.ack = true;
                  h.lamps.timingSystem = true;
                },
                "Lamps", "Page hold off, ACK on, NAK off, Timing System on", Tone::kPlain}),
    [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.label); });

TEST(HealthRowsTest, TransmitterLineRowOnlyWhenTheLineTellsItsLatency) {
  const std::vector<std::string> without = {"Transmitter",
                                            "Timing system",
                                            "Lamps",
                                            "Buffer position",
                                            "Last full pass",
                                            "Packets sent",
                                            "ACK / ESC / NAK / other",
                                            "Timeouts",
                                            "Full passes",
                                            "Records received / dropped",
                                            "Reconnects",
                                            "Uptime",
                                            "Faults"};
  HealthSnapshot health;
  EXPECT_EQ(Names(HealthRows(health)), without);

  health.transmitterLatency = "low latency";
  const std::vector<HealthRow> rows = HealthRows(health);
  std::vector<std::string> with = without;
  with.insert(with.begin() + 1, "Transmitter line");
  EXPECT_EQ(Names(rows), with);
  EXPECT_EQ(rows[1].value, "low latency");
}

TEST(HealthRowsTest, OnlyTheLampsRowCarriesLamps) {
  HealthSnapshot health;
  health.lamps.pageHold = true;
  for (const HealthRow& row : HealthRows(health)) {
    SCOPED_TRACE(row.name);
    if (row.name != "Lamps") {
      EXPECT_TRUE(row.lamps.empty());
      continue;
    }
    const std::vector<std::pair<std::string, bool>> lamps = {
        {"Page hold", true}, {"ACK", false}, {"NAK", false}, {"Timing System", false}};
    EXPECT_EQ(row.lamps, lamps);
  }
}

}  // namespace
}  // namespace torvane
