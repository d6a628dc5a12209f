// wirelet61.dll: the in-process COM server of the Wirelet control. Exports the
// four entry points of a self-registering module (wirelet61.def); carries its
// type library ("TYPELIB" 1), registry script ("REGISTRY" 102) and toolbox
// bitmap (101) as resources (wirelet61.rc).
// The socket engine's headers bring winsock2.h, which must come before windows.h.
#include <winsock2.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <optional>
#include <string>

#include "ComVariant.h"
#include "ComWirelet.h"
#include "RegistryScript.h"
#include "SystemClassesHive.h"
#include "WindowSocketWatcher.h"
#include "WireletModuleWin32.h"
#include "WireletTypeLib.h"

namespace torvane {
namespace {

constexpr int kRegistryResource = 102;

HINSTANCE moduleInstance = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

class WireletFactory final : public ::IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<::IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory lives as long as the module.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComWirelet* control = ComWirelet::Create();
    HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    serverLocks += lock ? 1 : -1;
    return S_OK;
  }
};

WireletFactory factory;

std::optional<std::string> RegistryScriptText() {
  HRSRC found = FindResourceA(moduleInstance, MAKEINTRESOURCEA(kRegistryResource), "REGISTRY");
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(moduleInstance, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), SizeofResource(moduleInstance, found));
}

// Runs the registry script one way, on the system's classes hive.
HRESULT RunRegistryScript(bool registering) {
  const std::wstring path = WireletModulePath();
  std::optional<std::string> text = RegistryScriptText();
  if (path.empty() || !text) return SELFREG_E_CLASS;
  const std::map<std::string, std::string> values = {
      {"MODULE", Utf8FromWide(path.data(), path.size())},
      {"NAME", kWireletDisplayName},
      {"CLSID", kClsidWirelet.ToString()},
      {"LIBID", kLibidWirelet.ToString()}};
  std::optional<RegistryScript> script = RegistryScript::Parse(SubstituteScript(*text, values));
  if (!script) return SELFREG_E_CLASS;
  SystemClassesHive hive;
  if (registering) {
    script->Register(hive);
  } else {
    script->Unregister(hive);
  }
  return hive.Failed() ? SELFREG_E_CLASS : S_OK;
}

}  // namespace

HINSTANCE WireletModuleInstance() { return moduleInstance; }

std::wstring WireletModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(moduleInstance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(path, length);
}

void WireletObjectCreated() { ++liveObjects; }
void WireletObjectDestroyed() { --liveObjects; }

}  // namespace torvane

using namespace torvane;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    moduleInstance = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded while the process goes on: the socket window class is global
    // and would keep pointing into this module's code, so a module loaded
    // again (at another address, maybe) would find it and crash on its
    // first message. (Under Wine this build stays loaded after its last
    // FreeLibrary, so there it never comes to this.)
    UnregisterClassA(WindowSocketWatcher::kClassName, instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_Wirelet) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  if (HRESULT hr = RunRegistryScript(true); FAILED(hr)) return hr;
  const std::wstring path = WireletModulePath();
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  // The help file sits beside the module.
  std::wstring full = path;
  std::wstring folder = path.substr(0, path.find_last_of(L"\\/"));
  hr = RegisterTypeLib(library, full.data(), folder.data());
  library->Release();
  return hr;
}

STDAPI DllUnregisterServer() {
  HRESULT hr = RunRegistryScript(false);
  // Looked up by name: older systems' automation library may lack it.
  using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE automation = GetModuleHandleA("oleaut32.dll");
  auto unregister = automation != nullptr
                        ? reinterpret_cast<UnRegisterTypeLibFunction>(
                              reinterpret_cast<void*>(GetProcAddress(automation, "UnRegisterTypeLib")))
                        : nullptr;
  if (unregister != nullptr) {
    HRESULT typeLib = unregister(LIBID_WIRELETLib, 1, 0, 0x409, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    if (SUCCEEDED(hr) && FAILED(typeLib)) hr = typeLib;
  }
  return hr;
}
