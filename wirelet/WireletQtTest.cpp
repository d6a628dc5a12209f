// The control created through the module in a process with a Qt event loop:
// its notifications come from socket notifiers, with no DoEvents calls.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "CallbackSink.h"
#include "ClassesRootHive.h"
#include "CreateObject.h"
#include "LoopbackServer.h"
#include "Wirelet.h"

namespace torvane {
namespace {

using testing::LoopbackServer;
using testing::Peer;

bool RunLoopUntil(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  QTimer tick;  // wakes the loop so the time limit is noticed
  tick.start(20);
  while (!done() && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return done();
}

TEST(WireletQtTest, EventsArriveFromTheQtEventLoop) {
  char pattern[] = "/tmp/wirelet-qt-XXXXXX";
  std::string folder = mkdtemp(pattern);
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  int argc = 1;
  char name[] = "wirelet_qt_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  void* module = dlopen(TORVANE_WIRELET_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto registerServer =
      reinterpret_cast<DllRegisterServerFunction>(dlsym(module, "DllRegisterServer"));
  ASSERT_EQ(registerServer(), kSOk);

  LoopbackServer server([](Peer& peer) {
    peer.Send("one\r\ntwo\r\n");
    peer.ReceiveExactly(4);
    peer.Close();
  });
  ComPtr<IDispatch> control;
  {
    std::unique_ptr<SettingsStore> store = OpenClassesRoot();
    ClassesRootHive hive(*store);
    ASSERT_EQ(CreateObject(hive, "Wirekit.Wirelet", kIidDispatch, control.Out()), kSOk);
  }
  std::vector<std::string> events;
  CallbackSink* sink = CallbackSink::Create([&](DispId id, std::span<Variant> args) {
    std::string line = FindWireletMember(id, WireletMember::kEvent)->name;
    if (id == kEventDataIn) line += " " + args[0].AsString();
    events.push_back(line);
  });
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(control->QueryInterface(kIidConnectionPoint, point.Out()), kSOk);
  uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(sink, &cookie), kSOk);

  Variant eol[] = {Variant::String("\r\n")};
  ASSERT_EQ(control->Invoke(5, kDispatchPropertyPut, eol, nullptr, nullptr), kSOk);
  Variant connectArgs[] = {Variant::String("127.0.0.1"), Variant::I4(server.Port())};
  ASSERT_EQ(control->Invoke(502, kDispatchMethod, connectArgs, nullptr, nullptr), kSOk);
  ASSERT_TRUE(RunLoopUntil([&] { return events.size() >= 4; }));
  Variant text[] = {Variant::String("~AC\r")};
  ASSERT_EQ(control->Invoke(506, kDispatchMethod, text, nullptr, nullptr), kSOk);
  ASSERT_TRUE(RunLoopUntil([&] { return events.back() == "Disconnected"; }));
  // ReadyToSend follows the connect; where it falls among the first reads is
  // up to the loop.
  auto ready = std::find(events.begin(), events.end(), "ReadyToSend");
  ASSERT_NE(ready, events.end());
  EXPECT_GT(ready - events.begin(), 1);
  events.erase(ready);
  EXPECT_EQ(events, (std::vector<std::string>{"ConnectionStatus", "Connected", "DataIn one",
                                              "DataIn two", "ConnectionStatus", "Disconnected"}));

  // AcceptData off and more than the line buffer holds: the close is still
  // seen, and everything is delivered before Disconnected.
  LoopbackServer closing([](Peer& peer) {
    peer.ReceiveExactly(1);
    peer.Send("abcdefghij\r\n");
    peer.Close();
  });
  Variant lineLength[] = {Variant::String("MaxLineLength=4")};
  ASSERT_EQ(control->Invoke(501, kDispatchMethod, lineLength, nullptr, nullptr), kSOk);
  events.clear();
  Variant again[] = {Variant::String("127.0.0.1"), Variant::I4(closing.Port())};
  ASSERT_EQ(control->Invoke(502, kDispatchMethod, again, nullptr, nullptr), kSOk);
  ASSERT_TRUE(RunLoopUntil([&] { return !events.empty() && events.back() == "Connected"; }));
  Variant off[] = {Variant::Bool(false)};
  ASSERT_EQ(control->Invoke(1, kDispatchPropertyPut, off, nullptr, nullptr), kSOk);
  Variant go[] = {Variant::String("g")};
  ASSERT_EQ(control->Invoke(506, kDispatchMethod, go, nullptr, nullptr), kSOk);
  ASSERT_TRUE(RunLoopUntil([&] { return events.back() == "Disconnected"; }));
  events.erase(std::remove(events.begin(), events.end(), "ReadyToSend"), events.end());
  EXPECT_EQ(events,
            (std::vector<std::string>{"ConnectionStatus", "Connected", "DataIn abcd", "DataIn efgh",
                                      "DataIn ij", "ConnectionStatus", "Disconnected"}));
  point->Unadvise(cookie);
  sink->Release();
  control.Reset();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace torvane
