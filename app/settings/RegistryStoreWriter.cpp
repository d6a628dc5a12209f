// Writes a small race-day store into the system registry through the program's
// own store, so the registry's own tools can be asked what it holds.
#include <cstdio>

#include "SettingsKeys.h"
#include "SystemRegistryHive.h"
#include "TickerList.h"

int main() {
  using namespace torvane;
  auto store = OpenSystemRegistryStore();
  store->DeleteKey("SOFTWARE\\", "TorvaneTX");
  store->WriteSetting(kSoftwareKey, kPageFiles, "C:\\Race Day\\Pages", kRegSz);
  store->WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  store->WriteSetting(kMainKey, kVenueId, "3", kRegSz);
  store->WriteSetting(kPageSettingsKey, kMaxPages, "4", kRegSz);
  store->WriteSetting(PageKey(1), kTitle, "Top Eliminator  ", kRegSz);
  store->WriteSetting(CategoryKey("Super Pro"), "RoundNumber", "2", kRegSz);
  SaveTickerList(*store, {"Gates open 9:00", "Final round 17:30"});
  const bool readBack = store->ReadSetting(PageKey(1), kTitle) == "Top Eliminator  " &&
                        store->ReadSetting(kMainKey, kDelayEverything) == "0" &&
                        store->ReadSetting(kTickerKey, "2") == kNoKeyValue &&
                        LoadTickerList(*store).size() == 2;
  std::printf("store written to HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX, read back %s\n",
              readBack ? "equal" : "DIFFERENT");
  return readBack ? 0 : 1;
}
