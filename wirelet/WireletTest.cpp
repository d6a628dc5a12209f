#include "Wirelet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CallbackSink.h"
#include "ErrorInfo.h"
#include "LoopbackServer.h"
#include "PollWatcher.h"

namespace torvane {
namespace {

using namespace std::string_literals;
using testing::LoopbackServer;
using testing::Peer;
using testing::Signal;
using Lines = std::vector<std::string>;

std::string Render(const Variant& v) {
  switch (v.Type()) {
    case VarType::kEmpty:
      return "(empty)";
    case VarType::kBool:
      return v.AsBool() ? "True" : "False";
    case VarType::kI2:
    case VarType::kI4:
      return std::to_string(v.AsI4());
    case VarType::kString:
      return v.AsString();
    case VarType::kBytes:
      return "bytes:" + std::string(v.AsBytes().begin(), v.AsBytes().end());
    case VarType::kOther:
      return "(other)";
  }
  return "?";
}

const char* EventName(DispId id) {
  const WireletMember* member = FindWireletMember(id, WireletMember::kEvent);
  return member != nullptr ? member->name : "?";
}

// A control created as the program creates it, driven late-bound by name.
class WireletTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control = Wirelet::Create([] { return std::make_unique<PollWatcher>(); },
                              [this] { destroyed = true; });
    sink = CallbackSink::Create([this](DispId id, std::span<Variant> args) {
      std::string line = EventName(id);
      for (Variant& arg : args) {
        EXPECT_TRUE(arg.IsRef());
        line += " " + Render(arg);
      }
      events.push_back(line);
      if (onEvent) onEvent(id, args);
    });
    ASSERT_EQ(control->Advise(sink, &cookie), kSOk);
  }
  void TearDown() override {
    if (control != nullptr) {
      control->Unadvise(cookie);
      control->Release();
    }
    sink->Release();
  }

  DispId Id(const std::string& name) {
    DispId id = kDispIdUnknown;
    EXPECT_EQ(control->GetIDsOfNames({&name, 1}, {&id, 1}), kSOk) << name;
    return id;
  }
  HResult Put(const std::string& name, Variant value) {
    return control->Invoke(Id(name), kDispatchPropertyPut, {&value, 1}, nullptr, &excep);
  }
  Variant Get(const std::string& name, HResult expected = kSOk) {
    Variant result;
    EXPECT_EQ(control->Invoke(Id(name), kDispatchPropertyGet, {}, &result, &excep), expected)
        << name;
    return result;
  }
  HResult Call(const std::string& name, std::vector<Variant> args = {}, Variant* result = nullptr) {
    return control->Invoke(Id(name), kDispatchMethod, args, result, &excep);
  }
  // Runs DoEvents until pred holds (5 s at most).
  bool PumpUntil(const std::function<bool()>& pred) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      control->DoEvents();
    }
    return true;
  }
  bool PumpUntilEvent(const std::string& line) {
    return PumpUntil([&] {
      for (const auto& e : events) {
        if (e == line) return true;
      }
      return false;
    });
  }
  void ConnectTo(uint16_t port) {
    ASSERT_EQ(Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(port)}), kSOk)
        << excep.description;
    ASSERT_TRUE(PumpUntilEvent("Connected 0 OK"));
  }

  Wirelet* control = nullptr;
  CallbackSink* sink = nullptr;
  uint32_t cookie = 0;
  bool destroyed = false;
  ExcepInfo excep;
  Lines events;
  std::function<void(DispId, std::span<Variant>)> onEvent;
};

