// The proxy handshakes against scripted fake proxies on 127.0.0.1: each
// exchange receives the bytes the engine must send and answers with a reply.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineRecorder.h"
#include "ErrorCodes.h"
#include "LoopbackServer.h"
#include "SocketApi.h"

namespace torvane {
namespace {

using namespace std::string_literals;
using testing::EngineRecorder;
using testing::LoopbackServer;
using testing::Peer;
using Lines = std::vector<std::string>;

struct Exchange {
  std::string expect;  // what the proxy must receive
  std::string reply;
};

struct ProxyCase {
  const char* name;
  TFirewallType type;
  std::string user;
  std::string password;
  std::string remote;
  std::vector<Exchange> exchanges;
  bool closeAfter;  // the proxy closes after its last reply
  Lines log;
};

// 127.0.0.1:0x1389 (5001) as the SOCKS request bytes carry it.
const std::string kSocksPort = "\x13\x89"s;
const std::string kLoopback = "\x7f\x00\x00\x01"s;
const std::string kSocks5Ok = "\x05\x00\x00\x01\x00\x00\x00\x00\x00\x00"s;

Lines Refused(const std::string& text) {
  return {"Status Firewall connection complete. 0 OK",
          "Error 118 " + text,
          "Connected 118 " + text,
          "Status Firewall host disconnected. 0 OK",
          "Status Remote host disconnected. 0 OK",
          "Disconnected 0 OK"};
}

const Lines kGranted = {"Status Firewall connection complete. 0 OK",
                        "Status Remote host connection complete. 0 OK", "Connected 0 OK",
                        "DataIn hello 1"};

void PrintTo(const ProxyCase& c, std::ostream* os) { *os << c.name; }

class FakeProxyTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(FakeProxyTest, HandshakeSendsTheRequestsAndReportsTheOutcome) {
  const ProxyCase& c = GetParam();
  std::vector<std::string> received;
  LoopbackServer proxy([&](Peer& peer) {
    for (const Exchange& exchange : c.exchanges) {
      received.push_back(peer.ReceiveExactly(exchange.expect.size()));
      peer.Send(exchange.reply);
    }
    if (c.closeAfter) return peer.Close();
    peer.Send("hello");
    peer.WaitClosed();
  });
  EngineRecorder rec;
  SocketEngine& engine = *rec.engine;
  engine.SetFirewallType(c.type);
  ASSERT_EQ(engine.SetFirewallHost("127.0.0.1"), 0);
  engine.SetFirewallPort(proxy.Port());
  engine.SetFirewallUser(c.user);
  engine.SetFirewallPassword(c.password);
  ASSERT_EQ(engine.SetRemoteHost(c.remote), 0);
  ASSERT_EQ(engine.SetRemotePort(5001), 0);
  ASSERT_EQ(engine.Connect(), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return rec.log.size() >= c.log.size(); }))
      << ::testing::PrintToString(rec.log);
  rec.PumpUntil([] { return false; }, 50);
  EXPECT_EQ(rec.log, c.log);
  engine.Disconnect();
  proxy.Join();
  ASSERT_EQ(received.size(), c.exchanges.size());
  for (size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(received[i], c.exchanges[i].expect) << "exchange " << i;
  }
}

