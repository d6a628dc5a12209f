#include "SocketEngine.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "EngineRecorder.h"
#include "ErrorCodes.h"
#include "LoopbackServer.h"
#include "PeerCloseCases.h"
#include "SocketApi.h"

namespace torvane {
namespace {

using namespace std::string_literals;
using testing::EngineRecorder;
using testing::LoopbackServer;
using testing::Peer;
using testing::Signal;

using Lines = std::vector<std::string>;

class SocketEngineTest : public ::testing::Test {
 protected:
  SocketEngine& Engine() { return *rec.engine; }

  // Asynchronous connect to the server, pumped until Connected fires.
  void ConnectTo(uint16_t port) {
    ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
    ASSERT_EQ(Engine().SetRemotePort(port), 0);
    ASSERT_EQ(Engine().Connect(), 0);
    ASSERT_TRUE(rec.PumpUntilLogged("Connected 0 OK")) << ::testing::PrintToString(rec.log);
  }

  EngineRecorder rec;
};

TEST_F(SocketEngineTest, Connect_FiresStatusThenConnectedThenReadyToSend) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ConnectTo(server.Port());
  EXPECT_EQ(rec.log, (Lines{"Status Remote host connection complete. 0 OK", "Connected 0 OK"}));
  EXPECT_TRUE(Engine().Connected());
  EXPECT_TRUE(rec.PumpUntil([&] { return rec.readyToSend == 1; }));
  EXPECT_EQ(Engine().RemoteHost(), "127.0.0.1");
  EXPECT_EQ(Engine().LocalHost(), "127.0.0.1");
  EXPECT_NE(Engine().LocalPort(), 0);
  EXPECT_GE(Engine().SocketHandle(), 0);
}

TEST_F(SocketEngineTest, ConnectToClosedPort_ConnectedCarries10061AndNoSocketRemains) {
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(testing::UnusedLoopbackPort()), 0);
  ASSERT_EQ(Engine().Connect(), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.log.empty(); }));
  EXPECT_EQ(rec.log, Lines{"Connected 10061 [10061] Connection refused"});
  EXPECT_EQ(Engine().SocketHandle(), -1);
  EXPECT_FALSE(Engine().Connected());
}

TEST_F(SocketEngineTest, HandlerMayConnectAgainFromAFailedConnected) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  uint16_t closedPort = testing::UnusedLoopbackPort();
  rec.onConnected = [&](int code) {
    if (code == 0) return;
    EXPECT_EQ(Engine().SetRemotePort(server.Port()), 0);
    EXPECT_EQ(Engine().Connect(), 0);
  };
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(closedPort), 0);
  ASSERT_EQ(Engine().Connect(), 0);
  EXPECT_TRUE(rec.PumpUntilLogged("Connected 0 OK"));
}

TEST_F(SocketEngineTest, EmptyEol_TwoReadsGiveTwoChunksWithEolTrue) {
  Signal firstSeen;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("AB");
    firstSeen.Wait();
    peer.Send("CD");
    peer.WaitClosed();
  });
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn AB 1"));
  firstSeen.Notify();
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn CD 1"));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn AB 1", "DataIn CD 1"}));
}

TEST_F(SocketEngineTest, CrLfMarker_3000BytesWithoutMarker_Gives2048ThenWaits) {
  Signal checked;
  LoopbackServer server([&](Peer& peer) {
    peer.Send(std::string(3000, 'x'));
    checked.Wait();
    peer.Send("yz\r\n");
    peer.WaitClosed();
  });
  Engine().SetEol("\r\n");
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn " + std::string(2048, 'x') + " 0"));
  rec.PumpUntil([] { return false; }, 100);
  EXPECT_EQ(rec.Only("DataIn").size(), 1u);
  checked.Notify();
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn " + std::string(952, 'x') + "yz 1"));
}

TEST_F(SocketEngineTest, SplitCrLf_PairSplitAcrossReadsGivesNoEmptyLine) {
  Signal firstSeen;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("A\r");
    firstSeen.Wait();
    peer.Send("\nB\n");
    peer.WaitClosed();
  });
  std::string result;
  ASSERT_EQ(Engine().Config("SplitCRLF=True", result), 0);
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn A 1"));
  firstSeen.Notify();
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn B 1"));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn A 1", "DataIn B 1"}));
}

TEST_F(SocketEngineTest, PeerClose_DeliversLinesThenRestThenDisconnected) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("one\r\ntwo\r\nrest");
    peer.Close();
  });
  Engine().SetEol("\r\n");
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn one 1", "DataIn two 1", "DataIn rest 0"}));
  EXPECT_EQ(rec.log.back(), "Disconnected 0 OK");
  EXPECT_TRUE(rec.Logged("Status Remote host disconnected. 0 OK"));
  EXPECT_EQ(Engine().SocketHandle(), -1);
}

