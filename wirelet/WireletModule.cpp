// libwirelet61.so: the in-process server of the Wirelet control. Exports the
// four entry points of a self-registering module; everything else stays local.
#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>

#include "ClassesRootHive.h"
#include "PollWatcher.h"
#include "RegistryScript.h"
#include "Wirelet.h"

#ifdef TORVANE_WIRELET_WITH_QT
#include <QCoreApplication>

#include "QtSocketWatcher.h"
#endif

#define WIRELET_EXPORT extern "C" __attribute__((visibility("default")))

namespace torvane {
namespace {

// The registry script (Wirelet.rgs, the Windows module's "REGISTRY" resource),
// with %MODULE% and the identifiers filled in when it runs.
#include "WireletRegistryScript.h"

// What registering the type library adds: the library and its two interfaces.
constexpr char kTypeLibScript[] = R"(
HKCR
{
  NoRemove TypeLib
  {
    ForceRemove '%LIBID%'
    {
      '1.0' = s 'WIRELETLib'
      {
        '0'
        {
          linux64 = s '%MODULE%'
        }
        FLAGS = s '0'
        HELPDIR = s '%FOLDER%'
      }
    }
  }
  NoRemove Interface
  {
    ForceRemove '%IID%' = s 'IWirelet'
    {
      ProxyStubClsid32 = s '{00020424-0000-0000-C000-000000000046}'
      TypeLib = s '%LIBID%'
      {
        val Version = s '1.0'
      }
    }
    ForceRemove '%DIID%' = s '_IWireletEvents'
    {
      ProxyStubClsid32 = s '{00020420-0000-0000-C000-000000000046}'
      TypeLib = s '%LIBID%'
      {
        val Version = s '1.0'
      }
    }
  }
}
)";

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};

std::unique_ptr<SocketWatcher> MakeWatcher() {
#ifdef TORVANE_WIRELET_WITH_QT
  if (QCoreApplication::instance() != nullptr) return std::make_unique<QtSocketWatcher>();
#endif
  return std::make_unique<PollWatcher>();
}

// The factory lives as long as the module.
class WireletFactory final : public ModuleClassFactory {
 public:
  HResult CreateInstance(IUnknown* outer, const Guid& iid, void** out) override {
    if (out == nullptr) return kEPointer;
    *out = nullptr;
    if (outer != nullptr) return kClassENoAggregation;
    ++liveObjects;
    Wirelet* control = Wirelet::Create(&MakeWatcher, [] { --liveObjects; });
    HResult hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }

  HResult LockServer(bool lock) override {
    serverLocks += lock ? 1 : -1;
    return kSOk;
  }
};

WireletFactory& Factory() {
  static WireletFactory factory;
  return factory;
}

// The module's own full path.
std::string ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
  return resolved;
}

std::map<std::string, std::string> ScriptValues() {
  std::string module = ModulePath();
  size_t slash = module.rfind('/');
  return {{"MODULE", module},
          {"FOLDER", slash == std::string::npos ? "." : module.substr(0, slash)},
          {"NAME", kWireletDisplayName},
          {"CLSID", kClsidWirelet.ToString()},
          {"IID", kIidIWirelet.ToString()},
          {"DIID", kDiidWireletEvents.ToString()},
          {"LIBID", kLibidWirelet.ToString()}};
}

template <typename Action>
HResult RunScripts(Action action) {
  std::map<std::string, std::string> values = ScriptValues();
  if (values["MODULE"].empty()) return kSelfRegEClass;
  std::optional<RegistryScript> registry =
      RegistryScript::Parse(SubstituteScript(kRegistryScript, values));
  std::optional<RegistryScript> typeLib =
      RegistryScript::Parse(SubstituteScript(kTypeLibScript, values));
  if (!registry || !typeLib) return kSelfRegEClass;
  std::unique_ptr<SettingsStore> store = OpenClassesRoot();
  {
    SettingsStore::Batch batch(*store);
    ClassesRootHive hive(*store);
    action(*registry, *typeLib, hive);
  }
  return store->HasUnsavedChanges() ? kEFail : kSOk;
}

}  // namespace
}  // namespace torvane

using namespace torvane;

WIRELET_EXPORT HResult DllGetClassObject(const Guid& clsid, const Guid& iid, void** out) {
  if (out == nullptr) return kEPointer;
  *out = nullptr;
  if (clsid != kClsidWirelet) return kClassEClassNotAvailable;
  return Factory().QueryInterface(iid, out);
}

WIRELET_EXPORT HResult DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? kSOk : kSFalse;
}

WIRELET_EXPORT HResult DllRegisterServer() {
  return RunScripts(
      [](const RegistryScript& registry, const RegistryScript& typeLib, RegistryHive& hive) {
        registry.Register(hive);
        typeLib.Register(hive);
      });
}

WIRELET_EXPORT HResult DllUnregisterServer() {
  return RunScripts(
      [](const RegistryScript& registry, const RegistryScript& typeLib, RegistryHive& hive) {
        registry.Unregister(hive);
        typeLib.Unregister(hive);
      });
}