std::vector<ProxyCase> Cases() {
  std::vector<ProxyCase> cases = {
      {"Socks4Granted",
       fwSOCKS4,
       "op",
       "",
       "127.0.0.1",
       {{"\x04\x01"s + kSocksPort + kLoopback + "op\0"s, "\x00\x5a\x00\x00\x00\x00\x00\x00"s}},
       false,
       kGranted},
      {"Socks4Rejected",
       fwSOCKS4,
       "",
       "",
       "127.0.0.1",
       {{"\x04\x01"s + kSocksPort + kLoopback + "\0"s, "\x00\x5b\x00\x00\x00\x00\x00\x00"s}},
       false,
       Refused("firewall request rejected or failed")},
      {"Socks4NoIdentd",
       fwSOCKS4,
       "",
       "",
       "127.0.0.1",
       {{"\x04\x01"s + kSocksPort + kLoopback + "\0"s, "\x00\x5c\x00\x00\x00\x00\x00\x00"s}},
       false,
       Refused("firewall request rejected because identd is not available")},
      {"Socks4OtherUser",
       fwSOCKS4,
       "",
       "",
       "127.0.0.1",
       {{"\x04\x01"s + kSocksPort + kLoopback + "\0"s, "\x00\x5d\x00\x00\x00\x00\x00\x00"s}},
       false,
       Refused("firewall request rejected because identd reports different user")},
      {"Socks4ShortReplyThenClose",
       fwSOCKS4,
       "",
       "",
       "127.0.0.1",
       {{"\x04\x01"s + kSocksPort + kLoopback + "\0"s, "\x00\x5a\x00"s}},
       true,
       Refused("Firewall host disconnected.")},
      {"Socks5NoAuth",
       fwSOCKS5,
       "",
       "",
       "127.0.0.1",
       {{"\x05\x01\x00"s, "\x05\x00"s}, {"\x05\x01\x00\x01"s + kLoopback + kSocksPort, kSocks5Ok}},
       false,
       kGranted},
      {"Socks5UserPassword",
       fwSOCKS5,
       "alice",
       "secret",
       "127.0.0.1",
       {{"\x05\x02\x00\x02"s, "\x05\x02"s},
        {"\x01\x05"
         "alice"
         "\x06"
         "secret"s,
         "\x01\x00"s},
        {"\x05\x01\x00\x01"s + kLoopback + kSocksPort, kSocks5Ok}},
       false,
       kGranted},
      {"Socks5DomainForm",
       fwSOCKS5,
       "",
       "",
       "*timing.local",
       {{"\x05\x01\x00"s, "\x05\x00"s},
        {"\x05\x01\x00\x03\x0c"
         "timing.local"s +
             kSocksPort,
         "\x05\x00\x00\x03\x04"
         "host"
         "\x00\x50"s}},
       false,
       kGranted},
      {"Socks5BadPassword",
       fwSOCKS5,
       "alice",
       "wrong",
       "127.0.0.1",
       {{"\x05\x02\x00\x02"s, "\x05\x02"s},
        {"\x01\x05"
         "alice"
         "\x05"
         "wrong"s,
         "\x01\x01"s}},
       false,
       Refused("firewall authentication failed: 1")},
      {"Socks5NoMethod",
       fwSOCKS5,
       "",
       "",
       "127.0.0.1",
       {{"\x05\x01\x00"s, "\x05\xff"s}},
       false,
       Refused("no acceptable firewall authentication methods")},
      {"TunnelOk",
       fwTunnel,
       "",
       "",
       "timing.example",
       {{"CONNECT timing.example:5001 HTTP/1.0\r\n\r\n",
         "HTTP/1.0 200 Connection established\r\nVia: x\r\n\r\n"}},
       false,
       kGranted},
      {"TunnelBasicAuth",
       fwTunnel,
       "user",
       "pass",
       "10.0.0.9",
       {{"CONNECT 10.0.0.9:5001 HTTP/1.0\r\nProxy-authorization: Basic dXNlcjpwYXNz\r\n\r\n",
         "HTTP/1.1 200 OK\r\n\r\n"}},
       false,
       kGranted},
      {"TunnelRefused",
       fwTunnel,
       "",
       "",
       "timing.example",
       {{"CONNECT timing.example:5001 HTTP/1.0\r\n\r\n",
         "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n"}},
       false,
       Refused("HTTP/1.0 407 Proxy Authentication Required")},
      {"TunnelGarbled",
       fwTunnel,
       "",
       "",
       "timing.example",
       {{"CONNECT timing.example:5001 HTTP/1.0\r\n\r\n",
         "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b"s}},
       true,
       Refused("\x01\x02\x03\x04\x05\x06\x07\x08\x09"s)},
  };
  const char* socks5Texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                               "network unreachable",          "host unreachable",
                               "connection refused",           "TTL expired",
                               "command not supported",        "address type not supported"};
  static std::vector<std::string> names;
  names.reserve(8);
  for (int code = 1; code <= 8; ++code) {
    names.push_back("Socks5Reply" + std::to_string(code));
    cases.push_back({names.back().c_str(),
                     fwSOCKS5,
                     "",
                     "",
                     "127.0.0.1",
                     {{"\x05\x01\x00"s, "\x05\x00"s},
                      {"\x05\x01\x00\x01"s + kLoopback + kSocksPort,
                       "\x05"s + char(code) + "\x00\x01\x00\x00\x00\x00\x00\x00"s}},
                     false,
                     Refused(socks5Texts[code - 1])});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Proxies, FakeProxyTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

TEST(FirewallEngineTest, ProxyNotListening_ReportsFirewallConnectionFailed) {
  EngineRecorder rec;
  rec.engine->SetFirewallType(fwSOCKS5);
  ASSERT_EQ(rec.engine->SetFirewallHost("127.0.0.1"), 0);
  rec.engine->SetFirewallPort(testing::UnusedLoopbackPort());
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(5001), 0);
  ASSERT_EQ(rec.engine->Connect(), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return rec.log.size() >= 2; }));
  EXPECT_EQ(rec.log, (Lines{"Status Firewall connection failed. 10061 [10061] Connection refused",
                            "Connected 10061 [10061] Connection refused"}));
}

