#include "FirewallLayer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>

namespace torvane {
namespace {

using namespace std::string_literals;

FirewallLayer::Target MakeTarget(TFirewallType type, std::string remote = "10.1.2.3") {
  FirewallLayer::Target target;
  target.type = type;
  target.remoteText = remote;
  target.remoteAddress = inet_addr("10.1.2.3");
  target.remotePort = 0x1234;
  return target;
}

TEST(Base64Test, Rfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"},
                                                       {"user:pass", "dXNlcjpwYXNz"},
                                                       {"\xff\xfe", "//4="}};
  for (const auto& [plain, encoded] : cases) EXPECT_EQ(Base64Encode(plain), encoded) << plain;
}

TEST(FirewallLayerTest, TunnelRequest_WithAndWithoutAuthorisation) {
  FirewallLayer layer;
  EXPECT_EQ(layer.Start(MakeTarget(fwTunnel, "timing.example")),
            "CONNECT timing.example:4660 HTTP/1.0\r\n\r\n");
  auto target = MakeTarget(fwTunnel, "timing.example");
  target.user = "user";
  target.password = "pass";
  EXPECT_EQ(layer.Start(target),
            "CONNECT timing.example:4660 HTTP/1.0\r\n"
            "Proxy-authorization: Basic dXNlcjpwYXNz\r\n\r\n");
  target.user.clear();  // a password alone still authorises
  EXPECT_EQ(layer.Start(target),
            "CONNECT timing.example:4660 HTTP/1.0\r\n"
            "Proxy-authorization: Basic OnBhc3M=\r\n\r\n");
}

struct HttpCase {
  const char* name;
  std::string reply;
  FirewallLayer::State state;
  std::string failure;
  std::string leftover;
};

class TunnelReplyTest : public ::testing::TestWithParam<HttpCase> {};

TEST_P(TunnelReplyTest, ByteByByteAndWhole) {
  const HttpCase& c = GetParam();
  for (bool whole : {false, true}) {
    SCOPED_TRACE(whole ? "whole" : "byte by byte");
    FirewallLayer layer;
    layer.Start(MakeTarget(fwTunnel));
    std::string leftover;
    if (whole) {
      leftover = layer.Feed(c.reply).leftover;
    } else {
      for (char byte : c.reply) leftover += layer.Feed(std::string(1, byte)).leftover;
    }
    EXPECT_EQ(layer.GetState(), c.state);
    EXPECT_EQ(layer.FailureText(), c.failure);
    EXPECT_EQ(leftover, c.leftover);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TunnelReplyTest,
    ::testing::Values(
        HttpCase{"Ok", "HTTP/1.0 200 Connection established\r\n\r\n", FirewallLayer::State::kDone,
                 "", ""},
        HttpCase{"OkWithDataAfter", "HTTP/1.1 200 OK\r\nX: y\r\n\r\n~AC\r",
                 FirewallLayer::State::kDone, "", "~AC\r"},
        HttpCase{"BareNewlines", "HTTP/1.0 200 OK\n\n", FirewallLayer::State::kDone, "", ""},
        HttpCase{"SeveralBlanks", "HTTP/1.0   204 x\r\n\r\n", FirewallLayer::State::kDone, "", ""},
        HttpCase{"Refused", "HTTP/1.0 403 Forbidden\r\n\r\n", FirewallLayer::State::kFailed,
                 "HTTP/1.0 403 Forbidden", ""},
        HttpCase{"AuthRequired", "HTTP/1.1 407 Proxy Authentication Required\r\n",
                 FirewallLayer::State::kFailed, "HTTP/1.1 407 Proxy Authentication Required", ""},
        HttpCase{"NoBlank", "HTTP/1.0200OK\r\n\r\n", FirewallLayer::State::kFailed, "HTTP/1.0200OK",
                 ""},
        HttpCase{"ShortGarbledEnd", "\n\n", FirewallLayer::State::kFailed, "", ""},
        HttpCase{"ShortButUnfinished", "HTTP/1.0 2", FirewallLayer::State::kRunning, "", ""}),
    [](const auto& info) { return info.param.name; });

TEST(FirewallLayerTest, ProxyClosesDuringHandshake_RefusalKeepsItsStatus) {
  FirewallLayer refused;
  refused.Start(MakeTarget(fwTunnel));
  refused.Feed("HTTP/1.0 403");
  EXPECT_EQ(refused.GetState(), FirewallLayer::State::kRunning);
  refused.EndOfInput();
  EXPECT_EQ(refused.FailureText(), "HTTP/1.0 403");

  FirewallLayer silent;
  silent.Start(MakeTarget(fwSOCKS5));
  silent.Feed("\x05"s);
  silent.EndOfInput();
  EXPECT_EQ(silent.GetState(), FirewallLayer::State::kFailed);
  EXPECT_EQ(silent.FailureText(), "Firewall host disconnected.");
}

TEST(FirewallLayerTest, RefusalStatusLineIsCut) {
  FirewallLayer layer;
  layer.Start(MakeTarget(fwTunnel));
  layer.Feed("HTTP/1.0 500 " + std::string(1000, 'x'));
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kFailed);
  EXPECT_EQ(layer.FailureText().size(), FirewallLayer::kMaxStatusLine);
}

TEST(FirewallLayerTest, TunnelReplyThatNeverEnds_FailsAtTheLimit) {
  FirewallLayer layer;
  layer.Start(MakeTarget(fwTunnel));
  layer.Feed("HTTP/1.0 200 OK\r\n");
  layer.Feed(std::string(FirewallLayer::kMaxHttpReply, 'x'));
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kFailed);
  EXPECT_EQ(layer.FailureText(), "firewall reply too long");
}

