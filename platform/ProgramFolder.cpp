#include "ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>

namespace torvane {

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

std::string SettingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/TorvaneTX";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.config/TorvaneTX";
}

}  // namespace torvane
