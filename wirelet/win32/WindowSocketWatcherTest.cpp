// The socket engine on Windows: WSOCK32.DLL loaded by ordinal, notifications
// through the hidden socket window, against servers on 127.0.0.1.
#include "WindowSocketWatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ErrorCodes.h"
#include "LoopbackServer.h"
#include "PeerCloseCases.h"
#include "SocketApi.h"
#include "SocketEngine.h"
#include "Wsock32.h"

namespace torvane {
namespace {

using namespace std::string_literals;
using testing::LoopbackServer;
using testing::Peer;
using testing::Signal;
using Lines = std::vector<std::string>;

// An engine on a WindowSocketWatcher with every event written to a log line.
class Recorder : public EngineEvents {
 public:
  Recorder() {
    auto watcher = std::make_unique<WindowSocketWatcher>();
    watcher_ = watcher.get();
    engine = std::make_unique<SocketEngine>(*this, std::move(watcher));
  }
  ~Recorder() { engine.reset(); }

  void OnConnected(int code, const std::string& description) override {
    log.push_back("Connected " + std::to_string(code) + " " + description);
    if (onConnected) onConnected(code);
  }
  void OnConnectionStatus(const std::string& event, int code,
                          const std::string& description) override {
    log.push_back("Status " + event + " " + std::to_string(code) + " " + description);
  }
  void OnDataIn(std::string_view bytes, bool eol) override {
    log.push_back("DataIn " + std::string(bytes) + " " + (eol ? "1" : "0"));
  }
  void OnDisconnected(int code, const std::string& description) override {
    log.push_back("Disconnected " + std::to_string(code) + " " + description);
  }
  void OnError(int code, const std::string& description) override {
    log.push_back("Error " + std::to_string(code) + " " + description);
  }
  void OnReadyToSend() override { ++readyToSend; }

  // Runs wait steps of the message loop until pred holds (5 s at most).
  bool PumpUntil(const std::function<bool()>& pred, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
      if (std::chrono::steady_clock::now() >= end) return pred();
      watcher_->WaitStep(20);
    }
    return true;
  }
  bool PumpUntilLogged(const std::string& line, int ms = 5000) {
    return PumpUntil([&] { return Count(line) > 0; }, ms);
  }
  void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
  }
  int Count(const std::string& line) const {
    int n = 0;
    for (const auto& entry : log) n += entry == line;
    return n;
  }
  Lines Only(const std::string& prefix) const {
    Lines lines;
    for (const auto& entry : log) {
      if (entry.rfind(prefix, 0) == 0) lines.push_back(entry);
    }
    return lines;
  }
  std::string Config(const std::string& name) {
    std::string result;
    EXPECT_EQ(engine->Config(name, result), 0) << name;
    return result;
  }
  void ConnectTo(uint16_t port) {
    ASSERT_EQ(engine->SetRemoteHost("127.0.0.1"), 0);
    ASSERT_EQ(engine->SetRemotePort(port), 0);
    ASSERT_EQ(engine->Connect(), 0) << engine->ErrorText();
    ASSERT_TRUE(PumpUntilLogged("Connected 0 OK")) << ::testing::PrintToString(log);
  }
  WindowSocketWatcher& Watcher() { return *watcher_; }

  std::unique_ptr<SocketEngine> engine;
  Lines log;
  int readyToSend = 0;
  std::function<void(int)> onConnected;

 private:
  WindowSocketWatcher* watcher_ = nullptr;
};

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// ------------------------------------------------------------ the window

TEST(SocketWindowTest, IsAHiddenTopLevelWindowOfTheGlobalClass) {
  WindowSocketWatcher first;
  WindowSocketWatcher second;
  ASSERT_NE(first.Window(), nullptr);
  ASSERT_NE(second.Window(), nullptr);
  EXPECT_NE(first.Window(), second.Window());

  WNDCLASSA info{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), WindowSocketWatcher::kClassName, &info));
  EXPECT_TRUE(info.style & CS_GLOBALCLASS);
  EXPECT_EQ(info.cbWndExtra, 12);

  HWND found = FindWindowA(WindowSocketWatcher::kClassName, nullptr);
  EXPECT_TRUE(found == first.Window() || found == second.Window());
  for (HWND window : {first.Window(), second.Window()}) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "__wlt_socket_wnd__");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
  }
  EXPECT_EQ(GetWindowLongPtrA(first.Window(), 0), reinterpret_cast<LONG_PTR>(&first));
  EXPECT_EQ(WindowSocketWatcher::kSocketNotify, 1125u);
}

