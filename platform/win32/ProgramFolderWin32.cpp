#include <windows.h>

#include <cstdlib>

#include "ProgramFolder.h"

namespace torvane {

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".";
  const std::string exe(path, n);
  const auto slash = exe.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

// Page files and dumps live beside the settings of the user's roaming profile.
std::string SettingsFolder() {
  const char* appData = std::getenv("APPDATA");
  if (appData != nullptr && *appData != '\0') return std::string(appData) + "\\TorvaneTX";
  return ProgramFolder();
}

}  // namespace torvane