TEST_F(WireletTest, DispatchIdentifiersAreFixed) {
  const std::pair<const char*, DispId> ids[] = {
      {"AcceptData", 1},
      {"BytesSent", 2},
      {"Connected", 3},
      {"DataToSend", 4},
      {"EOL", 5},
      {"FirewallHost", 6},
      {"FirewallPassword", 7},
      {"FirewallPort", 8},
      {"FirewallType", 9},
      {"FirewallUser", 10},
      {"KeepAlive", 11},
      {"Linger", 12},
      {"LocalHost", 13},
      {"LocalPort", 14},
      {"RemoteHost", 15},
      {"RemotePort", 16},
      {"SingleLineMode", 17},
      {"Timeout", 18},
      {"DataToSendB", 19},
      {"EOLB", 20},
      {"DataInTextB", 21},
      {"Config", 501},
      {"Connect", 502},
      {"Disconnect", 503},
      {"DoEvents", 504},
      {"GetLine", 505},
      {"Send", 506},
      {"SendLine", 507},
      {"sendline", 507},
  };
  for (const auto& [name, id] : ids) EXPECT_EQ(Id(name), id) << name;
  std::string unknown = "Nothing";
  DispId id = 0;
  EXPECT_EQ(control->GetIDsOfNames({&unknown, 1}, {&id, 1}), kDispEUnknownName);
  EXPECT_EQ(id, kDispIdUnknown);
  const std::pair<const char*, DispId> eventIds[] = {{"Connected", 1}, {"ConnectionStatus", 2},
                                                     {"DataIn", 3},    {"Disconnected", 4},
                                                     {"Error", 5},     {"ReadyToSend", 6}};
  for (const auto& [name, eventId] : eventIds) {
    const WireletMember* member = FindWireletMember(eventId, WireletMember::kEvent);
    ASSERT_NE(member, nullptr);
    EXPECT_STREQ(member->name, name);
  }
}

TEST_F(WireletTest, FreshControlHasTheDefaults) {
  const std::pair<const char*, Variant> defaults[] = {
      {"AcceptData", Variant::Bool(true)},
      {"BytesSent", Variant::I4(0)},
      {"Connected", Variant::Bool(false)},
      {"EOL", Variant::String("")},
      {"FirewallHost", Variant::String("")},
      {"FirewallPassword", Variant::String("")},
      {"FirewallPort", Variant::I4(80)},
      {"FirewallType", Variant::I4(fwNone)},
      {"FirewallUser", Variant::String("")},
      {"KeepAlive", Variant::Bool(false)},
      {"Linger", Variant::Bool(true)},
      {"LocalPort", Variant::I4(0)},
      {"RemoteHost", Variant::String("")},
      {"RemotePort", Variant::I4(0)},
      {"SingleLineMode", Variant::Bool(false)},
      {"Timeout", Variant::I2(0)},
      {"EOLB", Variant()},
      {"DataInTextB", Variant()},
  };
  for (const auto& [name, value] : defaults) EXPECT_EQ(Get(name), value) << name;
  Variant result;
  ASSERT_EQ(Call("Config", {Variant::String("maxlinelength")}, &result), kSOk);
  EXPECT_EQ(result, Variant::String("2048"));
}

TEST_F(WireletTest, PropertyAccessErrors) {
  EXPECT_EQ(Get("DataToSend", MakeHResult(0x800A018Au)), Variant());
  EXPECT_EQ(excep.description, "Property is write-only.");
  EXPECT_EQ(excep.source, "Wirekit.Wirelet.1");
  EXPECT_EQ(excep.helpContext, 21104u);
  EXPECT_EQ(Put("BytesSent", Variant::I4(5)), MakeHResult(0x800A017Fu));
  EXPECT_EQ(excep.description, "Property is read-only.");
  EXPECT_EQ(Put("DataInTextB", Variant::Bytes({1})), MakeHResult(0x800A017Fu));
  EXPECT_EQ(Put("DataToSendB", Variant::String("abc")), MakeHResult(0x800A017Cu));
  EXPECT_EQ(excep.description, "Property accepts only one-dimensional byte arrays.");
  EXPECT_EQ(Put("EOLB", Variant::I4(13)), MakeHResult(0x800A017Cu));
  EXPECT_EQ(excep.description, "Property accepts only one-dimensional byte arrays.");
  EXPECT_EQ(Put("RemotePort", Variant::String("port")), kDispETypeMismatch);
  EXPECT_EQ(Put("Timeout", Variant::I4(40000)), kDispEOverflow);
  EXPECT_EQ(Call("Connect", {Variant::String("x")}), kDispEBadParamCount);
}