TEST(SocketWindowTest, DestroyedWithItsWatcher) {
  HWND window = nullptr;
  {
    WindowSocketWatcher watcher;
    window = watcher.Window();
    EXPECT_TRUE(IsWindow(window));
  }
  EXPECT_FALSE(IsWindow(window));
}

// ------------------------------------------------------------ the watcher alone

struct CountingClient : SocketWatcher::Client {
  void OnReadable() override { ++readable; }
  void OnWritable() override { ++writable; }
  void OnClosed(int code) override {
    ++closed;
    closeCode = code;
  }
  int readable = 0;
  int writable = 0;
  int closed = 0;
  int closeCode = -1;
};

// A socket from the loaded table, closed at the end.
class WatchedSocket {
 public:
  WatchedSocket() : socket_(Sockets().socket(AF_INET, SOCK_STREAM, 0)) {}
  ~WatchedSocket() {
    if (socket_ != kNoSocket) Sockets().close(socket_);
  }
  SocketHandle Get() const { return socket_; }

 private:
  SocketHandle socket_;
};

TEST(WindowSocketWatcherTest, PostedReadReachesTheClientOnceEvenWithReadOff) {
  ASSERT_TRUE(WinsockLoader::Acquire());
  {
    WatchedSocket s;
    ASSERT_NE(s.Get(), kNoSocket);
    WindowSocketWatcher watcher;
    CountingClient client;
    watcher.SetClient(&client);
    ASSERT_EQ(watcher.Watch(s.Get()), 0);
    watcher.PostRead();
    for (int i = 0; i < 5; ++i) watcher.WaitStep(0);
    EXPECT_EQ(client.readable, 1);
    watcher.Watch(kNoSocket);
  }
  WinsockLoader::Release();
}

TEST(WindowSocketWatcherTest, WatchDropsWhatWasQueuedForTheSocketBefore) {
  ASSERT_TRUE(WinsockLoader::Acquire());
  {
    WatchedSocket s;
    WindowSocketWatcher watcher;
    CountingClient client;
    watcher.SetClient(&client);
    ASSERT_EQ(watcher.Watch(s.Get()), 0);
    watcher.PostRead();
    // The same handle again, as the system hands out a closed socket's
    // handle to the next one: the read posted for the first must not arrive.
    ASSERT_EQ(watcher.Watch(s.Get()), 0);
    watcher.EnableRead(true);
    for (int i = 0; i < 5; ++i) watcher.WaitStep(0);
    EXPECT_EQ(client.readable, 0);
    watcher.Watch(kNoSocket);
  }
  WinsockLoader::Release();
}

TEST(WindowSocketWatcherTest, WatchingWithoutAWindowFails) {
  ASSERT_TRUE(WinsockLoader::Acquire());
  {
    WatchedSocket s;
    WindowSocketWatcher watcher;
    DestroyWindow(watcher.Window());
    EXPECT_EQ(watcher.Window(), nullptr);
    EXPECT_NE(watcher.Watch(s.Get()), 0);
    EXPECT_EQ(watcher.Watched(), kNoSocket);
    EXPECT_EQ(watcher.WaitStep(0), SocketWatcher::WaitResult::kQuit);
  }
  WinsockLoader::Release();
}

// Notifications as WinSock posts them, for the watched socket or another.
struct NotifyCase {
  const char* name;
  std::function<void(WindowSocketWatcher&, SocketHandle watched, SocketHandle other)> run;
  int readable;  // at least this many OnReadable calls
  int writable;
  bool exact;  // exactly that many
};

void Notify(WindowSocketWatcher& watcher, SocketHandle socket, WORD event) {
  PostMessageA(watcher.Window(), WindowSocketWatcher::kSocketNotify, static_cast<WPARAM>(socket),
               MAKELPARAM(event, 0));
}

void Steps(WindowSocketWatcher& watcher, int n) {
  for (int i = 0; i < n; ++i) watcher.WaitStep(0);
}

class WatcherNotifyTest : public ::testing::TestWithParam<NotifyCase> {};

