// libFuzzer target: arbitrary timing text through the receive framing, both
// record parsers, the page builders, the editor model and the real page writer
// and image builder, set up as start-up sets them up.
// The first input byte picks the framing, Delay Everything and the arrival
// size; the rest is the text. After every arrival the state must still keep
// its shape: fixed-width fields, page lines and titles, send windows inside
// the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Globals.h"
#include "GlobalsShape.h"
#include "Prompter.h"
#include "ReceiveFramer.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "TimingPipeline.h"

namespace {

using namespace torvane;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckShape(const Globals& g) { Check(GlobalsShapeFault(g).empty()); }

// Pages 0..6 as stored: page 2 indexes classes on pages 3..6, one of them too
// small for a full qualifying list, one link past the last page, one below 3.
void StoreLayout(SettingsStore& settings, uint8_t control) {
  auto set = [&](std::string_view key, std::string_view name, std::string_view value) {
    settings.WriteSetting(key, name, value, kRegSz);
  };
  set(kPageSettingsKey, kMaxPages, "6");
  const char* categories[] = {"PRO STOCK", "SS/AA", "SS", "A", "    "};
  const char* links[] = {"3", "4", "9", "1", "5"};
  set(PageKey(2), kPageSize, "4");
  for (int i = 0; i < 5; ++i) {
    set(PageKey(2), TextValueName(i), categories[i]);
    set(PageKey(2), LinkValueName(i), links[i]);
  }
  set(PageKey(3), kPageSize, "11");
  set(PageKey(4), kPageSize, "2");
  set(PageKey(5), kPageSize, "30");
  if (control & 0x04) set(PageKey(1), kPageSize, "40");
  set(CategoryKey("SS/AA"), kHeadsUp, "1");
  set(CategoryKey("SS"), kRaceType, "3");
  set(kMainKey, kPageDelay, std::to_string(control >> 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  SettingsStore settings;
  ScriptedPrompter prompter;
  StoreLayout(settings, control);
  TimingPipeline replay(settings, prompter);
  const Framing framing = (control & 0x01) ? Framing::kCommand : Framing::kTagged;
  PipelineStart start;
  start.delayEverything = (control & 0x02) != 0;
  start.timingTcpActive = framing == Framing::kCommand;
  replay.StartUp(start);
  if (control & 0x80) replay.editor().ShowPage("1");  // page 1 shown: refreshes touch links

  const size_t chunk = (control & 0x08) ? 1 + ((control >> 4) & 0x07) : text.size();
  for (size_t at = 0; at < text.size(); at += chunk) {
    replay.Receive(text.substr(at, chunk), framing);
    CheckShape(replay.globals());
  }
  // The image must still build from whatever the parsers left.
  replay.builder().BuildIndexTable();
  replay.builder().BuildImage();
  return 0;
}
