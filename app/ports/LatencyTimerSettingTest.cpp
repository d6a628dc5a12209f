#include "LatencyTimerSetting.h"

#include <gtest/gtest.h>

#include <vector>

namespace torvane {
namespace {

using LowLatency = SerialLine::LowLatency;
using WriteResult = LatencyTimerSetting::WriteResult;

// A driver's value in memory; a write that is refused or fails leaves it.
class FakeLatencyTimer : public LatencyTimerSetting {
 public:
  std::optional<uint32_t> value;
  WriteResult answer = WriteResult::kWritten;
  std::vector<uint32_t> writes;

  std::optional<uint32_t> Read() override { return value; }
  WriteResult Write(uint32_t ms) override {
    writes.push_back(ms);
    if (answer == WriteResult::kWritten) value = ms;
    return answer;
  }
};

TEST(LatencyTimerSettingTest, WritesTheLowestTimerOnlyWhenAskedAndNeeded) {
  struct Case {
    const char* name;
    std::optional<uint32_t> timer;
    bool on;
    WriteResult answer;
    LowLatency outcome;
    uint32_t reportedMs;
    bool reopen;
    uint32_t after;
    bool tried;  // a write of 1 was asked for
  };
  const Case cases[] = {
      {"default timer, on", 16, true, WriteResult::kWritten, LowLatency::kOn, 1, true, 1, true},
      {"timer of 255, on", 255, true, WriteResult::kWritten, LowLatency::kOn, 1, true, 1, true},
      {"out-of-range 0, on", 0, true, WriteResult::kWritten, LowLatency::kOn, 1, true, 1, true},
      {"already 1, on", 1, true, WriteResult::kWritten, LowLatency::kOn, 1, false, 1, false},
      {"default timer, off", 16, false, WriteResult::kWritten, LowLatency::kOff, 16, false, 16,
       false},
      {"1, off: left as it is", 1, false, WriteResult::kWritten, LowLatency::kOff, 1, false, 1,
       false},
      {"refused", 16, true, WriteResult::kRefused, LowLatency::kNotAllowed, 16, false, 16, true},
      {"write failed", 16, true, WriteResult::kFailed, LowLatency::kNotOffered, 16, false, 16,
       true},
      {"no timer, on", std::nullopt, true, WriteResult::kWritten, LowLatency::kNotOffered, 0, false,
       0, false},
      {"no timer, off", std::nullopt, false, WriteResult::kWritten, LowLatency::kNotOffered, 0,
       false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeLatencyTimer timer;
    timer.value = c.timer;
    timer.answer = c.answer;
    const LatencyTimerOutcome outcome = ApplyLowLatency(timer, c.on);
    EXPECT_EQ(outcome.lowLatency, c.outcome);
    EXPECT_EQ(outcome.timerMs, c.reportedMs);
    EXPECT_EQ(outcome.reopen, c.reopen);
    EXPECT_EQ(timer.value.value_or(0), c.after);
    EXPECT_EQ(timer.writes,
              c.tried ? std::vector<uint32_t>{kLowLatencyTimerMs} : std::vector<uint32_t>{});
  }
}

TEST(LatencyTimerSettingTest, ComPortNameComesFromTheDevicePath) {
  const std::pair<const char*, const char*> cases[] = {
      {"\\\\.\\COM5", "COM5"}, {"\\\\?\\COM12", "COM12"}, {"COM3", "COM3"}, {"\\\\.\\com7", "COM7"},
      {"COM256", "COM256"},    {"\\\\.\\COM", ""},        {"COM0", ""},     {"COM5x", ""},
      {"\\\\.\\COM1234", ""},  {"/dev/ttyUSB0", ""},      {"C:\\COM5", ""}, {"", ""},
      {"\\\\.\\CNCA0", ""},
  };
  for (const auto& [path, name] : cases) {
    EXPECT_EQ(ComPortNameOf(path), name) << path;
  }
}

}  // namespace
}  // namespace torvane