TEST_P(WatcherNotifyTest, EmulatesLevelTriggeredDirections) {
  ASSERT_TRUE(WinsockLoader::Acquire());
  {
    WatchedSocket watched;
    WatchedSocket other;
    WindowSocketWatcher watcher;
    CountingClient client;
    watcher.SetClient(&client);
    ASSERT_EQ(watcher.Watch(watched.Get()), 0);
    GetParam().run(watcher, watched.Get(), other.Get());
    Steps(watcher, 6);
    if (GetParam().exact) {
      EXPECT_EQ(client.readable, GetParam().readable);
    } else {
      EXPECT_GE(client.readable, GetParam().readable);
    }
    EXPECT_EQ(client.writable, GetParam().writable);
    watcher.Watch(kNoSocket);
  }
  WinsockLoader::Release();
}

INSTANTIATE_TEST_SUITE_P(
    Events, WatcherNotifyTest,
    ::testing::Values(NotifyCase{"ReadWhileReadIsOn",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   w.EnableRead(true);
                                   Notify(w, s, FD_READ);
                                 },
                                 1, 0, true},
                      NotifyCase{"ReadWhileReadIsOff_ArrivesWhenSwitchedOn",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_READ);
                                   Steps(w, 3);
                                   w.EnableRead(true);
                                 },
                                 1, 0, true},
                      NotifyCase{"ReadWhileReadIsOff_StaysHeld",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_READ);
                                 },
                                 0, 0, true},
                      NotifyCase{"ReadForAnotherSocket",
                                 [](WindowSocketWatcher& w, SocketHandle, SocketHandle other) {
                                   w.EnableRead(true);
                                   Notify(w, other, FD_READ);
                                   Notify(w, other, FD_CLOSE);
                                 },
                                 0, 0, true},
                      NotifyCase{"CloseStaysReadable",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   w.EnableRead(true);
                                   Notify(w, s, FD_CLOSE);
                                 },
                                 3, 0, false},
                      NotifyCase{"CloseWhileReadIsOff_ArrivesWhenSwitchedOn",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_CLOSE);
                                   Steps(w, 3);
                                   w.EnableRead(true);
                                 },
                                 1, 0, false},
                      NotifyCase{"WriteWhileWriteIsOn",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_WRITE);
                                   w.EnableWrite(true);
                                 },
                                 0, 1, true},
                      NotifyCase{"WriteWhileWriteIsOff",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_WRITE);
                                 },
                                 0, 0, true},
                      NotifyCase{"ConnectWhileWriteIsOff_ArrivesWhenSwitchedOn",
                                 [](WindowSocketWatcher& w, SocketHandle s, SocketHandle) {
                                   Notify(w, s, FD_CONNECT);
                                   Steps(w, 3);
                                   w.EnableWrite(true);
                                 },
                                 0, 1, true},
                      NotifyCase{"ConnectForAnotherSocket",
                                 [](WindowSocketWatcher& w, SocketHandle, SocketHandle other) {
                                   Notify(w, other, FD_CONNECT);
                                   Notify(w, other, FD_WRITE);
                                 },
                                 0, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// FD_CLOSE as WinSock posts it, its error in the high word.
struct CloseCase {
  const char* name;
  bool readOn;
  bool forWatched;
  WORD error;
  int closed;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class WatcherCloseTest : public ::testing::TestWithParam<CloseCase> {};

TEST_P(WatcherCloseTest, TellsTheCloseAtOnceWithItsCode) {
  const CloseCase& c = GetParam();
  ASSERT_TRUE(WinsockLoader::Acquire());
  {
    WatchedSocket watched;
    WatchedSocket other;
    WindowSocketWatcher watcher;
    CountingClient client;
    watcher.SetClient(&client);
    ASSERT_EQ(watcher.Watch(watched.Get()), 0);
    watcher.EnableRead(c.readOn);
    PostMessageA(watcher.Window(), WindowSocketWatcher::kSocketNotify,
                 static_cast<WPARAM>(c.forWatched ? watched.Get() : other.Get()),
                 MAKELPARAM(FD_CLOSE, c.error));
    Steps(watcher, 6);
    EXPECT_EQ(client.closed, c.closed);
    if (c.closed > 0) {
      EXPECT_EQ(client.closeCode, c.error);
    }
    EXPECT_EQ(client.readable > 0, c.readOn && c.forWatched);
    watcher.Watch(kNoSocket);
  }
  WinsockLoader::Release();
}

INSTANTIATE_TEST_SUITE_P(
    Events, WatcherCloseTest,
    ::testing::Values(CloseCase{"NormalWhileReadIsOn", true, true, 0, 1},
                      CloseCase{"AbortedWhileReadIsOff", false, true, WSAECONNABORTED, 1},
                      CloseCase{"ResetWhileReadIsOn", true, true, WSAECONNRESET, 1},
                      CloseCase{"ForAnotherSocket", true, false, WSAECONNRESET, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct WaitCase {
  const char* name;
  std::function<void(HWND socketWindow)> post;
  SocketWatcher::WaitResult result;
  bool quitStillQueued;
};

class WaitStepTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitStepTest, StopsOnQuitAndClose) {
  WindowSocketWatcher watcher;
  GetParam().post(watcher.Window());
  EXPECT_EQ(watcher.WaitStep(20), GetParam().result);
  EXPECT_TRUE(IsWindow(watcher.Window()));
  MSG message;
  EXPECT_EQ(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0,
            GetParam().quitStillQueued);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, WaitStepTest,
    ::testing::Values(
        WaitCase{"Quit", [](HWND) { PostQuitMessage(3); }, SocketWatcher::WaitResult::kQuit, true},
        WaitCase{"CloseOfTheSocketWindow",
                 [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); },
                 SocketWatcher::WaitResult::kQuit, false},
        WaitCase{"OtherMessage", [](HWND window) { PostMessageA(window, WM_USER + 7, 0, 0); },
                 SocketWatcher::WaitResult::kContinue, false},
        WaitCase{"Nothing", [](HWND) {}, SocketWatcher::WaitResult::kContinue, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowSocketWatcherTest, TaskMayDestroyTheWatcher) {
  auto* watcher = new WindowSocketWatcher;
  HWND window = watcher->Window();
  int ran = 0;
  watcher->PostTask([&] {
    ++ran;
    delete watcher;
  });
  EXPECT_EQ(watcher->WaitStep(20), SocketWatcher::WaitResult::kQuit);
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(IsWindow(window));
}

// ------------------------------------------------------------ the loader

TEST(WinsockLoaderTest, ConfigReportsTheLoadedLibrary) {
  Recorder rec;
  EXPECT_EQ(rec.Config("WinsockLoaded"), "True");
  std::string path = rec.Config("WinsockPath");
  for (char& c : path) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_TRUE(path.ends_with("\\wsock32.dll")) << path;
  EXPECT_FALSE(rec.Config("WinsockInfo").empty());
  EXPECT_EQ(rec.Config("WinsockStatus"), "Running");
  EXPECT_EQ(WinsockLoader::References(), 1);
  {
    Recorder second;
    EXPECT_EQ(WinsockLoader::References(), 2);
  }
  EXPECT_EQ(rec.Config("WinsockStatus"), "Running");
}

int WSAAPI StartupNotReady(WORD, WSADATA*) { return 10091; }
int WSAAPI StartupInvalid(WORD, WSADATA*) { return 10022; }

struct LoadCase {
  const char* name;
  wsock32::LoadOptions options;
  const char* status;
};

class LoadFailureTest : public ::testing::TestWithParam<LoadCase> {
 protected:
  ~LoadFailureTest() override { wsock32::SetLoadOptions({}); }
};

TEST_P(LoadFailureTest, StatusTellsWhyAndEverySocketCallFails) {
  wsock32::SetLoadOptions(GetParam().options);
  {
    Recorder rec;
    EXPECT_EQ(rec.Config("WinsockStatus"), GetParam().status);
    EXPECT_EQ(rec.Config("WinsockLoaded"), "False");
    EXPECT_EQ(WinsockLoader::References(), 0);
    // The look-up fails with 10093, which leaves the address 0.
    EXPECT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
    EXPECT_EQ(rec.engine->RemoteHost(), "");
    ASSERT_EQ(rec.engine->SetRemotePort(5001), 0);
    EXPECT_EQ(rec.engine->Connect(), kErrAddressInvalid);
    EXPECT_EQ(Sockets().socket(AF_INET, SOCK_STREAM, 0), kNoSocket);
    EXPECT_EQ(Sockets().lastError(), kWsaNotInitialised);
  }
  wsock32::SetLoadOptions({});
  Recorder loaded;
  EXPECT_EQ(loaded.Config("WinsockStatus"), "Running");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LoadFailureTest,
    ::testing::Values(
        LoadCase{
            "NoLibrary", {"no_such_winsock.dll", 0x0101, nullptr}, "Could not load Winsock DLL."},
        LoadCase{"VersionZero", {"WSOCK32.DLL", 0x0000, nullptr}, "Version not supported."},
        LoadCase{
            "InvalidArgument", {"WSOCK32.DLL", 0x0101, StartupInvalid}, "Version not supported."},
        LoadCase{
            "NotReady", {"WSOCK32.DLL", 0x0101, StartupNotReady}, "Network subsystem not ready."},
        LoadCase{"OtherVersionGranted",
                 {"WSOCK32.DLL", 0x0202, nullptr},
                 "Incompatible Winsock version."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WinsockLoaderTest, LastReleasePutsTheStubsBack) {
  { Recorder rec; }
  EXPECT_FALSE(WinsockLoader::Loaded());
  EXPECT_EQ(WinsockLoader::Status(), "Down");
  EXPECT_EQ(Sockets().socket(AF_INET, SOCK_STREAM, 0), kNoSocket);
  EXPECT_EQ(Sockets().lastError(), kWsaNotInitialised);
}

// ------------------------------------------------------------ the engine

TEST(WindowEngineTest, ConnectToClosedPort_ConnectedCarries10061AndNoSocketRemains) {
  Recorder rec;
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(testing::UnusedLoopbackPort()), 0);
  ASSERT_EQ(rec.engine->Connect(), 0);
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.log.empty(); }));
  rec.PumpFor(100);
  EXPECT_EQ(rec.log, Lines{"Connected 10061 [10061] Connection refused"});
  EXPECT_EQ(rec.engine->SocketHandle(), kNoSocket);
  EXPECT_FALSE(rec.engine->Connected());
}

TEST(WindowEngineTest, Connect_FiresStatusThenConnectedThenReadyToSend) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  Recorder rec;
  rec.ConnectTo(server.Port());
  EXPECT_EQ(rec.log, (Lines{"Status Remote host connection complete. 0 OK", "Connected 0 OK"}));
  EXPECT_TRUE(rec.PumpUntil([&] { return rec.readyToSend == 1; }));
  EXPECT_EQ(rec.engine->LocalHost(), "127.0.0.1");
  EXPECT_NE(rec.engine->LocalPort(), 0);
  EXPECT_EQ(rec.engine->RemoteHost(), "127.0.0.1");
}

struct LinesCase {
  const char* name;
  std::string eol;
  bool split;
  std::vector<std::string> chunks;  // sent one after the other, then the peer closes
  Lines dataIn;
};

class WindowLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(WindowLinesTest, PeerCloseDeliversTheRestAndDisconnectsOnce) {
  const LinesCase& c = GetParam();
  Signal connected;
  LoopbackServer server([&](Peer& peer) {
    connected.Wait();
    for (const auto& chunk : c.chunks) {
      peer.Send(chunk);
      Sleep(30);
    }
  });
  Recorder rec;
  if (c.split) {
    std::string ignored;
    ASSERT_EQ(rec.engine->Config("SplitCRLF=True", ignored), 0);
  } else {
    rec.engine->SetEol(c.eol);
  }
  rec.ConnectTo(server.Port());
  connected.Notify();
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }))
      << ::testing::PrintToString(rec.log);
  rec.PumpFor(100);
  EXPECT_EQ(rec.Only("DataIn"), c.dataIn);
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
  EXPECT_EQ(rec.log.back(), "Disconnected 0 OK");
  EXPECT_EQ(rec.engine->SocketHandle(), kNoSocket);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowLinesTest,
    ::testing::Values(
        LinesCase{"NoMarker", "", false, {"AB", "CD"}, {"DataIn AB 1", "DataIn CD 1"}},
        LinesCase{"CrLf",
                  "\r\n",
                  false,
                  {"one\r\ntw", "o\r\nthree"},
                  {"DataIn one 1", "DataIn two 1", "DataIn three 0"}},
        LinesCase{"SplitPairAcrossReads", "", true, {"A\r", "\nB\n"}, {"DataIn A 1", "DataIn B 1"}},
        LinesCase{"MarkerOfItsOwn",
                  "|",
                  false,
                  {"x|y|", "z"},
                  {"DataIn x 1", "DataIn y 1", "DataIn z 0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowEngineTest, DataHeldWhileAcceptDataIsOffArrivesWhenSwitchedOn) {
  Signal connected;
  Signal sent;
  LoopbackServer server([&](Peer& peer) {
    connected.Wait();
    peer.Send("one\r\ntwo\r\n");
    sent.Notify();
    peer.WaitClosed();
  });
  Recorder rec;
  rec.engine->SetEol("\r\n");
  rec.ConnectTo(server.Port());
  rec.engine->SetAcceptData(false);
  connected.Notify();
  ASSERT_TRUE(sent.Wait());
  rec.PumpFor(300);
  EXPECT_TRUE(rec.Only("DataIn").empty());
  rec.engine->SetAcceptData(true);
  ASSERT_TRUE(rec.PumpUntilLogged("DataIn two 1"));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn one 1", "DataIn two 1"}));
  EXPECT_TRUE(rec.engine->Connected());
  EXPECT_EQ(rec.engine->Disconnect(), 0);
}

using testing::PeerCloseCase;

class WindowPeerCloseTest : public ::testing::TestWithParam<PeerCloseCase> {};

TEST_P(WindowPeerCloseTest, EndsTheConnectionWithTheCloseCode) {
  const PeerCloseCase& c = GetParam();
  Signal connected;
  LoopbackServer server([&](Peer& peer) {
    connected.Wait();
    peer.Send("one\r\nrest");
    if (c.reset) {
      peer.ReceiveExactly(1);
      Sleep(100);
      peer.Reset();
    } else {
      peer.Close();
    }
  });
  Recorder rec;
  rec.engine->SetEol("\r\n");
  rec.ConnectTo(server.Port());
  rec.engine->SetAcceptData(c.acceptData);
  if (c.reset) {
    ASSERT_EQ(rec.engine->Send("x"), 0);
  }
  connected.Notify();
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }))
      << ::testing::PrintToString(rec.log);
  rec.PumpFor(100);
  if (!c.dataIn.empty()) {
    EXPECT_EQ(rec.Only("DataIn"), c.dataIn);
  }
  EXPECT_EQ(rec.Only("Disconnected").size(), 1u);
  EXPECT_FALSE(rec.engine->Connected());
  EXPECT_EQ(rec.engine->SocketHandle(), kNoSocket);
  EXPECT_TRUE(rec.Only("Error").empty()) << ::testing::PrintToString(rec.log);
  if (c.reset && RunningUnderWine()) {
    GTEST_SKIP() << "Wine reports a reset by the peer as a normal close: " << rec.log.back();
  }
  EXPECT_EQ(rec.Only("Disconnected"), Lines{c.disconnected});
}

