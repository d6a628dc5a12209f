// The built libwirelet61.so through its exports: registration into the
// classes hive of a private settings folder, CreateObject by ProgID, the
// class factory and unloading.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CallbackSink.h"
#include "ClassesRootHive.h"
#include "CreateObject.h"
#include "LoopbackServer.h"
#include "Wirelet.h"

namespace torvane {
namespace {

using testing::LoopbackServer;
using testing::Peer;

const std::string kClsid = kClsidWirelet.ToString();

class WireletModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/wirelet-module-XXXXXX";
    folder_ = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    module_ = dlopen(TORVANE_WIRELET_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr) << dlerror();
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }

  template <typename Fn>
  static Fn Export(const char* name) {
    return reinterpret_cast<Fn>(dlsym(module_, name));
  }
  static HResult Register() { return Export<DllRegisterServerFunction>("DllRegisterServer")(); }
  static HResult Unregister() { return Export<DllRegisterServerFunction>("DllUnregisterServer")(); }
  static HResult CanUnloadNow() { return Export<DllCanUnloadNowFunction>("DllCanUnloadNow")(); }

  static std::string Read(const std::string& key, const std::string& name = "") {
    return OpenClassesRoot()->ReadSetting(key, name, Hive::kClassesRoot);
  }
  static std::string HiveText() {
    std::ifstream file(ClassesRootFile());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static std::string ModulePath() {
    char resolved[PATH_MAX];
    return realpath(TORVANE_WIRELET_MODULE, resolved);
  }
  static HResult Create(const char* progId, ComPtr<IDispatch>& object) {
    std::unique_ptr<SettingsStore> store = OpenClassesRoot();
    ClassesRootHive hive(*store);
    return CreateObject(hive, progId, kIidDispatch, object.Out());
  }

  static std::string folder_;
  static void* module_;
};

std::string WireletModuleTest::folder_;
void* WireletModuleTest::module_ = nullptr;

TEST_F(WireletModuleTest, RegisterWritesTheClassEntries) {
  ASSERT_EQ(Register(), kSOk);
  const std::string clsidKey = "CLSID\\" + kClsid;
  for (const char* progId : {"Wirekit.Wirelet", "Wirekit.Wirelet.1", "Wirekit6.Wirelet"}) {
    SCOPED_TRACE(progId);
    EXPECT_EQ(Read(progId), kWireletDisplayName);
    EXPECT_EQ(Read(std::string(progId) + "\\CLSID"), kClsid);
    EXPECT_EQ(Read(std::string(progId) + "\\CurVer"), "Wirekit.Wirelet.1");
  }
  const std::pair<std::string, std::string> values[] = {
      {"", kWireletDisplayName},
      {"\\ProgID", "Wirekit.Wirelet.1"},
      {"\\VersionIndependentProgID", "Wirekit.Wirelet"},
      {"\\InprocServer32", ModulePath()},
      {"\\ToolboxBitmap32", ModulePath() + ", 101"},
      {"\\MiscStatus", "0"},
      {"\\MiscStatus\\1", "132497"},
      {"\\TypeLib", kLibidWirelet.ToString()},
      {"\\Version", "1.0"},
  };
  for (const auto& [key, value] : values) EXPECT_EQ(Read(clsidKey + key), value) << key;
  EXPECT_EQ(Read(clsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  std::string text = HiveText();
  for (const char* empty : {"Programmable", "Control", "Insertable", "Windows CE Control"}) {
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\" + clsidKey + "\\" + empty + "]"), std::string::npos)
        << empty;
  }
  EXPECT_EQ(Read("TypeLib\\" + kLibidWirelet.ToString() + "\\1.0\\0\\linux64"), ModulePath());
  EXPECT_EQ(Read("Interface\\" + kIidIWirelet.ToString()), "IWirelet");
}

TEST_F(WireletModuleTest, CreateObjectReachesARegisteredControl) {
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(CanUnloadNow(), kSOk);
  for (const char* progId : {"Wirekit.Wirelet", "Wirekit.Wirelet.1", "Wirekit6.Wirelet"}) {
    ComPtr<IDispatch> control;
    ASSERT_EQ(Create(progId, control), kSOk) << progId;
    EXPECT_EQ(CanUnloadNow(), kSFalse);
    Variant args[] = {Variant::String("MaxLineLength")};
    Variant result;
    ASSERT_EQ(control->Invoke(501, kDispatchMethod, args, &result, nullptr), kSOk);
    EXPECT_EQ(result, Variant::String("2048"));
  }
  EXPECT_EQ(CanUnloadNow(), kSOk);
}

TEST_F(WireletModuleTest, CreatedControlTalksToAServer) {
  ASSERT_EQ(Register(), kSOk);
  LoopbackServer server([](Peer& peer) {
    peer.Send("hello");
    peer.WaitClosed();
  });
  ComPtr<IDispatch> control;
  ASSERT_EQ(Create("Wirekit.Wirelet", control), kSOk);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(control->QueryInterface(kIidConnectionPoint, point.Out()), kSOk);
  std::string received;
  CallbackSink* sink = CallbackSink::Create([&](DispId id, std::span<Variant> args) {
    if (id == kEventDataIn) received = args[0].AsString();
  });
  uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(sink, &cookie), kSOk);
  Variant connectArgs[] = {Variant::String("127.0.0.1"), Variant::I4(server.Port())};
  ASSERT_EQ(control->Invoke(502, kDispatchMethod, connectArgs, nullptr, nullptr), kSOk);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (received.empty() && std::chrono::steady_clock::now() < end) {
    control->Invoke(504, kDispatchMethod, {}, nullptr, nullptr);
  }
  EXPECT_EQ(received, "hello");
  point->Unadvise(cookie);
  sink->Release();
}

TEST_F(WireletModuleTest, ClassObjectAndLocks) {
  auto getClassObject = Export<DllGetClassObjectFunction>("DllGetClassObject");
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClassObject(kIidDispatch, kIidClassFactory, factory.Out()),
            kClassEClassNotAvailable);
  EXPECT_EQ(getClassObject(kClsidWirelet, kIidClassFactory, nullptr), kEPointer);
  ASSERT_EQ(getClassObject(kClsidWirelet, kIidClassFactory, factory.Out()), kSOk);
  ComPtr<IDispatch> object;
  IUnknown* outer = factory.Get();
  EXPECT_EQ(factory->CreateInstance(outer, kIidDispatch, object.Out()), kClassENoAggregation);
  EXPECT_EQ(factory->LockServer(true), kSOk);
  EXPECT_EQ(CanUnloadNow(), kSFalse);
  EXPECT_EQ(factory->LockServer(false), kSOk);
  EXPECT_EQ(CanUnloadNow(), kSOk);
}