TEST(FirewallLayerTest, Socks4Request_CutsTheUserAt255Bytes) {
  FirewallLayer layer;
  auto target = MakeTarget(fwSOCKS4);
  target.user = "op";
  EXPECT_EQ(layer.Start(target), "\x04\x01\x12\x34\x0a\x01\x02\x03op\0"s);
  target.user = std::string(300, 'u');
  EXPECT_EQ(layer.Start(target),
            "\x04\x01\x12\x34\x0a\x01\x02\x03"s + std::string(255, 'u') + '\0');
}

struct SocksCase {
  int code;
  FirewallLayer::State state;
  std::string failure;
};

class Socks4ReplyTest : public ::testing::TestWithParam<SocksCase> {};

TEST_P(Socks4ReplyTest, SecondByteDecides) {
  FirewallLayer layer;
  layer.Start(MakeTarget(fwSOCKS4));
  std::string reply = "\0"s + char(GetParam().code) + "\0\0\0\0\0\0"s;
  EXPECT_EQ(layer.BytesWanted(), 8u);
  FirewallLayer::Step step = layer.Feed(reply.substr(0, 5));
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kRunning);
  EXPECT_EQ(layer.BytesWanted(), 3u);
  step = layer.Feed(reply.substr(5) + "data");
  EXPECT_EQ(layer.GetState(), GetParam().state);
  EXPECT_EQ(layer.FailureText(), GetParam().failure);
  EXPECT_EQ(step.leftover, GetParam().state == FirewallLayer::State::kDone ? "data" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Socks4ReplyTest,
    ::testing::Values(
        SocksCase{90, FirewallLayer::State::kDone, ""},
        SocksCase{91, FirewallLayer::State::kFailed, "firewall request rejected or failed"},
        SocksCase{92, FirewallLayer::State::kFailed,
                  "firewall request rejected because identd is not available"},
        SocksCase{93, FirewallLayer::State::kFailed,
                  "firewall request rejected because identd reports different user"},
        SocksCase{0, FirewallLayer::State::kFailed, "unknown firewall error: 0"},
        SocksCase{255, FirewallLayer::State::kFailed, "unknown firewall error: 255"}));

TEST(FirewallLayerTest, Socks5WithoutAuth_GreetingThenConnectByAddress) {
  FirewallLayer layer;
  auto target = MakeTarget(fwSOCKS5);
  target.user = "only-user";  // a user without a password offers no authentication
  EXPECT_EQ(layer.Start(target), "\x05\x01\x00"s);
  FirewallLayer::Step step = layer.Feed("\x05\x00"s);
  EXPECT_EQ(step.send, "\x05\x01\x00\x01\x0a\x01\x02\x03\x12\x34"s);
  step = layer.Feed("\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38"s + "rest");
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kDone);
  EXPECT_EQ(step.leftover, "rest");
}