TEST_F(WireletTest, FirewallTypeOutOfRangeIsRefusedAndSocksSetsPort1080) {
  EXPECT_EQ(Put("FirewallType", Variant::I4(4)), MakeHResult(0x800A017Cu));
  EXPECT_EQ(excep.description, "Value is out of range.");
  EXPECT_EQ(excep.helpContext, 21109u);
  EXPECT_EQ(Get("FirewallType"), Variant::I4(fwNone));
  EXPECT_EQ(Put("FirewallType", Variant::I4(-1)), MakeHResult(0x800A017Cu));
  ASSERT_EQ(Put("FirewallType", Variant::I4(fwSOCKS4)), kSOk);
  EXPECT_EQ(Get("FirewallPort"), Variant::I4(1080));
  ASSERT_EQ(Put("FirewallType", Variant::I4(fwTunnel)), kSOk);
  EXPECT_EQ(Get("FirewallPort"), Variant::I4(80));
}

TEST_F(WireletTest, PortsOutside16BitsAreRefused) {
  for (const char* name : {"RemotePort", "LocalPort", "FirewallPort"}) {
    EXPECT_EQ(Put(name, Variant::I4(65536)), MakeHResult(0x800A017Cu)) << name;
    EXPECT_EQ(Put(name, Variant::I4(-1)), MakeHResult(0x800A017Cu)) << name;
    EXPECT_EQ(Put(name, Variant::I4(65535)), kSOk) << name;
  }
  EXPECT_EQ(Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(70000)}),
            MakeHResult(0x800A017Cu));
}

TEST_F(WireletTest, ConfigLimitsAndUnknownSetting) {
  Variant result;
  ASSERT_EQ(Call("Config", {Variant::String("MaxLineLength=100000")}, &result), kSOk);
  ASSERT_EQ(Call("Config", {Variant::String("MAXLINELENGTH")}, &result), kSOk);
  EXPECT_EQ(result, Variant::String("65536"));
  EXPECT_EQ(Call("Config", {Variant::String("Bogus")}, &result), MakeHResult(0x800A4E20u));
  EXPECT_EQ(excep.description, "Unknown config setting.");
  EXPECT_EQ(excep.helpContext, 41101u);
  EXPECT_EQ(excep.helpFile, kWireletHelpFile);
  std::optional<ErrorInfo> info = TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->description, "Unknown config setting.");
  // The next member call clears the error information.
  SetErrorInfo(info);
  Get("RemotePort");
  EXPECT_FALSE(TakeErrorInfo());
}

TEST_F(WireletTest, ComponentCodesMapOntoHResults) {
  const std::pair<int, uint32_t> cases[] = {
      {-1, 0x800A4E20u},    {104, 0x800A4E89u},   {116, 0x800A4E95u},   {301, 0x800A4F4Eu},
      {10061, 0x800A61E6u}, {10057, 0x800A61E2u}, {11001, 0x800A6592u}, {200, 0x800A0007u},
  };
  for (const auto& [code, hr] : cases) EXPECT_EQ(WireletCodeToHResult(code), MakeHResult(hr));
}

TEST_F(WireletTest, SendBeforeConnectAndPortZero) {
  EXPECT_EQ(Call("Send", {Variant::String("x")}), MakeHResult(0x800A61E2u));
  EXPECT_EQ(excep.description, "[10057] Socket is not connected");
  EXPECT_EQ(excep.helpContext, 41106u);
  EXPECT_EQ(Put("DataToSend", Variant::String("x")), MakeHResult(0x800A61E2u));
  EXPECT_EQ(excep.helpContext, 21104u);
  EXPECT_EQ(Put("RemoteHost", Variant::String("127.0.0.1")), kSOk);
  EXPECT_EQ(Put("Connected", Variant::Bool(true)), MakeHResult(0x800A4E95u));
  EXPECT_EQ(excep.description,
            "[116] RemotePort can't be zero. Please specify a valid service port number.");
  Variant handle;
  ASSERT_EQ(Call("Config", {Variant::String("SocketHandle")}, &handle), kSOk);
  EXPECT_EQ(handle, Variant::String("-1"));
}