TEST_F(WireletModuleTest, UnregisterRemovesTheEntriesAndCreateObjectFailsCleanly) {
  {
    std::unique_ptr<SettingsStore> store = OpenClassesRoot();
    store->WriteSetting("CLSID\\{00000000-1111-2222-3333-444444444444}", "", "Other", kRegSz,
                        Hive::kClassesRoot);
  }
  ASSERT_EQ(Register(), kSOk);
  ASSERT_EQ(Unregister(), kSOk);
  for (const std::string& key : std::vector<std::string>{
           "Wirekit.Wirelet\\CLSID", "Wirekit.Wirelet.1\\CLSID", "Wirekit6.Wirelet\\CLSID",
           "CLSID\\" + kClsid + "\\ProgID", "Interface\\" + kIidIWirelet.ToString()}) {
    EXPECT_EQ(Read(key), kNoKeyValue) << key;
  }
  EXPECT_EQ(Read("CLSID\\{00000000-1111-2222-3333-444444444444}"), "Other");
  EXPECT_EQ(HiveText().find(kClsid), std::string::npos);
  ComPtr<IDispatch> control;
  EXPECT_EQ(Create("Wirekit.Wirelet", control), kCoEClassString);
  EXPECT_FALSE(control);
  EXPECT_EQ(Unregister(), kSOk);
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(Create("Wirekit.Wirelet", control), kSOk);
}

}  // namespace
}  // namespace torvane