INSTANTIATE_TEST_SUITE_P(Ends, WindowPeerCloseTest, ::testing::ValuesIn(testing::kPeerCloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The error WinSock gives with FD_CLOSE is what Disconnected carries, also
// when the reads that follow see a normal end.
TEST(WindowEngineTest, CloseNotificationCode_ReachesDisconnectedAfterEverythingIsDelivered) {
  Signal sent;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("a\r\nb");
    sent.Notify();
    peer.WaitClosed();
  });
  Recorder rec;
  rec.engine->SetEol("\r\n");
  rec.engine->SetAcceptData(false);
  rec.ConnectTo(server.Port());
  ASSERT_TRUE(sent.Wait());
  rec.PumpFor(200);
  ASSERT_TRUE(rec.Only("DataIn").empty());
  PostMessageA(rec.Watcher().Window(), WindowSocketWatcher::kSocketNotify,
               static_cast<WPARAM>(rec.engine->SocketHandle()), MAKELPARAM(FD_CLOSE, WSAENETRESET));
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn a 1", "DataIn b 0"}));
  EXPECT_EQ(rec.log.back(), "Disconnected 10052 [10052] Net dropped connection or reset");
  EXPECT_TRUE(
      rec.Count("Status Remote host disconnected. 10052 [10052] Net dropped connection or reset") ==
      1);
  EXPECT_FALSE(rec.engine->Connected());
}

