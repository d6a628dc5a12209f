// torvanetx-cli register|unregister [MODULE]: runs a module's own
// DllRegisterServer / DllUnregisterServer against the classes hive in the
// settings folder.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "ClassesRootHive.h"
#include "CliCommand.h"
#include "ControlRegistration.h"
#include "Dispatch.h"
#include "ProgramFolder.h"

namespace torvane::cli {
namespace {

int RunServerEntry(const Arguments& args, const char* command, const char* entry) {
  if (args.size() > 1) {
    std::fprintf(stderr, "usage: torvanetx-cli %s [MODULE]\n", command);
    return 2;
  }
  std::string module = args.empty() ? ProgramLibrary(kWireletModuleName) : args[0];
  if (module.empty()) module = ProgramFolder() + "/" + kWireletModuleName;
  // A bare file name means the current folder, not the loader's search path.
  if (module.find('/') == std::string::npos) module = "./" + module;
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    std::fprintf(stderr, "torvanetx-cli %s: cannot load %s: %s\n", command, module.c_str(),
                 reason != nullptr ? reason : "unknown error");
    return 1;
  }
  auto function = reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, entry));
  if (function == nullptr) {
    std::fprintf(stderr, "torvanetx-cli %s: %s has no %s\n", command, module.c_str(), entry);
    return 1;
  }
  HResult hr = function();
  if (Failed(hr)) {
    std::fprintf(stderr, "torvanetx-cli %s: %s failed: 0x%08X\n", command, entry,
                 static_cast<unsigned>(hr));
    return 1;
  }
  std::printf("%s %s in %s\n", command[0] == 'r' ? "registered" : "unregistered", module.c_str(),
              ClassesRootFile().c_str());
  return 0;
}

}  // namespace

int RunRegister(const Arguments& args) {
  return RunServerEntry(args, "register", "DllRegisterServer");
}

int RunUnregister(const Arguments& args) {
  return RunServerEntry(args, "unregister", "DllUnregisterServer");
}

}  // namespace torvane::cli