int FailLookup(const char*, uint32_t* address) {
  *address = 0;
  return kWsaHostNotFound;
}

TEST(FirewallEngineTest, Socks4RemoteThatCannotBeResolved_Fails118) {
  LoopbackServer proxy([](Peer& peer) { peer.WaitClosed(); });
  EngineRecorder rec;
  rec.engine->SetFirewallType(fwSOCKS4);
  ASSERT_EQ(rec.engine->SetFirewallHost("127.0.0.1"), 0);
  rec.engine->SetFirewallPort(proxy.Port());
  ASSERT_EQ(rec.engine->SetRemoteHost("timing.invalid"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(5001), 0);
  ScopedSocketFunction failing(&SocketApi::lookup, &FailLookup);
  ASSERT_EQ(rec.engine->Connect(), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  EXPECT_EQ(rec.log, Refused("[11001] Host not found"));
}

TEST(FirewallEngineTest, WaitingConnectThroughProxy_ReturnsAfterTheHandshake) {
  LoopbackServer proxy([](Peer& peer) {
    peer.ReceiveExactly(3);
    peer.Send("\x05\x00"s);
    peer.ReceiveExactly(10);
    peer.Send(kSocks5Ok + "line\r\n");
    peer.WaitClosed();
  });
  EngineRecorder rec;
  SocketEngine& engine = *rec.engine;
  engine.SetTimeout(5);
  engine.SetFirewallType(fwSOCKS5);
  ASSERT_EQ(engine.SetFirewallHost("127.0.0.1"), 0);
  engine.SetFirewallPort(proxy.Port());
  ASSERT_EQ(engine.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(engine.SetRemotePort(5001), 0);
  ASSERT_EQ(engine.Connect(), 0) << engine.ErrorText();
  EXPECT_TRUE(engine.Connected());
  std::string line;
  ASSERT_EQ(engine.GetLine(line), 0) << engine.ErrorText();
  EXPECT_EQ(line, "line");
}

TEST(FirewallEngineTest, WaitingConnectRefusedByProxy_FailsWith118AndTheText) {
  LoopbackServer proxy([](Peer& peer) {
    peer.ReceiveUntil("\0"s);
    peer.Send("\x00\x5b\x00\x00\x00\x00\x00\x00"s);
    peer.WaitClosed();
  });
  EngineRecorder rec;
  SocketEngine& engine = *rec.engine;
  engine.SetTimeout(5);
  engine.SetFirewallType(fwSOCKS4);
  ASSERT_EQ(engine.SetFirewallHost("127.0.0.1"), 0);
  engine.SetFirewallPort(proxy.Port());
  ASSERT_EQ(engine.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(engine.SetRemotePort(5001), 0);
  EXPECT_EQ(engine.Connect(), kErrFirewall);
  EXPECT_EQ(engine.ErrorText(), "firewall request rejected or failed");
  EXPECT_EQ(engine.SocketHandle(), -1);
}

}  // namespace
}  // namespace torvane