TEST_F(SocketEngineTest, PeerReset_DisconnectedCarries10054) {
  LoopbackServer server([](Peer& peer) {
    peer.ReceiveExactly(1);  // the client has surely connected
    peer.Reset();
  });
  ConnectTo(server.Port());
  ASSERT_EQ(Engine().Send("x"), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 10054 [10054] Connection reset by peer"});
  EXPECT_TRUE(rec.Only("Error").empty());
}

using testing::PeerCloseCase;

class PeerCloseTest : public SocketEngineTest,
                      public ::testing::WithParamInterface<PeerCloseCase> {};

TEST_P(PeerCloseTest, EndsTheConnectionWithTheCloseCode) {
  const PeerCloseCase& c = GetParam();
  Signal connected;
  LoopbackServer server([&](Peer& peer) {
    connected.Wait();
    peer.Send("one\r\nrest");
    if (c.reset) {
      peer.ReceiveExactly(1);  // the client's byte is read: the reset carries no data of its own
      peer.Reset();
    } else {
      peer.Close();
    }
  });
  Engine().SetEol("\r\n");
  ConnectTo(server.Port());
  Engine().SetAcceptData(c.acceptData);
  if (c.reset) {
    ASSERT_EQ(Engine().Send("x"), 0);
  }
  connected.Notify();
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }))
      << ::testing::PrintToString(rec.log);
  rec.PumpUntil([] { return false; }, 100);
  if (!c.dataIn.empty()) {
    EXPECT_EQ(rec.Only("DataIn"), c.dataIn);
  }
  EXPECT_EQ(rec.Only("Disconnected"), Lines{c.disconnected});
  EXPECT_FALSE(Engine().Connected());
  EXPECT_EQ(Engine().SocketHandle(), kNoSocket);
  EXPECT_TRUE(rec.Only("Error").empty());
}

INSTANTIATE_TEST_SUITE_P(Ends, PeerCloseTest, ::testing::ValuesIn(testing::kPeerCloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// More than the line buffer holds waits in the system's buffer; the close
// behind it is still seen.
TEST_F(SocketEngineTest, PeerCloseWhileAcceptDataIsOffAndTheLineBufferIsFull_DeliversAll) {
  Signal connected;
  LoopbackServer server([&](Peer& peer) {
    connected.Wait();
    peer.Send("abcdefghij\r\nk");
    peer.Close();
  });
  std::string ignored;
  ASSERT_EQ(Engine().Config("MaxLineLength=4", ignored), 0);
  Engine().SetEol("\r\n");
  ConnectTo(server.Port());
  Engine().SetAcceptData(false);
  connected.Notify();
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }))
      << ::testing::PrintToString(rec.log);
  EXPECT_EQ(rec.Only("DataIn"),
            (Lines{"DataIn abcd 0", "DataIn efgh 0", "DataIn ij 1", "DataIn k 0"}));
  EXPECT_EQ(rec.log.back(), "Disconnected 0 OK");
}

TEST_F(SocketEngineTest, CloseToldWithACode_DeliversEverythingAndDisconnectsWithIt) {
  Signal sent;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("a\r\nb");
    sent.Notify();
    peer.WaitClosed();
  });
  Engine().SetEol("\r\n");
  Engine().SetAcceptData(false);
  ConnectTo(server.Port());
  ASSERT_TRUE(sent.Wait());
  rec.PumpUntil([] { return false; }, 100);
  ASSERT_TRUE(rec.Only("DataIn").empty());
  Engine().OnClosed(10052);
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn a 1", "DataIn b 0"}));
  EXPECT_EQ(rec.log.back(), "Disconnected 10052 [10052] Net dropped connection or reset");
  EXPECT_TRUE(
      rec.Logged("Status Remote host disconnected. 10052 [10052] Net dropped connection or reset"));
  EXPECT_FALSE(Engine().Connected());
}

TEST_F(SocketEngineTest, DisconnectInsideDataIn_ClosesAfterThePassAndFiresOnce) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("L1\r\nL2\r\nL3");
    peer.WaitClosed();
  });
  Engine().SetEol("\r\n");
  int handleDuringHandler = -2;
  rec.onDataIn = [&](std::string_view bytes, bool) {
    if (bytes != "L1") return;
    EXPECT_EQ(Engine().Disconnect(), 0);
    handleDuringHandler = Engine().SocketHandle();
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  EXPECT_GE(handleDuringHandler, 0);
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn L1 1", "DataIn L2 1", "DataIn L3 0"}));
  rec.PumpUntil([] { return false; }, 100);
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
}

// How a waiting Disconnect meets the socket it closes.
enum class DisconnectRoute { kConnected, kStillConnecting, kInsideDataIn };

const char* RouteName(DisconnectRoute route) {
  switch (route) {
    case DisconnectRoute::kConnected:
      return "Connected";
    case DisconnectRoute::kStillConnecting:
      return "StillConnecting";
    case DisconnectRoute::kInsideDataIn:
      return "InsideDataIn";
  }
  return "Unknown";
}

void PrintTo(DisconnectRoute route, std::ostream* os) { *os << RouteName(route); }

class WaitingDisconnectTest : public SocketEngineTest,
                              public ::testing::WithParamInterface<DisconnectRoute> {};

