// Test support: a settings store on one of its back-ends. "Memory" runs
// everywhere; on Windows "Registry" keeps both hives in the system registry
// below a scratch key of HKEY_CURRENT_USER, removed again afterwards.
#ifndef TORVANE_APP_SETTINGS_STOREUNDERTEST_H_
#define TORVANE_APP_SETTINGS_STOREUNDERTEST_H_

#include <memory>
#include <string>
#include <vector>

#include "SettingsStore.h"

namespace torvane {

std::vector<std::string> StoreBackendNames();

class StoreUnderTest {
 public:
  explicit StoreUnderTest(const std::string& backend);
  ~StoreUnderTest();
  StoreUnderTest(const StoreUnderTest&) = delete;
  StoreUnderTest& operator=(const StoreUnderTest&) = delete;

  SettingsStore& Store() { return *store_; }
  // The scratch key below HKEY_CURRENT_USER that roots the current-user hive;
  // empty for the memory store.
  const std::string& CurrentUserKey() const { return currentUserKey_; }

 private:
  std::unique_ptr<SettingsStore> store_;
  std::string scratchName_;
  std::string currentUserKey_;
};

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_STOREUNDERTEST_H_