int failingRecvCode = 0;
SocketSize FailRecv(SocketHandle, void*, size_t, int) {
  SetLastError(failingRecvCode);
  return -1;
}

struct RecvFailureCase {
  const char* name;
  int code;
  bool connectionGone;
};

void PrintTo(const RecvFailureCase& c, std::ostream* os) { *os << c.name; }

class WindowRecvFailureTest : public ::testing::TestWithParam<RecvFailureCase> {};

TEST_P(WindowRecvFailureTest, FiresErrorAndClosesOnlyAConnectionThatIsGone) {
  const RecvFailureCase& c = GetParam();
  LoopbackServer server([](Peer& peer) {
    peer.Send("data");
    peer.WaitClosed();
  });
  Recorder rec;
  rec.ConnectTo(server.Port());
  failingRecvCode = c.code;
  ScopedSocketFunction fail(&SocketApi::recv, &FailRecv);
  const std::string code = std::to_string(c.code);
  ASSERT_TRUE(rec.PumpUntilLogged("Error " + code + " socket error in recv: " + code))
      << ::testing::PrintToString(rec.log);
  rec.PumpFor(100);
  EXPECT_TRUE(rec.Only("DataIn").empty());
  EXPECT_EQ(rec.engine->Connected(), !c.connectionGone);
  if (c.connectionGone) {
    EXPECT_EQ(rec.Only("Disconnected"),
              Lines{"Disconnected " + code + " " + FormatErrorCode(c.code)});
  } else {
    EXPECT_TRUE(rec.Only("Disconnected").empty());
    EXPECT_EQ(rec.engine->Disconnect(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, WindowRecvFailureTest,
                         ::testing::Values(RecvFailureCase{"NoBufferSpace", WSAENOBUFS, false},
                                           RecvFailureCase{"TimedOut", WSAETIMEDOUT, true},
                                           RecvFailureCase{"NetworkReset", WSAENETRESET, true},
                                           RecvFailureCase{"NetworkDown", WSAENETDOWN, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A peer that closes with bytes it never read resets the connection (the
// system sends RST), which WinSock reports as 10054.
TEST(WindowEngineTest, PeerClosingWithUnreadBytes_DisconnectsWith10054) {
  Signal sent;
  LoopbackServer server([&](Peer& peer) {
    sent.Wait();
    Sleep(200);
    peer.Close();
  });
  Recorder rec;
  rec.ConnectTo(server.Port());
  ASSERT_EQ(rec.engine->Send("never read"), 0);
  sent.Notify();
  ASSERT_TRUE(rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }));
  rec.PumpFor(100);
  ASSERT_EQ(rec.Only("Disconnected").size(), 1u);
  EXPECT_EQ(rec.engine->SocketHandle(), kNoSocket);
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine reports a reset by the peer as a normal close (FD_CLOSE error 0, "
                    "recv 0): "
                 << rec.log.back();
  }
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 10054 [10054] Connection reset by peer"});
}

TEST(WindowEngineTest, SendAndSendLineReachThePeer) {
  std::string received;
  LoopbackServer server([&](Peer& peer) { received = peer.ReceiveAll(); });
  Recorder rec;
  rec.ConnectTo(server.Port());
  EXPECT_EQ(rec.engine->Send("hello "), 0);
  EXPECT_EQ(rec.engine->BytesSent(), 6);
  EXPECT_EQ(rec.engine->SendLine("world"), 0);
  EXPECT_EQ(rec.engine->Disconnect(), 0);
  server.Join();
  EXPECT_EQ(received, "hello world\r\n");
}

TEST(WindowEngineTest, SendThatWouldBlock_ReadyToSendFollowsWhenThePeerReads) {
  Signal full;
  size_t total = 0;
  LoopbackServer server([&](Peer& peer) {
    full.Wait(10000);
    total = peer.ReceiveAll(10000).size();
  });
  Recorder rec;
  rec.ConnectTo(server.Port());
  ASSERT_TRUE(rec.PumpUntil([&] { return rec.readyToSend == 1; }));
  const std::string block(65536, 'x');
  size_t sent = 0;
  int rc = 0;
  for (int i = 0; i < 2000 && rc == 0; ++i) {
    rc = rec.engine->Send(block);
    sent += static_cast<size_t>(rec.engine->BytesSent());
  }
  ASSERT_EQ(rc, kWsaWouldBlock) << "the system took " << sent << " bytes without blocking";
  full.Notify();
  // Every ReadyToSend invites one more try; the system may still refuse a
  // send while it drains, and then tells again.
  rc = kWsaWouldBlock;
  for (int seen = rec.readyToSend; rc == kWsaWouldBlock && seen < 100; seen = rec.readyToSend) {
    ASSERT_TRUE(rec.PumpUntil([&] { return rec.readyToSend > seen; }, 10000));
    rc = rec.engine->Send("end");
  }
  ASSERT_EQ(rc, 0);
  sent += 3;
  EXPECT_EQ(rec.engine->Disconnect(), 0);
  server.Join();
  EXPECT_EQ(total, sent);
}

TEST(WindowEngineTest, WaitingConnectAndGetLine) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("first li");
    Sleep(50);
    peer.Send("ne\r\nsecond\r\n");
    peer.WaitClosed();
  });
  Recorder rec;
  rec.engine->SetTimeout(5);
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(server.Port()), 0);
  ASSERT_EQ(rec.engine->Connect(), 0) << rec.engine->ErrorText();
  EXPECT_TRUE(rec.engine->Connected());
  std::string line;
  ASSERT_EQ(rec.engine->GetLine(line), 0) << rec.engine->ErrorText();
  EXPECT_EQ(line, "first line");
  ASSERT_EQ(rec.engine->GetLine(line), 0) << rec.engine->ErrorText();
  EXPECT_EQ(line, "second");
  EXPECT_EQ(rec.engine->Disconnect(), 0);
  EXPECT_FALSE(rec.engine->Connected());
}

TEST(WindowEngineTest, GetLine_CrLfSplitBetweenTwoCallsEndsOneLine) {
  Signal firstLine;
  LoopbackServer server([&](Peer& peer) {
    peer.Send("A\r");
    firstLine.Wait();
    peer.Send("\nB\r\n");
    peer.WaitClosed();
  });
  Recorder rec;
  rec.engine->SetTimeout(5);
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(server.Port()), 0);
  ASSERT_EQ(rec.engine->Connect(), 0) << rec.engine->ErrorText();
  std::string line;
  ASSERT_EQ(rec.engine->GetLine(line), 0) << rec.engine->ErrorText();
  EXPECT_EQ(line, "A");
  firstLine.Notify();
  ASSERT_EQ(rec.engine->GetLine(line), 0) << rec.engine->ErrorText();
  EXPECT_EQ(line, "B");
  EXPECT_EQ(rec.Only("DataIn"), (Lines{"DataIn A 1", "DataIn B 1"}));
  EXPECT_EQ(rec.engine->Disconnect(), 0);
}