TEST_P(WaitingDisconnectTest, AfterAResetConnection_ReturnsItsOwnResult) {
  LoopbackServer server(
      [count = 0](Peer& peer) mutable {
        if (count++ == 0) {
          peer.ReceiveExactly(1);
          peer.Reset();
          return;
        }
        peer.Send("L1\r\nL2\r\n");
        peer.WaitClosed();
      },
      2);
  Engine().SetEol("\r\n");
  ConnectTo(server.Port());
  ASSERT_EQ(Engine().Send("x"), 0);
  ASSERT_TRUE(rec.PumpUntilLogged("Disconnected 10054 [10054] Connection reset by peer"));
  rec.log.clear();

  int rc = -1;
  switch (GetParam()) {
    case DisconnectRoute::kConnected:
      Engine().SetTimeout(2);
      ASSERT_EQ(Engine().Connect(), 0);
      rc = Engine().Disconnect();
      break;
    case DisconnectRoute::kStillConnecting:
      ASSERT_EQ(Engine().Connect(), 0);
      ASSERT_FALSE(Engine().Connected());
      Engine().SetTimeout(2);
      rc = Engine().Disconnect();
      break;
    case DisconnectRoute::kInsideDataIn:
      Engine().SetTimeout(2);
      rec.onDataIn = [&](std::string_view bytes, bool) {
        if (bytes == "L1") rc = Engine().Disconnect();
      };
      ASSERT_EQ(Engine().Connect(), 0);
      ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
      break;
  }
  EXPECT_EQ(rc, 0) << Engine().ErrorText();
  EXPECT_EQ(Engine().SocketHandle(), -1);
  // A connect that never completed closes without events.
  EXPECT_EQ(rec.Only("Disconnected"),
            GetParam() == DisconnectRoute::kStillConnecting ? Lines{} : Lines{"Disconnected 0 OK"});
}

INSTANTIATE_TEST_SUITE_P(Routes, WaitingDisconnectTest,
                         ::testing::Values(DisconnectRoute::kConnected,
                                           DisconnectRoute::kStillConnecting,
                                           DisconnectRoute::kInsideDataIn),
                         [](const auto& info) { return RouteName(info.param); });

TEST_F(SocketEngineTest, LocalDisconnect_PeerSeesNormalCloseOrResetByLinger) {
  for (bool linger : {true, false}) {
    SCOPED_TRACE(linger ? "Linger True" : "Linger False");
    std::atomic<int> closeResult{-2};
    Signal received;
    LoopbackServer server([&](Peer& peer) {
      peer.ReceiveExactly(1);
      received.Notify();
      closeResult = peer.WaitClosed();
    });
    rec.log.clear();
    Engine().SetLinger(linger);
    ConnectTo(server.Port());
    ASSERT_EQ(Engine().Send("q"), 0);
    ASSERT_TRUE(received.Wait());
    EXPECT_EQ(Engine().Disconnect(), 0);
    server.Join();
    EXPECT_EQ(closeResult.load(), linger ? 0 : ECONNRESET);
    EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
  }
}

TEST_F(SocketEngineTest, SendBeforeConnect_Fails10057) {
  EXPECT_EQ(Engine().Send("hello"), kWsaNotConnected);
  EXPECT_EQ(Engine().SendLine("hello"), kWsaNotConnected);
}

int socketCalls = 0;
SocketHandle CountingSocket(int family, int type, int protocol) {
  ++socketCalls;
  return SystemSocketApi().socket(family, type, protocol);
}

TEST_F(SocketEngineTest, RemotePortZero_Fails116WithoutCreatingASocket) {
  ScopedSocketFunction counting(&SocketApi::socket, &CountingSocket);
  socketCalls = 0;
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  EXPECT_EQ(Engine().Connect(), kErrPortZero);
  EXPECT_EQ(socketCalls, 0);
  EXPECT_EQ(Engine().SetRemoteHost(""), 0);
  ASSERT_EQ(Engine().SetRemotePort(5), 0);
  EXPECT_EQ(Engine().Connect(), kErrAddressInvalid);
  EXPECT_EQ(Engine().SetRemoteHost("0.0.0.0"), 0);
  EXPECT_EQ(Engine().Connect(), kErrAddressInvalid);
  EXPECT_EQ(socketCalls, 0);
  EXPECT_TRUE(rec.log.empty());
}

TEST_F(SocketEngineTest, WhileASocketExists_AddressesAndLineLengthAreRefused) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ConnectTo(server.Port());
  std::string result;
  EXPECT_EQ(Engine().Connect(), kErrAlreadyConnected);
  EXPECT_EQ(Engine().SetRemoteHost("127.0.0.2"), kErrRemoteHostBusy);
  EXPECT_EQ(Engine().SetRemotePort(1), kErrRemotePortBusy);
  EXPECT_EQ(Engine().SetLocalPort(1), kErrLocalPortBusy);
  EXPECT_EQ(Engine().Config("MaxLineLength=10", result), kErrMaxLineBusy);
  EXPECT_EQ(Engine().Config("MaxLineLength", result), 0);
  EXPECT_EQ(result, "2048");
  EXPECT_EQ(Engine().RemotePort(), server.Port());
}

// Bytes the line buffer holds when Connected = True is written on a live
// connection, and what the connection delivers once more bytes come.
struct HeldBytesCase {
  const char* name;
  const char* first;
  bool holdAfterFirstLine;  // AcceptData False in the handler of line "a"
  const char* second;
  Lines delivered;
};

