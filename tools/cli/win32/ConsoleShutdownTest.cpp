// The Windows station's console handler. Windows calls it on a thread of its
// own, and when it returns from a close, log-off or shutdown event the process
// ends: by then the station must have shut down and saved. The handler is
// called here as Windows calls it, on a new thread while the station's loop
// runs, and what the registry holds is read the moment it returns.
#include "ConsoleShutdown.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "Prompter.h"
#include "Registry.h"
#include "SettingsKeys.h"
#include "StationCore.h"
#include "StoreUnderTest.h"

namespace torvane::cli {
namespace {

struct ConsoleEventCase {
  const char* name;
  DWORD event;
};
void PrintTo(const ConsoleEventCase& c, std::ostream* os) { *os << c.name; }

class ConsoleShutdownTest : public testing::TestWithParam<ConsoleEventCase> {};

// A text value as the registry holds it at this moment; "<missing>" when absent.
std::string Stored(const std::string& rootKey, std::string_view keyPath, std::string_view name) {
  const RegistryRoot root = RegistryRoot::CreateBelowCurrentUser(rootKey);
  const std::optional<RegistryData> data = RegistryRead(root, keyPath, name);
  if (!data) return "<missing>";
  if (data->type == REG_DWORD && data->bytes.size() == 4) {
    return std::to_string(static_cast<unsigned char>(data->bytes[0]));
  }
  return data->bytes;
}

TEST_P(ConsoleShutdownTest, HandlerReturnsOnlyOnceTheStationHasSaved) {
  StoreUnderTest under("Registry");
  const std::string root = under.CurrentUserKey();
  Win32StationSystem system;
  ConsoleShutdown console(system);
  ScriptedPrompter prompter;

  BOOL handled = FALSE;
  std::string ticker;
  std::string delayEverything;
  std::string timingHost;
  std::thread windows;
  int rc = -1;
  {
    StationCore station(under.Store(), prompter, system, {int16_t{0}});
    station.Start();
    // What only the shutdown writes: the ticker list, Delay Everything (on
    // until the operator turns it off) and the link settings.
    station.AddTickerEntry("CONSOLE CLOSED");
    station.globals().DelayEverything = false;
    ASSERT_EQ(Stored(root, kTickerKey, "0"), "<missing>");
    bool raised = false;
    system.Every(100, [&] {
      if (raised) return;
      raised = true;
      windows = std::thread([&] {
        handled = ConsoleShutdown::Handler(GetParam().event);
        // The process would end here.
        ticker = Stored(root, kTickerKey, "0");
        delayEverything = Stored(root, kMainKey, kDelayEverything);
        timingHost = Stored(root, kTimingSystemKey, "6");
      });
    });
    system.Every(10000, [&] { system.Quit(-1); });
    rc = system.Run();
    station.Shutdown();
    console.Finished();
  }
  ASSERT_TRUE(windows.joinable()) << "the loop never ran";
  windows.join();
  EXPECT_EQ(rc, 0) << "the handler did not stop the loop";
  EXPECT_EQ(handled, TRUE);
  EXPECT_EQ(ticker, "CONSOLE CLOSED");
  EXPECT_EQ(delayEverything, "0");
  EXPECT_EQ(timingHost, "None");
}

INSTANTIATE_TEST_SUITE_P(EventsThatEndTheProcess, ConsoleShutdownTest,
                         testing::Values(ConsoleEventCase{"Close", CTRL_CLOSE_EVENT},
                                         ConsoleEventCase{"Logoff", CTRL_LOGOFF_EVENT},
                                         ConsoleEventCase{"Shutdown", CTRL_SHUTDOWN_EVENT}),
                         [](const auto& info) { return std::string(info.param.name); });

// Once the station is gone, a late event goes on to the system's default
// handler, which ends the process.
TEST(ConsoleShutdownGoneTest, WithoutTheStationHandlerDefersToTheSystem) {
  {
    Win32StationSystem system;
    ConsoleShutdown console(system);
  }
  EXPECT_EQ(ConsoleShutdown::Handler(CTRL_CLOSE_EVENT), FALSE);
}

}  // namespace
}  // namespace torvane::cli
