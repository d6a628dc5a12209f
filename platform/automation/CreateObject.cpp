#include "CreateObject.h"

#include <dlfcn.h>

#include <map>

namespace torvane {
namespace {

constexpr int kMaxCurVerHops = 8;

std::string& ModuleError() {
  static std::string text;
  return text;
}

void* OpenModule(const std::string& path) {
  static std::map<std::string, void*> modules;
  auto found = modules.find(path);
  if (found != modules.end()) return found->second;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = dlerror();
    ModuleError() = text != nullptr ? text : path;
    return nullptr;
  }
  modules.emplace(path, handle);
  return handle;
}

}  // namespace

HResult ClsidFromProgId(const RegistryHive& hive, std::string_view progId, Guid& clsid) {
  std::string current(progId);
  for (int hop = 0; hop < kMaxCurVerHops; ++hop) {
    std::optional<std::string> next = hive.ReadValue(current + "\\CurVer", "");
    if (!next || *next == current || !hive.ReadValue(*next + "\\CLSID", "")) break;
    current = *next;
  }
  std::optional<std::string> text = hive.ReadValue(current + "\\CLSID", "");
  if (!text) return kCoEClassString;
  std::optional<Guid> parsed = Guid::Parse(*text);
  if (!parsed) return kCoEClassString;
  clsid = *parsed;
  return kSOk;
}

HResult CreateInstanceOf(const RegistryHive& hive, const Guid& clsid, const Guid& iid, void** out) {
  if (out == nullptr) return kEPointer;
  *out = nullptr;
  std::optional<std::string> path =
      hive.ReadValue("CLSID\\" + clsid.ToString() + "\\InprocServer32", "");
  if (!path) return kRegdbEClassNotReg;
  void* module = OpenModule(*path);
  if (module == nullptr) return kCoEDllNotFound;
  auto getClassObject =
      reinterpret_cast<DllGetClassObjectFunction>(dlsym(module, "DllGetClassObject"));
  if (getClassObject == nullptr) return kCoEErrorInDll;
  ComPtr<IClassFactory> factory;
  HResult hr = getClassObject(clsid, kIidClassFactory, factory.Out());
  if (Failed(hr)) return hr;
  return factory->CreateInstance(nullptr, iid, out);
}

HResult CreateObject(const RegistryHive& hive, std::string_view progId, const Guid& iid,
                     void** out) {
  if (out == nullptr) return kEPointer;
  *out = nullptr;
  Guid clsid;
  if (HResult hr = ClsidFromProgId(hive, progId, clsid); Failed(hr)) return hr;
  return CreateInstanceOf(hive, clsid, iid, out);
}

std::string LastModuleError() { return ModuleError(); }

}  // namespace torvane