TEST_F(WireletTest, RefusedConnect_ConnectedEventCarriesTheCode) {
  ASSERT_EQ(
      Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(testing::UnusedLoopbackPort())}),
      kSOk);
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, Lines{"Connected 10061 [10061] Connection refused"});
}

TEST_F(WireletTest, WaitingConnectRefused_RaisesTheCode) {
  ASSERT_EQ(Put("Timeout", Variant::I2(2)), kSOk);
  EXPECT_EQ(
      Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(testing::UnusedLoopbackPort())}),
      MakeHResult(0x800A61E6u));
  EXPECT_EQ(excep.description, "[10061] Connection refused");
}

TEST_F(WireletTest, AlreadyConnected_Raises20105) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ConnectTo(server.Port());
  EXPECT_EQ(Put("Connected", Variant::Bool(true)), MakeHResult(0x800A4E89u));
  EXPECT_EQ(excep.description,
            "[104] Already connected. If you want to reconnect, close the current connection "
            "first.");
  EXPECT_EQ(Put("RemotePort", Variant::I4(1)), WireletCodeToHResult(100));
  EXPECT_EQ(Get("Connected"), Variant::Bool(true));
  EXPECT_EQ(Get("RemoteHost"), Variant::String("127.0.0.1"));
  EXPECT_EQ(Get("LocalHost"), Variant::String("127.0.0.1"));
  EXPECT_EQ(Call("Disconnect"), kSOk);
  EXPECT_EQ(Get("Connected"), Variant::Bool(false));
  EXPECT_EQ(events.back(), "Disconnected 0 OK");
}

TEST_F(WireletTest, WaitingDisconnectAfterAResetConnection_RaisesNoError) {
  LoopbackServer server(
      [count = 0](Peer& peer) mutable {
        if (count++ == 0) {
          peer.ReceiveExactly(1);
          peer.Reset();
          return;
        }
        peer.WaitClosed();
      },
      2);
  ConnectTo(server.Port());
  ASSERT_EQ(Call("Send", {Variant::String("x")}), kSOk);
  ASSERT_TRUE(PumpUntilEvent("Disconnected 10054 [10054] Connection reset by peer"));
  ASSERT_EQ(Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(server.Port())}), kSOk);
  ASSERT_EQ(Put("Timeout", Variant::I2(2)), kSOk);
  EXPECT_EQ(Call("Disconnect"), kSOk) << excep.description;
  EXPECT_EQ(Get("Connected"), Variant::Bool(false));
}

TEST_F(WireletTest, DataInTextCarriesTheBytesOnlyDuringTheEvent) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("\xe9t\xe9\r\n");
    peer.WaitClosed();
  });
  std::vector<Variant> during;
  onEvent = [&](DispId id, std::span<Variant>) {
    if (id == kEventDataIn) during.push_back(Get("DataInTextB"));
  };
  ASSERT_EQ(Put("EOLB", Variant::Bytes({'\r', '\n'})), kSOk);
  EXPECT_EQ(Get("EOL"), Variant::String("\r\n"));
  ConnectTo(server.Port());
  ASSERT_TRUE(PumpUntilEvent("DataIn \xc3\xa9t\xc3\xa9 True"));
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0], Variant::Bytes({0xE9, 't', 0xE9}));
  EXPECT_EQ(Get("DataInTextB"), Variant());
}

TEST_F(WireletTest, CodePageConvertsSentAndReceivedText) {
  std::string received;
  LoopbackServer server([&](Peer& peer) {
    received = peer.ReceiveExactly(5);
    peer.Send("\xc3\xa9");
  });
  Variant result;
  ASSERT_EQ(Call("Config", {Variant::String("CodePage=1252")}, &result), kSOk);
  ConnectTo(server.Port());
  ASSERT_EQ(Call("Send", {Variant::String("\xc3\xa9")}), kSOk);
  ASSERT_EQ(Call("Config", {Variant::String("CodePage=65001")}, &result), kSOk);
  ASSERT_EQ(Call("SendLine", {Variant::String("\xc3\xa9")}), kSOk);
  EXPECT_EQ(Get("BytesSent"), Variant::I4(4));
  ASSERT_TRUE(PumpUntilEvent("DataIn \xc3\xa9 True"));
  server.Join();
  EXPECT_EQ(received, "\xe9\xc3\xa9\r\n");
}

