// The TCP control's registration in the user's classes hive, checked at each
// start of the program: a user who has none gets the program's own module
// registered, so a timing link over TCP works without a register step; a
// registration made on purpose to another module is kept.
#ifndef TORVANE_WIRELET_CONTROLREGISTRATION_H_
#define TORVANE_WIRELET_CONTROLREGISTRATION_H_

#include <functional>
#include <string>

#include "RegistryHive.h"

namespace torvane {

constexpr const char* kWireletProgId = "Wirekit.Wirelet";
constexpr const char* kWireletModuleName = "libwirelet61.so";

struct ControlRegistration {
  enum class Outcome {
    kOwnModule,        // already the program's own module: nothing done
    kRegistered,       // none was registered; now the program's own module is
    kReplacedMissing,  // the registered module is gone; the program's own replaces it
    kOtherModule,      // another module that exists is registered: left alone
    kNoOwnModule,      // nothing usable registered, and the program has no module
    kFailed,           // the module's own registration failed
  };
  Outcome outcome = Outcome::kOwnModule;
  // The module the registration names afterwards; empty when none.
  std::string module;
  // One line for the operator's log; empty when there is nothing to say.
  std::string message;
};

// Runs a module's self-registration; empty on success, otherwise why not.
using ModuleRegistrar = std::function<std::string(const std::string& module)>;

// The module that the class registered under kWireletProgId names
// (InprocServer32), empty when there is none.
std::string RegisteredControlModule(const RegistryHive& classes);

// Decides from classes (as it was before; the registrar writes on its own) and
// registers ownModule through registrar when nothing usable is registered.
// ownModule is empty when the program has no module of its own.
ControlRegistration EnsureControlRegistered(const RegistryHive& classes,
                                            const std::string& ownModule,
                                            const ModuleRegistrar& registrar);

// At a start of the program, before the settings store is loaded: the classes
// hive of the settings folder, the module beside the program (installed: in
// ../lib/torvanetx), registered by its own DllRegisterServer.
ControlRegistration RegisterControlAtStart();

}  // namespace torvane

#endif  // TORVANE_WIRELET_CONTROLREGISTRATION_H_