TEST(WindowEngineTest, GetLine_LinesThatCameWithTheCloseAreStillTaken) {
  LoopbackServer server([](Peer& peer) {
    peer.Send("L1\r\nL2\r\nL3\r\nrest");
    peer.Close();
  });
  Recorder rec;
  rec.engine->SetTimeout(5);
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(server.Port()), 0);
  ASSERT_EQ(rec.engine->Connect(), 0) << rec.engine->ErrorText();
  std::string line;
  for (const char* expected : {"L1", "L2", "L3"}) {
    ASSERT_EQ(rec.engine->GetLine(line), 0) << rec.engine->ErrorText();
    EXPECT_EQ(line, expected);
    rec.PumpFor(50);  // the close may arrive between two calls
  }
  EXPECT_EQ(rec.engine->GetLine(line), kErrWait);
  EXPECT_EQ(rec.engine->ErrorText(), "Disconnected.");
  EXPECT_EQ(rec.Only("Disconnected"), Lines{"Disconnected 0 OK"});
}

TEST(WindowEngineTest, WaitingConnectRefused_FailsWithTheCode) {
  Recorder rec;
  rec.engine->SetTimeout(5);
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(testing::UnusedLoopbackPort()), 0);
  EXPECT_EQ(rec.engine->Connect(), 10061);
  EXPECT_EQ(rec.engine->ErrorText(), "[10061] Connection refused");
  EXPECT_EQ(rec.engine->SocketHandle(), kNoSocket);
}

TEST(WindowEngineTest, GetLineWithNothingComing_TimesOut) {
  LoopbackServer server([](Peer& peer) { peer.WaitClosed(); });
  Recorder rec;
  rec.engine->SetTimeout(1);
  ASSERT_EQ(rec.engine->SetRemoteHost("127.0.0.1"), 0);
  ASSERT_EQ(rec.engine->SetRemotePort(server.Port()), 0);
  ASSERT_EQ(rec.engine->Connect(), 0) << rec.engine->ErrorText();
  std::string line;
  EXPECT_EQ(rec.engine->GetLine(line), kErrWait);
  EXPECT_EQ(rec.engine->ErrorText(), "Timeout.");
}

TEST(WindowEngineTest, HostNames_ResolveThroughTheLibrary) {
  Recorder rec;
  EXPECT_EQ(rec.engine->SetRemoteHost("localhost"), 0);
  EXPECT_EQ(rec.engine->RemoteHost(), "127.0.0.1");
  EXPECT_EQ(rec.engine->SetLocalHost("127.0.0.1"), 0);
  EXPECT_EQ(rec.engine->LocalHost(), "127.0.0.1");
}

}  // namespace
}  // namespace torvane