void PrintTo(const HeldBytesCase& c, std::ostream* os) { *os << c.name; }

class ConnectWhileConnectedTest : public SocketEngineTest,
                                  public ::testing::WithParamInterface<HeldBytesCase> {};

TEST_P(ConnectWhileConnectedTest, Fails104AndLosesNoHeldBytes) {
  const HeldBytesCase& c = GetParam();
  Signal refused;
  LoopbackServer server([&](Peer& peer) {
    peer.Send(c.first);
    refused.Wait();
    peer.Send(c.second);
    peer.WaitClosed();
  });
  Engine().SetEol("\r\n");
  rec.onDataIn = [&](std::string_view bytes, bool) {
    if (c.holdAfterFirstLine && bytes == "a") Engine().SetAcceptData(false);
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn a 1"));
  EXPECT_EQ(Engine().SetConnected(true), kErrAlreadyConnected);
  EXPECT_TRUE(Engine().Connected());
  Engine().SetAcceptData(true);
  refused.Notify();
  const std::string lastLineEnd = std::string(c.second, std::strlen(c.second) - 2) + " 1";
  ASSERT_TRUE(rec.PumpUntil([&] {
    return !rec.log.empty() && rec.log.back().ends_with(lastLineEnd);
  })) << ::testing::PrintToString(rec.log);
  EXPECT_EQ(rec.Only("DataIn"), c.delivered);
}

INSTANTIATE_TEST_SUITE_P(
    Held, ConnectWhileConnectedTest,
    ::testing::Values(HeldBytesCase{"LinesWaitingForAcceptData", "a\r\nb\r\nc", true, "d\r\n",
                                    Lines{"DataIn a 1", "DataIn b 1", "DataIn cd 1"}},
                      HeldBytesCase{"PartialLine", "a\r\nb", false, "c\r\n",
                                    Lines{"DataIn a 1", "DataIn bc 1"}}),
    [](const ::testing::TestParamInfo<HeldBytesCase>& info) { return info.param.name; });

TEST_F(SocketEngineTest, ConnectedTrueAfterDisconnectInsideDataIn_StillCloses) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("a\r\nb\r\n");
    peer.WaitClosed();
  });
  Engine().SetEol("\r\n");
  rec.onDataIn = [&](std::string_view bytes, bool) {
    if (bytes != "a") return;
    EXPECT_EQ(Engine().Disconnect(), 0);
    EXPECT_EQ(Engine().SetConnected(true), kErrAlreadyConnected);
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }))
      << ::testing::PrintToString(rec.log);
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn a 1", "DataIn b 1"}));
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
  EXPECT_EQ(Engine().SocketHandle(), -1);
}

TEST_F(SocketEngineTest, WaitingConnectWhileStillConnecting_Fails104AndKeepsAcceptDataOff) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(server.Port()), 0);
  Engine().SetAcceptData(false);
  ASSERT_EQ(Engine().Connect(), 0);
  ASSERT_FALSE(Engine().Connected());
  Engine().SetTimeout(2);
  EXPECT_EQ(Engine().Connect(), kErrAlreadyConnected);
  EXPECT_FALSE(Engine().AcceptData());
  ASSERT_TRUE(rec.PumpUntilLogged("Connected 0 OK"));
  EXPECT_FALSE(Engine().AcceptData());
}

TEST_F(SocketEngineTest, LocalPortInUse_Fails10048) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  LoopbackServer other([](Peer&) {}, 0);
  ASSERT_EQ(Engine().SetLocalPort(other.Port()), 0);
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(server.Port()), 0);
  EXPECT_EQ(Engine().Connect(), 10048);
  EXPECT_EQ(Engine().SocketHandle(), -1);
}

SocketHandle FailSocketWithEmfile(int, int, int) { return errno = EMFILE, kNoSocket; }
int FailConnectWithEaddrnotavail(SocketHandle, const sockaddr*, SockLen) {
  return errno = EADDRNOTAVAIL, -1;
}
int FailSetsockoptWithEnoprotoopt(SocketHandle, int, int, const void*, SockLen) {
  return errno = ENOPROTOOPT, -1;
}
int closeCalls = 0;
int CountingClose(SocketHandle s) {
  ++closeCalls;
  return ::close(static_cast<int>(s));
}

TEST_F(SocketEngineTest, FailingSocketCalls_ReturnTheirCodeAndLeaveNoSocket) {
  ScopedSocketFunction countClose(&SocketApi::close, &CountingClose);
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(9), 0);
  {
    ScopedSocketFunction fail(&SocketApi::socket, &FailSocketWithEmfile);
    EXPECT_EQ(Engine().Connect(), 10024);
  }
  closeCalls = 0;
  {
    ScopedSocketFunction fail(&SocketApi::setsockopt, &FailSetsockoptWithEnoprotoopt);
    EXPECT_EQ(Engine().Connect(), 10042);
  }
  EXPECT_EQ(closeCalls, 1);
  {
    ScopedSocketFunction fail(&SocketApi::connect, &FailConnectWithEaddrnotavail);
    EXPECT_EQ(Engine().Connect(), 10049);
  }
  EXPECT_EQ(closeCalls, 2);
  EXPECT_EQ(Engine().SocketHandle(), -1);
  EXPECT_TRUE(rec.log.empty());
}

