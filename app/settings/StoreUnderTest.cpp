#include "StoreUnderTest.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include "Registry.h"
#include "SystemRegistryHive.h"
#endif

namespace torvane {
namespace {

#ifdef _WIN32
constexpr const char* kScratchParent = "SOFTWARE\\TorvaneTX-tests";
#endif

}  // namespace

std::vector<std::string> StoreBackendNames() {
#ifdef _WIN32
  return {"Memory", "Registry"};
#else
  return {"Memory"};
#endif
}

StoreUnderTest::StoreUnderTest(const std::string& backend) {
  if (backend == "Memory") {
    store_ = std::make_unique<SettingsStore>();
    return;
  }
#ifdef _WIN32
  if (backend == "Registry") {
    static int count = 0;
    scratchName_ = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    currentUserKey_ = std::string(kScratchParent) + "\\" + scratchName_ + "\\HKCU";
    RegistryRoot currentUser = RegistryRoot::CreateBelowCurrentUser(currentUserKey_);
    RegistryRoot classesRoot = RegistryRoot::CreateBelowCurrentUser(std::string(kScratchParent) +
                                                                    "\\" + scratchName_ + "\\HKCR");
    if (!currentUser.Valid() || !classesRoot.Valid()) {
      throw std::runtime_error("cannot create the scratch registry key " + scratchName_);
    }
    store_ = std::make_unique<SettingsStore>(
        std::make_unique<SystemRegistryHive>(std::move(currentUser)),
        std::make_unique<SystemRegistryHive>(std::move(classesRoot)));
    return;
  }
#endif
  throw std::invalid_argument("no store back-end " + backend);
}

StoreUnderTest::~StoreUnderTest() {
  store_.reset();
#ifdef _WIN32
  if (!scratchName_.empty()) {
    RegistryDeleteKey(RegistryRoot::CurrentUser(), kScratchParent, scratchName_);
  }
#endif
}

}  // namespace torvane
