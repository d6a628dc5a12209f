// The program's side of the control on Windows: NetworkLink creates it by
// ProgID through COM (regsvr32 registered it) and drives it by dispatch
// identifier, as the station does on Linux through the automation layer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "LoopbackServer.h"
#include "NetworkLink.h"
#include "RegistryHive.h"

namespace torvane {
namespace {

TEST(NetworkLinkComTest, TimingTextCrossesTheRealControl) {
  MemoryHive unused;  // Windows finds the class in its own registry
  std::string error;
  std::unique_ptr<NetworkLink> link = NetworkLink::Create(unused, &error);
  ASSERT_NE(link, nullptr) << error;
  std::string received;
  std::vector<std::string> errors;
  link->OnDataIn = [&](const std::string& text) { received += text; };
  link->OnError = [&](int32_t code, const std::string& text) {
    errors.push_back(std::to_string(code) + " " + text);
  };

  std::string atTiming;
  testing::Signal commandIn;
  testing::LoopbackServer timing([&](testing::Peer& system) {
    // Bytes above 127 cross in the system's code page both ways.
    system.Send("\x01" "R1 9.876 \xB0\r");
    atTiming = system.ReceiveExactly(5);
    commandIn.Notify();
  });
  link->Connect("127.0.0.1", timing.Port());
  ASSERT_TRUE(PumpUntil([&] { return link->Connected(); }, 5000));
  ASSERT_TRUE(PumpUntil([&] { return received.size() >= 12; }, 5000));
  EXPECT_EQ(received, "\x01" "R1 9.876 \xB0\r");
  link->Send("~AC\r\xE9");
  ASSERT_TRUE(commandIn.Wait());
  EXPECT_EQ(atTiming, "~AC\r\xE9");
  link->Disconnect();
  EXPECT_FALSE(link->Connected());
  EXPECT_TRUE(errors.empty());

  // A failed connect is reported as an error, as the operator must hear of it.
  link->Connect("127.0.0.1", testing::UnusedLoopbackPort());
  ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }, 5000));
  EXPECT_EQ(errors, std::vector<std::string>{"10061 [10061] Connection refused"});

  // A refusal of the control itself arrives as NetworkLinkError.
  try {
    link->Send("x");
    ADD_FAILURE() << "sending while not connected must fail";
  } catch (const NetworkLinkError& e) {
    EXPECT_EQ(e.code(), 10057 + 15001);
    EXPECT_STREQ(e.what(), "[10057] Socket is not connected");
  }
}

}  // namespace
}  // namespace torvane
