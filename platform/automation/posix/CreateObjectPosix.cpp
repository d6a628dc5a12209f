#include "CreateObject.h"

#include <dlfcn.h>

#include <map>

namespace torvane {
namespace {

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