// A watcher that cannot set up notifications for a new socket.
class RefusingWatcher : public PollWatcher {
 public:
  int Watch(SocketHandle socket) override {
    return socket == kNoSocket ? PollWatcher::Watch(socket) : 10055;
  }
};

TEST_F(SocketEngineTest, WatcherRefusingTheSocket_FailsTheConnectAndClosesIt) {
  ScopedSocketFunction countClose(&SocketApi::close, &CountingClose);
  closeCalls = 0;
  SocketEngine engine(rec, std::make_unique<RefusingWatcher>());
  ASSERT_EQ(engine.SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(engine.SetRemotePort(9), 0);
  EXPECT_EQ(engine.Connect(), 10055);
  EXPECT_EQ(closeCalls, 1);
  EXPECT_EQ(engine.SocketHandle(), kNoSocket);
  EXPECT_EQ(engine.SetRemotePort(10), 0);
  EXPECT_TRUE(rec.log.empty());
}

int failingRecvErrno = 0;
SocketSize FailRecv(SocketHandle, void*, size_t, int) { return errno = failingRecvErrno, -1; }

struct RecvFailureCase {
  const char* name;
  int errnoValue;
  std::string error;
  bool connectionGone;
};

void PrintTo(const RecvFailureCase& c, std::ostream* os) { *os << c.name; }

class RecvFailureTest : public SocketEngineTest,
                        public ::testing::WithParamInterface<RecvFailureCase> {};

TEST_P(RecvFailureTest, FiresErrorAndClosesOnlyAConnectionThatIsGone) {
  const RecvFailureCase& c = GetParam();
  LoopbackServer server([](Peer& peer) {
    peer.Send("data");
    peer.WaitClosed();
  });
  ConnectTo(server.Port());
  failingRecvErrno = c.errnoValue;
  ScopedSocketFunction fail(&SocketApi::recv, &FailRecv);
  ASSERT_TRUE(rec.PumpUntilLogged("Error " + c.error));
  rec.PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(rec.Only("DataIn").empty());
  EXPECT_EQ(Engine().Connected(), !c.connectionGone);
  if (c.connectionGone) {
    const std::string code = c.error.substr(0, 5);
    EXPECT_EQ(rec.Only("Disconnected"),
              Lines{"Disconnected " + code + " " + FormatErrorCode(std::stoi(code))});
    EXPECT_EQ(Engine().SocketHandle(), kNoSocket);
  } else {
    EXPECT_TRUE(rec.Only("Disconnected").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RecvFailureTest,
    ::testing::Values(
        RecvFailureCase{"NoBufferSpace", ENOBUFS, "10055 socket error in recv: 10055", false},
        RecvFailureCase{"TimedOut", ETIMEDOUT, "10060 socket error in recv: 10060", true},
        RecvFailureCase{"NetworkReset", ENETRESET, "10052 socket error in recv: 10052", true},
        RecvFailureCase{"NetworkDown", ENETDOWN, "10050 socket error in recv: 10050", true},
        RecvFailureCase{"HostUnreachable", EHOSTUNREACH, "10065 socket error in recv: 10065",
                        true}),
    [](const auto& info) { return std::string(info.param.name); });

// A failed look-up may have written the address; the engine must not keep it.
int FailLookupNoName(const char*, uint32_t* address) {
  *address = 0x0100007f;
  return kWsaHostNotFound;
}
int FailLookupAgain(const char*, uint32_t* address) {
  *address = 0;
  return 11002;
}

TEST_F(SocketEngineTest, HostLookupFailures_AreRefusedWithTheirCode) {
  {
    ScopedSocketFunction fail(&SocketApi::lookup, &FailLookupNoName);
    EXPECT_EQ(Engine().SetRemoteHost("no.such.host"), kWsaHostNotFound);
    EXPECT_EQ(Engine().SetFirewallHost("no.such.host"), kWsaHostNotFound);
    EXPECT_EQ(Engine().SetLocalHost("no.such.host"), kWsaHostNotFound);
  }
  {
    ScopedSocketFunction fail(&SocketApi::lookup, &FailLookupAgain);
    EXPECT_EQ(Engine().SetRemoteHost("no.such.host"), 11002);
  }
  {
    // The stubs of an unloaded table report 10093, which a lookup ignores.
    ScopedSocketFunction stub(&SocketApi::lookup, FailingSocketApi().lookup);
    EXPECT_EQ(Engine().SetRemoteHost("anything"), 0);
    EXPECT_EQ(Engine().RemoteHost(), "");
  }
  EXPECT_EQ(Engine().SetRemoteHost("localhost"), 0);
  EXPECT_EQ(Engine().RemoteHost(), "127.0.0.1");
}

TEST(SocketTypesTest, PortsTravelBigEndianAndAddressesReadInMemoryOrder) {
  struct PortCase {
    uint16_t port;
    uint8_t high, low;
  };
  for (PortCase c : {PortCase{5001, 0x13, 0x89}, PortCase{80, 0, 80}, PortCase{65535, 255, 255}}) {
    uint16_t wire = ToNetworkOrder16(c.port);
    uint8_t bytes[2];
    std::memcpy(bytes, &wire, 2);
    EXPECT_EQ(bytes[0], c.high) << c.port;
    EXPECT_EQ(bytes[1], c.low) << c.port;
    EXPECT_EQ(FromNetworkOrder16(wire), c.port);
  }
  struct AddressCase {
    uint8_t bytes[4];
    const char* text;
  };
  for (const AddressCase& c :
       {AddressCase{{127, 0, 0, 1}, "127.0.0.1"}, AddressCase{{10, 200, 3, 255}, "10.200.3.255"},
        AddressCase{{0, 0, 0, 0}, "0.0.0.0"}}) {
    uint32_t address;
    std::memcpy(&address, c.bytes, 4);
    EXPECT_EQ(DottedAddress(address), c.text);
  }
}

TEST(WinsockLoaderTest, TableIsStubbedWhileNoEngineHoldsIt) {
  ASSERT_EQ(WinsockLoader::References(), 0);
  EXPECT_EQ(Sockets().socket(AF_INET, SOCK_STREAM, 0), kNoSocket);
  EXPECT_EQ(Sockets().lastError(), kWsaNotInitialised);
  {
    EngineRecorder first;
    EngineRecorder second;
    EXPECT_EQ(WinsockLoader::References(), 2);
    std::string result;
    ASSERT_EQ(first.engine->Config("WinsockLoaded", result), 0);
    EXPECT_EQ(result, "True");
    SocketHandle s = Sockets().socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, kNoSocket);
    // A stub put into the loaded table reports "not started" as well.
    ScopedSocketFunction stub(&SocketApi::bind, FailingSocketApi().bind);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    EXPECT_EQ(Sockets().bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any), -1);
    EXPECT_EQ(Sockets().lastError(), kWsaNotInitialised);
    Sockets().close(s);
  }
  EXPECT_FALSE(WinsockLoader::Loaded());
  EXPECT_EQ(Sockets().socket(AF_INET, SOCK_STREAM, 0), kNoSocket);
}

TEST_F(SocketEngineTest, AcceptDataOff_HoldsDataUntilSwitchedOn) {
  Signal sent;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("held\r\n");
    sent.Notify();
    peer.WaitClosed();
  });
  Engine().SetAcceptData(false);
  ConnectTo(server.Port());
  ASSERT_TRUE(sent.Wait());
  rec.PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(rec.Only("DataIn").empty());
  Engine().SetAcceptData(true);
  EXPECT_TRUE(rec.PumpUntilLogged("DataIn held\r\n 1"));
}