TEST(FirewallLayerTest, Socks5WithAuth_SendsUserAndPasswordThenConnectsByName) {
  FirewallLayer layer;
  auto target = MakeTarget(fwSOCKS5, "*timing.local");
  target.user = "alice";
  target.password = "secret";
  EXPECT_EQ(layer.Start(target), "\x05\x02\x00\x02"s);
  FirewallLayer::Step step = layer.Feed("\x05\x02"s);
  EXPECT_EQ(step.send,
            "\x01\x05"
            "alice"
            "\x06"
            "secret"s);
  step = layer.Feed("\x01\x00"s);
  EXPECT_EQ(step.send,
            "\x05\x01\x00\x03\x0c"
            "timing.local"
            "\x12\x34"s);
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kRunning);
}

TEST(FirewallLayerTest, Socks5LongFieldsAreCutTo255Bytes) {
  FirewallLayer layer;
  auto target = MakeTarget(fwSOCKS5, "*" + std::string(300, 'h'));
  target.user = std::string(300, 'u');
  target.password = std::string(400, 'p');
  layer.Start(target);
  FirewallLayer::Step step = layer.Feed("\x05\x02"s);
  EXPECT_EQ(step.send, "\x01\xff"s + std::string(255, 'u') + "\xff"s + std::string(255, 'p'));
  step = layer.Feed("\x01\x00"s);
  EXPECT_EQ(step.send, "\x05\x01\x00\x03\xff"s + std::string(255, 'h') + "\x12\x34"s);
}

TEST(FirewallLayerTest, Socks5MethodAndAuthFailures) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x05\xff"s, "no acceptable firewall authentication methods"},
      {"\x05\x01"s, "unknown firewall authentication method"},
  };
  for (const auto& [reply, text] : cases) {
    FirewallLayer layer;
    layer.Start(MakeTarget(fwSOCKS5));
    layer.Feed(reply);
    EXPECT_EQ(layer.GetState(), FirewallLayer::State::kFailed);
    EXPECT_EQ(layer.FailureText(), text);
  }
  FirewallLayer layer;
  auto target = MakeTarget(fwSOCKS5);
  target.user = "u";
  target.password = "p";
  layer.Start(target);
  layer.Feed("\x05\x02"s);
  layer.Feed("\x01\x01"s);
  EXPECT_EQ(layer.FailureText(), "firewall authentication failed: 1");
}

class Socks5ReplyTest : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(Socks5ReplyTest, ReplyCodeNamesTheFailure) {
  FirewallLayer layer;
  layer.Start(MakeTarget(fwSOCKS5));
  layer.Feed("\x05\x00"s);
  layer.Feed("\x05"s + char(GetParam().first));
  EXPECT_EQ(layer.GetState(), FirewallLayer::State::kFailed);
  EXPECT_EQ(layer.FailureText(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Codes, Socks5ReplyTest,
                         ::testing::Values(std::pair{1, "general SOCKS server failure"s},
                                           std::pair{2, "connection not allowed by ruleset"s},
                                           std::pair{3, "network unreachable"s},
                                           std::pair{4, "host unreachable"s},
                                           std::pair{5, "connection refused"s},
                                           std::pair{6, "TTL expired"s},
                                           std::pair{7, "command not supported"s},
                                           std::pair{8, "address type not supported"s},
                                           std::pair{9, "unknown firewall error: 9"s},
                                           std::pair{200, "unknown firewall error: 200"s}));

TEST(FirewallLayerTest, Socks5ReplyLengthFollowsTheAddressType) {
  const std::pair<std::string, size_t> cases[] = {
      {"\x05\x00\x00\x01"s + std::string(6, '\0'), 10},
      {"\x05\x00\x00\x03\x04"
       "host"
       "\x00\x50"s,
       11},
      {"\x05\x00\x00\x04"s + std::string(18, '\0'), 22},
  };
  for (const auto& [reply, length] : cases) {
    FirewallLayer layer;
    layer.Start(MakeTarget(fwSOCKS5));
    layer.Feed("\x05\x00"s);
    ASSERT_EQ(reply.size(), length);
    FirewallLayer::Step step = layer.Feed(reply.substr(0, length - 1));
    EXPECT_EQ(layer.GetState(), FirewallLayer::State::kRunning);
    EXPECT_EQ(layer.BytesWanted(), 1u);
    step = layer.Feed(reply.substr(length - 1) + "Z");
    EXPECT_EQ(layer.GetState(), FirewallLayer::State::kDone);
    EXPECT_EQ(step.leftover, "Z");
  }
}

}  // namespace
}  // namespace torvane