// The peer ends the connection while the client takes no data.
struct ControlCloseCase {
  const char* name;
  bool reset;
  std::string disconnected;
};

void PrintTo(const ControlCloseCase& c, std::ostream* os) { *os << c.name; }

class WireletPeerCloseTest : public WireletTest,
                             public ::testing::WithParamInterface<ControlCloseCase> {};

TEST_P(WireletPeerCloseTest, AcceptDataOff_ConnectedTurnsFalseWithTheCloseCode) {
  const ControlCloseCase& c = GetParam();
  LoopbackServer server([&](Peer& peer) {
    peer.ReceiveExactly(1);
    peer.Send("last\r\n");
    if (c.reset) {
      peer.Reset();
    } else {
      peer.Close();
    }
  });
  ASSERT_EQ(Put("EOL", Variant::String("\r\n")), kSOk);
  ConnectTo(server.Port());
  ASSERT_EQ(Put("AcceptData", Variant::Bool(false)), kSOk);
  ASSERT_EQ(Call("Send", {Variant::String("x")}), kSOk);
  ASSERT_TRUE(PumpUntil([&] { return Get("Connected") == Variant::Bool(false); }))
      << ::testing::PrintToString(events);
  EXPECT_EQ(events.back(), c.disconnected);
  if (!c.reset) {
    EXPECT_TRUE(PumpUntilEvent("DataIn last True"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, WireletPeerCloseTest,
    ::testing::Values(ControlCloseCase{"NormalClose", false, "Disconnected 0 OK"},
                      ControlCloseCase{"Reset", true,
                                       "Disconnected 10054 [10054] Connection reset by peer"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each page as the system converts it, sent and received through the control.
struct ControlPageCase {
  const char* name;
  const char* setting;
  std::string text;
  std::string bytes;
};

void PrintTo(const ControlPageCase& c, std::ostream* os) { *os << c.name; }

class WireletCodePageTest : public WireletTest,
                            public ::testing::WithParamInterface<ControlPageCase> {};

TEST_P(WireletCodePageTest, SendsAndReceivesThePagesBytes) {
  const ControlPageCase& c = GetParam();
  std::string received;
  LoopbackServer server([&](Peer& peer) {
    received = peer.ReceiveExactly(c.bytes.size());
    peer.Send(c.bytes);
    peer.WaitClosed();
  });
  Variant result;
  ASSERT_EQ(Call("Config", {Variant::String(c.setting)}, &result), kSOk);
  ConnectTo(server.Port());
  ASSERT_EQ(Call("Send", {Variant::String(c.text)}), kSOk);
  EXPECT_TRUE(PumpUntilEvent("DataIn " + c.text + " True"));
  server.Join();
  EXPECT_EQ(received, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WireletCodePageTest,
    ::testing::Values(
        ControlPageCase{"Cyrillic", "CodePage=1251", "\xD0\x9F\xD1\x80\xD0\xB8", "\xCF\xF0\xE8"},
        ControlPageCase{"Japanese", "CodePage=932", "\xE6\x97\xA5\xE6\x9C\xAC", "\x93\xFA\x96\x7B"},
        ControlPageCase{"Koi8", "codepage=20866", "\xD0\x9F\xD1\x80\xD0\xB8", "\xF0\xD2\xC9"},
        ControlPageCase{"Oem", "CodePage=437", "\xC3\xA9\xE2\x96\x91", "\x82\xB0"},
        ControlPageCase{"UnknownPageActsAsWindows1252", "CodePage=12345", "\xE2\x82\xAC", "\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WireletTest, ConfigKeepsAnyCodePageNumber) {
  Variant result;
  for (const char* value : {"12345", "-7", "0"}) {
    ASSERT_EQ(Call("Config", {Variant::String(std::string("CodePage=") + value)}, &result), kSOk);
    ASSERT_EQ(Call("Config", {Variant::String("CodePage")}, &result), kSOk);
    EXPECT_EQ(result, Variant::String(value));
  }
}

// A control created while the program's locale is Japanese (Shift_JIS). No
// such locale ships here, so the test builds one of its own.
TEST(WireletLocaleTest, JapaneseAnsiCodePage_SetsCharsetModeAndPageZeroReadsShiftJis) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "wirelet-locale";
  std::filesystem::create_directories(dir);
  const std::string command = "localedef -f SHIFT_JIS -i ja_JP --no-warnings=ascii '" +
                              (dir / "ja_JP.SJIS").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot build ja_JP.SJIS";
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  setenv("LOCPATH", dir.c_str(), 1);
  const bool japanese = std::setlocale(LC_CTYPE, "ja_JP.SJIS") != nullptr;
  std::string charsetMode;
  std::string text;
  if (japanese) {
    Wirelet* control = Wirelet::Create([] { return std::make_unique<PollWatcher>(); });
    EXPECT_EQ(control->Config("CharsetMode", &charsetMode), kSOk);
    text = control->DecodeText("\x93\xFA");
    control->Release();
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  if (!japanese) GTEST_SKIP() << "the built locale could not be chosen";
  EXPECT_EQ(charsetMode, "1");
  EXPECT_EQ(text, "\xE6\x97\xA5");

  Wirelet* control = Wirelet::Create([] { return std::make_unique<PollWatcher>(); });
  EXPECT_EQ(control->Config("CharsetMode", &charsetMode), kSOk);
  EXPECT_EQ(charsetMode, "0");
  control->Release();
}

TEST_F(WireletTest, SendBytesAndSendWithoutConversion) {
  std::string received;
  LoopbackServer server([&](Peer& peer) { received = peer.ReceiveExactly(4); });
  ConnectTo(server.Port());
  ASSERT_EQ(Put("DataToSendB", Variant::Bytes({0, 0xFF, '\r', 0x80})), kSOk);
  EXPECT_EQ(Get("BytesSent"), Variant::I4(4));
  server.Join();
  EXPECT_EQ(received, "\0\xff\r\x80"s);
}

TEST_F(WireletTest, HandlerChangesToArgumentsAreIgnored) {
  std::vector<std::string> seenBySecond;
  CallbackSink* second = CallbackSink::Create([&](DispId, std::span<Variant> args) {
    if (!args.empty()) seenBySecond.push_back(Render(args[0]));
  });
  uint32_t secondCookie = 0;
  ASSERT_EQ(control->Advise(second, &secondCookie), kSOk);
  onEvent = [](DispId, std::span<Variant> args) {
    for (Variant& arg : args) arg.Target() = Variant::String("changed");
  };
  ASSERT_EQ(
      Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(testing::UnusedLoopbackPort())}),
      kSOk);
  ASSERT_TRUE(PumpUntil([&] { return !seenBySecond.empty(); }));
  EXPECT_EQ(seenBySecond, Lines{"10061"});
  EXPECT_EQ(control->Unadvise(secondCookie), kSOk);
  EXPECT_EQ(control->Unadvise(secondCookie), kConnectENoConnection);
  second->Release();
}

TEST_F(WireletTest, DesignModeRefusesReadingRunTimeOnlyProperties) {
  control->SetDesignMode(true);
  for (const char* name :
       {"AcceptData", "BytesSent", "Connected", "SingleLineMode", "DataInTextB"}) {
    Get(name, MakeHResult(0x800A018Au));
    EXPECT_EQ(excep.description, "Property is runtime only (no supported in design time).") << name;
  }
  EXPECT_EQ(Get("RemotePort"), Variant::I4(0));
  EXPECT_EQ(Put("AcceptData", Variant::Bool(false)), kSOk);
  control->SetDesignMode(false);
  EXPECT_EQ(Get("AcceptData"), Variant::Bool(false));
}

TEST_F(WireletTest, LastReleaseInsideAnEventDefersDestruction) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("bye");
    peer.WaitClosed();
  });
  ConnectTo(server.Port());
  onEvent = [&](DispId id, std::span<Variant>) {
    if (id != kEventDataIn || control == nullptr) return;
    control->Unadvise(cookie);
    control->Release();
    EXPECT_FALSE(destroyed);
  };
  Wirelet* alive = control;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!destroyed && std::chrono::steady_clock::now() < end) {
    if (events.back() == "DataIn bye True") control = nullptr;
    alive->DoEvents();
  }
  EXPECT_TRUE(destroyed);
  control = nullptr;
}

TEST_F(WireletTest, PersistedPropertiesRoundTripThroughAPropertyBag) {
  ASSERT_EQ(Put("Timeout", Variant::I2(7)), kSOk);
  ASSERT_EQ(Put("RemoteHost", Variant::String("127.0.0.1")), kSOk);
  ASSERT_EQ(Put("RemotePort", Variant::I4(5001)), kSOk);
  ASSERT_EQ(Put("LocalPort", Variant::I4(4000)), kSOk);
  ASSERT_EQ(Put("Linger", Variant::Bool(false)), kSOk);
  ASSERT_EQ(Put("KeepAlive", Variant::Bool(true)), kSOk);
  ASSERT_EQ(Put("FirewallType", Variant::I4(fwSOCKS5)), kSOk);
  ASSERT_EQ(Put("FirewallPort", Variant::I4(1090)), kSOk);
  ASSERT_EQ(Put("FirewallHost", Variant::String("127.0.0.1")), kSOk);
  ASSERT_EQ(Put("FirewallUser", Variant::String("op")), kSOk);
  ASSERT_EQ(Put("FirewallPassword", Variant::String("pw")), kSOk);
  MemoryPropertyBag bag;
  ASSERT_EQ(control->Save(bag), kSOk);
  EXPECT_EQ(bag.Values().size(), 11u);

  Wirelet* copy = Wirelet::Create([] { return std::make_unique<PollWatcher>(); });
  ASSERT_EQ(copy->Load(bag), kSOk);
  MemoryPropertyBag again;
  ASSERT_EQ(copy->Save(again), kSOk);
  EXPECT_EQ(again.Values(), bag.Values());
  int32_t port = 0;
  ASSERT_EQ(copy->GetFirewallPort(&port), kSOk);
  EXPECT_EQ(port, 1090);
  std::string host;
  ASSERT_EQ(copy->GetRemoteHost(&host), kSOk);
  EXPECT_EQ(host, "127.0.0.1");
  copy->Release();
}

TEST_F(WireletTest, QueryInterfaceGivesEveryInterfaceOfOneObject) {
  ComPtr<IDispatch> dispatch;
  ComPtr<IConnectionPoint> point;
  ComPtr<IPersistPropertyBag> persist;
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(control->QueryInterface(kIidIWirelet, dispatch.Out()), kSOk);
  EXPECT_EQ(control->QueryInterface(kIidConnectionPoint, point.Out()), kSOk);
  EXPECT_EQ(control->QueryInterface(kIidPersistPropertyBag, persist.Out()), kSOk);
  EXPECT_EQ(control->QueryInterface(kIidUnknown, unknown.Out()), kSOk);
  ComPtr<IUnknown> none;
  EXPECT_EQ(control->QueryInterface(kIidClassFactory, none.Out()), kENoInterface);
  EXPECT_FALSE(none);
  EXPECT_EQ(control->QueryInterface(kIidDispatch, nullptr), kEPointer);
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(unknown.Get()));
}

TEST_F(WireletTest, GetLineThroughTheInterface) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("~AC\r\n");
    peer.WaitClosed();
  });
  ASSERT_EQ(Put("Timeout", Variant::I2(3)), kSOk);
  ASSERT_EQ(Call("Connect", {Variant::String("127.0.0.1"), Variant::I4(server.Port())}), kSOk);
  Variant line;
  ASSERT_EQ(Call("GetLine", {}, &line), kSOk) << excep.description;
  EXPECT_EQ(line, Variant::String("~AC"));
  ASSERT_EQ(Put("Timeout", Variant::I2(0)), kSOk);
  EXPECT_EQ(Call("GetLine", {}, &line), WireletCodeToHResult(301));
  EXPECT_EQ(excep.description, "GetLine requires a positive Timeout value.");
}

}  // namespace
}  // namespace torvane