TEST_F(SocketEngineTest, AcceptDataOffInHandler_StopsDeliveryAndResumesWhenOn) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("a\nb\nc\n");
    peer.WaitClosed();
  });
  Engine().SetEol("\n");
  rec.onDataIn = [&](std::string_view bytes, bool) {
    if (bytes == "a") Engine().SetAcceptData(false);
  };
  ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn a 1"));
  rec.PumpUntil([] { return false; }, 100);
  EXPECT_EQ(rec.Only("DataIn"), Lines{"DataIn a 1"});
  Engine().SetAcceptData(true);
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn c 1"));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn a 1", "DataIn b 1", "DataIn c 1"}));
}

TEST_F(SocketEngineTest, AsyncSend_SendsEverythingTheSystemTakes) {
  std::string received;
  LoopbackServer server([&](Peer& peer) { received = peer.ReceiveExactly(7); });
  ConnectTo(server.Port());
  ASSERT_EQ(Engine().Send("abc"), 0);
  EXPECT_EQ(Engine().BytesSent(), 3);
  ASSERT_EQ(Engine().SendLine("de"), 0);
  EXPECT_EQ(Engine().BytesSent(), 4);
  EXPECT_EQ(Engine().Send(""), 0);
  server.Join();
  EXPECT_EQ(received, "abcde\r\n");
}

TEST_F(SocketEngineTest, AsyncSendIntoFullBuffer_Fails10035ThenReadyToSendFires) {
  Signal drain;
  size_t total = 0;
  LoopbackServer server([&](Peer& peer) {
    drain.Wait();
    total = peer.ReceiveAll(2000).size();
  });
  ConnectTo(server.Port());
  rec.PumpUntil([&] { return rec.readyToSend == 1; });
  std::string block(1 << 20, 'b');
  int rc = 0;
  size_t sent = 0;
  for (int i = 0; i < 64 && rc == 0; ++i) {
    rc = Engine().Send(block);
    sent += static_cast<size_t>(Engine().BytesSent());
  }
  ASSERT_EQ(rc, kWsaWouldBlock);
  EXPECT_LT(Engine().BytesSent(), static_cast<int32_t>(block.size()));
  drain.Notify();
  EXPECT_TRUE(rec.PumpUntil([&] { return rec.readyToSend == 2; }));
  Engine().Disconnect();
  server.Join();
  EXPECT_EQ(total, sent);
}

class WaitingEngineTest : public SocketEngineTest {
 protected:
  void SetUp() override { Engine().SetTimeout(2); }
  int ConnectWaiting(uint16_t port) {
    EXPECT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
    EXPECT_EQ(Engine().SetRemotePort(port), 0);
    return Engine().Connect();
  }
};

