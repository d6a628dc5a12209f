#include <dlfcn.h>

#include <cstdio>

#include "Dispatch.h"
#include "ModuleRegistration.h"

namespace torvane {

std::string RegisterServerModule(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    return "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown error");
  }
  auto function = reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, "DllRegisterServer"));
  if (function == nullptr) return path + " has no DllRegisterServer";
  const HResult hr = function();
  if (Failed(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return "DllRegisterServer of " + path + " failed: " + code;
  }
  return {};
}

}  // namespace torvane
