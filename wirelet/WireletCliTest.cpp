// torvanetx-cli register / wirelet / unregister, run as the operator runs
// them, against a server on 127.0.0.1 and a private settings folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "LoopbackServer.h"

namespace torvane {
namespace {

using testing::LoopbackServer;
using testing::Peer;

class WireletCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wirelet-cli-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs the CLI with args (and script on standard input); returns stdout.
  std::string Cli(const std::string& args, const std::string& script = "") {
    std::string input = folder_ + "/script.txt";
    std::ofstream(input) << script;
    std::string command =
        "XDG_CONFIG_HOME='" + folder_ + "' '" TORVANE_CLI "' " + args + " < '" + input + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    status_ = pclose(pipe);
    return output;
  }

  std::string folder_;
  int status_ = 0;
};

TEST_F(WireletCliTest, ConsoleDrivesTheControlAndPrintsEvents) {
  ASSERT_NE(Cli("register '" TORVANE_WIRELET_MODULE "'").find("registered"), std::string::npos);
  ASSERT_EQ(status_, 0);
  std::string received;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("~AC\r\nhi\xe9");
    received = peer.ReceiveExactly(6);
    peer.Close();
  });
  std::string port = std::to_string(server.Port());
  std::string output = Cli("wirelet",
                           "# checking the link\n"
                           "get RemotePort\n"
                           "set EOL \\r\\n\n"
                           "config maxlinelength\n"
                           "config Bogus\n"
                           "get DataToSend\n"
                           "set FirewallType 4\n"
                           "call Connect 127.0.0.1 " +
                               port +
                               "\n"
                               "pump 300\n"
                               "call Send \"a b\\x41\\r\\n\"\n"
                               "pump 300\n"
                               "get Connected\n"
                               "frobnicate\n"
                               "quit\n"
                               "get RemotePort\n");
  server.Join();
  EXPECT_EQ(received, "a bA\r\n");
  const char* expected[] = {
      "RemotePort=0\n",
      "ok\n",
      "result=\"2048\"\n",
      "error 0x800A4E20 Unknown config setting.\n",
      "error 0x800A018A Property is write-only.\n",
      "error 0x800A017C Value is out of range.\n",
      "event ConnectionStatus ConnectionEvent=\"Remote host connection complete.\" "
      "StatusCode=0 Description=\"OK\"\n",
      "event Connected StatusCode=0 Description=\"OK\"\n",
      "event DataIn Text=\"~AC\" EOL=True\n",
      "event DataIn Text=\"hi\\xC3\\xA9\" EOL=False\n",
      "event Disconnected StatusCode=0 Description=\"OK\"\n",
      "Connected=False\n",
      "error unknown command: frobnicate\n",
  };
  size_t from = 0;
  for (const char* line : expected) {
    size_t at = output.find(line, from);
    EXPECT_NE(at, std::string::npos) << line << "\nin:\n" << output;
    if (at != std::string::npos) from = at;
  }
  EXPECT_EQ(output.find("RemotePort=0\n", output.find("frobnicate")), std::string::npos);
}

TEST_F(WireletCliTest, RefusedConnectionShowsTheCode) {
  ASSERT_EQ((Cli("register '" TORVANE_WIRELET_MODULE "'"), status_), 0);
  std::string port = std::to_string(testing::UnusedLoopbackPort());
  std::string output = Cli("wirelet", "set Timeout 2\ncall Connect 127.0.0.1 " + port + "\n");
  EXPECT_NE(output.find("error 0x800A61E6 [10061] Connection refused"), std::string::npos)
      << output;
  EXPECT_NE(
      output.find("event Connected StatusCode=10061 Description=\"[10061] Connection refused\""),
      std::string::npos)
      << output;
}

TEST_F(WireletCliTest, UnregisteredControlCannotBeCreated) {
  ASSERT_EQ((Cli("register '" TORVANE_WIRELET_MODULE "'"), status_), 0);
  ASSERT_NE(Cli("unregister '" TORVANE_WIRELET_MODULE "'").find("unregistered"), std::string::npos);
  std::string output = Cli("wirelet", "quit\n");
  EXPECT_NE(output.find("error 0x800401F3"), std::string::npos) << output;
  EXPECT_NE(status_, 0);
  output = Cli("register /nonexistent/libnothing.so");
  EXPECT_NE(output.find("cannot load /nonexistent/libnothing.so"), std::string::npos);
  EXPECT_NE(status_, 0);
}

}  // namespace
}  // namespace torvane