TEST_F(WaitingEngineTest, Connect_ReturnsConnected) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  EXPECT_TRUE(Engine().Connected());
  EXPECT_TRUE(Engine().AcceptData());
  EXPECT_EQ(Engine().Connect(), 0);  // already connected: succeeds at once
  EXPECT_TRUE(rec.Logged("Connected 0 OK"));
}

TEST_F(WaitingEngineTest, ConnectRefused_FailsWithTheCodeAndDescription) {
  EXPECT_EQ(ConnectWaiting(testing::UnusedLoopbackPort()), 10061);
  EXPECT_EQ(Engine().ErrorText(), "[10061] Connection refused");
  EXPECT_EQ(Engine().SocketHandle(), -1);
}

TEST_F(WaitingEngineTest, GetLine_TakesOneLineAtATimeAcrossReads) {
  Signal firstLine;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("zero\r\nfirst ");
    firstLine.Wait();
    peer.Send("part\r\nsecond\n");
    peer.WaitClosed();
  });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  rec.onDataIn = [&](std::string_view, bool) { firstLine.Notify(); };
  std::string line;
  ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
  EXPECT_EQ(line, "zero");
  EXPECT_TRUE(Engine().SingleLineMode());
  EXPECT_FALSE(Engine().AcceptData());
  ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
  EXPECT_EQ(line, "first part");
  ASSERT_EQ(Engine().GetLine(line), 0);
  EXPECT_EQ(line, "second");
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn zero 1", "DataIn first part 1", "DataIn second 1"}));
}

TEST_F(WaitingEngineTest, GetLine_CrLfSplitBetweenTwoCallsEndsOneLine) {
  Signal firstLine;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("A\r");
    firstLine.Wait();
    peer.Send("\nB\r\n");
    peer.WaitClosed();
  });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  std::string line;
  ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
  EXPECT_EQ(line, "A");
  firstLine.Notify();
  ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
  EXPECT_EQ(line, "B");
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn A 1", "DataIn B 1"}));
}

TEST_F(WaitingEngineTest, GetLine_JoinsChunksOfAFullLineBuffer) {
  LoopbackServer server([&](Peer& peer) {
    peer.Send("abcdefghij\r\n");
    peer.WaitClosed();
  });
  std::string result;
  ASSERT_EQ(Engine().Config("MaxLineLength=4", result), 0);
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  std::string line;
  ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
  EXPECT_EQ(line, "abcdefghij");
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn abcd 0", "DataIn efgh 0", "DataIn ij 1"}));
}

TEST_F(WaitingEngineTest, GetLine_TimesOutWhenNoLineComes) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  Engine().SetTimeout(1);
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  std::string line;
  EXPECT_EQ(Engine().GetLine(line), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "Timeout.");
  EXPECT_TRUE(Engine().Connected());
}

TEST_F(WaitingEngineTest, GetLine_PeerClosingEndsTheWait) {
  LoopbackServer server([](Peer& peer) {
    peer.ReceiveExactly(1);  // closing while GetLine waits, not before
    peer.Send("partial");
    peer.Close();
  });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  ASSERT_EQ(Engine().Send("?"), 0);
  std::string line;
  EXPECT_EQ(Engine().GetLine(line), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "Disconnected.");
  EXPECT_TRUE(rec.Logged("DataIn partial 0"));
}

TEST_F(WaitingEngineTest, GetLine_LinesThatCameWithTheCloseAreStillTaken) {
  LoopbackServer server([](Peer& peer) {
    // Only once asked: a close seen before the first GetLine is a plain
    // disconnect, its text delivered as DataIn.
    peer.ReceiveExactly(1);
    peer.Send("L1\r\nL2\r\nL3\r\nrest");
    peer.Close();
  });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  ASSERT_EQ(Engine().Send("?"), 0);
  std::string line;
  for (const char* expected : {"L1", "L2", "L3"}) {
    ASSERT_EQ(Engine().GetLine(line), 0) << Engine().ErrorText();
    EXPECT_EQ(line, expected);
    rec.PumpUntil([] { return false; }, 50);  // the close may arrive between two calls
  }
  EXPECT_EQ(Engine().GetLine(line), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "Disconnected.");
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
}

TEST_F(WaitingEngineTest, GetLine_NeedsAConnectionAndATimeout) {
  std::string line;
  EXPECT_EQ(Engine().GetLine(line), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "Disconnected.");
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  Engine().SetTimeout(0);
  EXPECT_EQ(Engine().GetLine(line), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "GetLine requires a positive Timeout value.");
}

TEST_F(WaitingEngineTest, SendWaitsUntilEverythingIsTaken) {
  const size_t size = 8 << 20;
  size_t received = 0;
  LoopbackServer server([&](Peer& peer) { received = peer.ReceiveExactly(size, 10000).size(); });
  Engine().SetTimeout(10);
  ASSERT_EQ(ConnectWaiting(server.Port()), 0);
  Engine().SetAcceptData(false);
  ASSERT_EQ(Engine().Send(std::string(size, 's')), 0) << Engine().ErrorText();
  EXPECT_EQ(Engine().BytesSent(), static_cast<int32_t>(size));
  EXPECT_TRUE(Engine().AcceptData());
  server.Join();
  EXPECT_EQ(received, size);
}

