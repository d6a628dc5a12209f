// Running a self-registering module's own DllRegisterServer, as regsvr32 does.
#ifndef TORVANE_PLATFORM_AUTOMATION_MODULEREGISTRATION_H_
#define TORVANE_PLATFORM_AUTOMATION_MODULEREGISTRATION_H_

#include <string>

namespace torvane {

// Loads the module at path (it stays loaded) and calls its DllRegisterServer.
// Empty on success, otherwise why it failed (cannot load, no entry point, the
// entry point's HRESULT).
std::string RegisterServerModule(const std::string& path);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_MODULEREGISTRATION_H_
