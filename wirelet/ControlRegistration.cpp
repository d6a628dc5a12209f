#include "ControlRegistration.h"

#include <filesystem>
#include <system_error>

#include "ClassesRootHive.h"
#include "CreateObject.h"
#include "ModuleRegistration.h"
#include "ProgramFolder.h"

namespace torvane {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return a == b || std::filesystem::equivalent(a, b, error);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

ControlRegistration Register(const std::string& ownModule, const ModuleRegistrar& registrar,
                             ControlRegistration::Outcome success, std::string message) {
  const std::string failure = registrar(ownModule);
  if (!failure.empty()) {
    return {ControlRegistration::Outcome::kFailed,
            {},
            "TCP control: registering " + ownModule + " failed: " + failure};
  }
  return {success, ownModule, std::move(message)};
}

}  // namespace

std::string RegisteredControlModule(const RegistryHive& classes) {
  Guid clsid;
  if (Failed(ClsidFromProgId(classes, kWireletProgId, clsid))) return {};
  return classes.ReadValue("CLSID\\" + clsid.ToString() + "\\InprocServer32", "").value_or("");
}

ControlRegistration EnsureControlRegistered(const RegistryHive& classes,
                                            const std::string& ownModule,
                                            const ModuleRegistrar& registrar) {
  using Outcome = ControlRegistration::Outcome;
  const std::string registered = RegisteredControlModule(classes);
  if (registered.empty()) {
    if (ownModule.empty()) {
      return {Outcome::kNoOwnModule,
              {},
              std::string("TCP control: none registered, and ") + kWireletModuleName +
                  " is neither beside the program nor in its " + kInstalledLibraryFolder +
                  "; a TCP link cannot start"};
    }
    return Register(ownModule, registrar, Outcome::kRegistered,
                    "TCP control: none was registered; registered " + ownModule);
  }
  if (!ownModule.empty() && SameFile(registered, ownModule)) {
    return {Outcome::kOwnModule, registered, {}};
  }
  if (Exists(registered)) {
    return {Outcome::kOtherModule, registered,
            "TCP control: left as registered, to " + registered +
                (ownModule.empty()
                     ? std::string()
                     : " (this program's is " + ownModule + "; torvanetx-cli register takes it)")};
  }
  // A registration of a module that is gone (a build folder deleted, an older
  // installation) can never create the control: the program's own replaces it.
  if (ownModule.empty()) {
    return {Outcome::kNoOwnModule, registered,
            "TCP control: the registered " + registered + " is missing, and the program has no " +
                kWireletModuleName + " of its own; a TCP link cannot start"};
  }
  return Register(ownModule, registrar, Outcome::kReplacedMissing,
                  "TCP control: the registered " + registered + " is missing; registered " +
                      ownModule + " instead");
}

ControlRegistration RegisterControlAtStart() {
  std::unique_ptr<SettingsStore> before = OpenClassesRoot();
  const ClassesRootHive classes(*before);
  const ModuleRegistrar registrar = [](const std::string& module) {
    std::string failure = RegisterServerModule(module);
    if (!failure.empty()) return failure;
    std::unique_ptr<SettingsStore> after = OpenClassesRoot();
    if (!SameFile(RegisteredControlModule(ClassesRootHive(*after)), module)) {
      return "the registration did not reach " + ClassesRootFile();
    }
    return std::string();
  };
  ControlRegistration result =
      EnsureControlRegistered(classes, ProgramLibrary(kWireletModuleName), registrar);
  if (result.outcome == ControlRegistration::Outcome::kRegistered ||
      result.outcome == ControlRegistration::Outcome::kReplacedMissing) {
    result.message += " in " + ClassesRootFile();
  }
  return result;
}

}  // namespace torvane