TEST_F(WaitingEngineTest, SilentPeerDuringConnect_TimesOutAndClosesTheSocket) {
  // A proxy that accepts and never answers keeps the handshake open.
  LoopbackServer proxy([](Peer& peer) { peer.WaitClosed(8000); });
  Engine().SetTimeout(1);
  Engine().SetFirewallType(fwSOCKS4);
  ASSERT_EQ(Engine().SetFirewallHost("127.0.0.1"), 0);
  Engine().SetFirewallPort(proxy.Port());
  ASSERT_EQ(Engine().SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(Engine().SetRemotePort(80), 0);
  EXPECT_EQ(Engine().Connect(), kErrWait);
  EXPECT_EQ(Engine().ErrorText(), "Timeout.");
  EXPECT_EQ(Engine().SocketHandle(), -1);
}

TEST_F(SocketEngineTest, ConfigSettings) {
  std::string result;
  struct Case {
    const char* text;
    int code;
    const char* result;
  };
  const Case cases[] = {
      {"maxlinelength", 0, "2048"},
      {"MaxLineLength=100000", 0, ""},
      {"MAXLINELENGTH", 0, "65536"},
      {"MaxLineLength=0", 0, ""},
      {"MaxLineLength", 0, "1"},
      {"MaxLineLength=2048x", 0, ""},
      {"MaxLineLength", 0, "2048"},
      {"SocketHandle", 0, "-1"},
      {"SocketHandle=3", -1, ""},
      {"InBufferSize", 0, "2048"},
      {"InBufferSize=-12", 0, ""},
      {"InBufferSize", 0, "-12"},
      {"OutBufferSize=99999999999", 0, ""},
      {"OutBufferSize", 0, "2147483647"},
      {"TcpNoDelay", 0, "False"},
      {"TcpNoDelay=YES", 0, ""},
      {"TcpNoDelay", 0, "True"},
      {"TcpNoDelay=on", 0, ""},
      {"TcpNoDelay", 0, "False"},
      {"SplitCRLF", 0, "False"},
      {"SplitCRLF=1", 0, ""},
      {"SplitCRLF", 0, "True"},
      {"AbsoluteTimeout=true", 0, ""},
      {"AbsoluteTimeout", 0, "True"},
      {"CodePage=65001", 0, ""},
      {"CodePage", 0, "65001"},
      {"CharsetMode", 0, "0"},
      {"FirewallData=extra", 0, ""},
      {"FirewallData", 0, ""},
      {"WinsockLoaded", 0, "True"},
      {"WinsockLoaded=False", -1, ""},
      {"WinsockStatus", 0, "Running"},
      {"WinsockMaxDatagramSize", 0, "65507"},
      {"NoSuchSetting", -1, ""},
      {"", -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Engine().Config(c.text, result), c.code);
    EXPECT_EQ(result, c.result);
    if (c.code == -1) {
      EXPECT_EQ(Engine().ErrorText(), "Unknown config setting.");
    }
  }
  EXPECT_EQ(Engine().Eol(), "\r\n");
  ASSERT_EQ(Engine().Config("SplitCRLF=False", result), 0);
  EXPECT_EQ(Engine().Eol(), "");
}

TEST_F(SocketEngineTest, FirewallTypeSetsTheDefaultPortAndUserIsCut) {
  Engine().SetFirewallType(fwSOCKS4);
  EXPECT_EQ(Engine().FirewallPort(), 1080);
  Engine().SetFirewallType(fwTunnel);
  EXPECT_EQ(Engine().FirewallPort(), 80);
  Engine().SetFirewallType(fwSOCKS5);
  EXPECT_EQ(Engine().FirewallPort(), 1080);
  Engine().SetFirewallType(fwNone);
  EXPECT_EQ(Engine().FirewallPort(), 80);
  Engine().SetFirewallUser(std::string(300, 'u'));
  EXPECT_EQ(Engine().FirewallUser().size(), 255u);
  // With a firewall the remote text is kept as given, unresolved.
  Engine().SetFirewallType(fwSOCKS5);
  ASSERT_EQ(Engine().SetRemoteHost("*timing.local"), 0);
  EXPECT_EQ(Engine().RemoteHost(), "*timing.local");
  EXPECT_EQ(Engine().FirewallHost(), "");
}

TEST_F(SocketEngineTest, FirewallWithoutHostOrPort_FailsWithTheFirewallTexts) {
  Engine().SetFirewallType(fwTunnel);
  ASSERT_EQ(Engine().SetRemoteHost("example"), 0);
  ASSERT_EQ(Engine().SetRemotePort(80), 0);
  EXPECT_EQ(Engine().Connect(), kErrAddressInvalid);
  EXPECT_EQ(Engine().ErrorText(), "The FirewallHost address is invalid (0.0.0.0).");
  ASSERT_EQ(Engine().SetFirewallHost("127.0.0.1"), 0);
  Engine().SetFirewallPort(0);
  EXPECT_EQ(Engine().Connect(), kErrPortZero);
  EXPECT_EQ(Engine().ErrorText(), "The FirewallPort is invalid (0).");
}

}  // namespace
}  // namespace torvane
