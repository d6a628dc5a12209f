// libFuzzer target: arbitrary records straight into the two record parsers,
// with the editor and the page sender recorded rather than real, so whatever
// breaks here is the parsers' own. The first input byte picks the parser,
// Delay Everything and the page hold; the rest is cut into records at each
// carriage return, which stays on the record as the framing leaves it.
// After every record the state must keep its shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "GlobalsShape.h"
#include "ParserTestSupport.h"
#include "SettingsKeys.h"
#include "TimingParser.h"

namespace {

using namespace torvane;

// Pages 0..6, page 2 indexing classes on 3..5, the categories configured.
void SetUp(testing_support::ParserBench& bench, uint8_t control) {
  for (int k = 3; k <= 6; ++k) bench.g.Pages.AddPage();
  bench.g.Pages.SetPageSize(3, 11);
  bench.g.Pages.SetPageSize(4, 2);
  bench.g.Pages.SetPageSize(5, 30);
  bench.editor.categories = {"PRO STOCK", "SS/AA", "SS", "A"};
  const int16_t links[] = {3, 4, 9, 1};  // one past the last page, one below 3
  bench.g.Pages.SetPageSize(2, 3);
  for (int i = 0; i < 4; ++i) {
    bench.g.Pages.SetLine(2, i, bench.editor.categories[static_cast<size_t>(i)]);
    bench.g.Pages.SetLink(2, i, links[i]);
  }
  bench.settings.WriteSetting(CategoryKey("SS/AA"), kHeadsUp, "1", kRegSz);
  bench.settings.WriteSetting(CategoryKey("SS"), kRaceType, "3", kRegSz);
  bench.g.DelayEverything = (control & 0x02) != 0;
  bench.g.PageDelay = control >> 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  testing_support::ParserBench bench;
  SetUp(bench, control);
  TimingParser parser(bench.Context());
  const bool command = (control & 0x01) != 0;
  while (!text.empty()) {
    const size_t end = text.find('\r');
    const size_t length = end == std::string_view::npos ? text.size() : end + 1;
    const std::string_view record = text.substr(0, length);
    text.remove_prefix(length);
    if (command) {
      parser.ParseCommandRecord(record);
    } else {
      parser.ParseTaggedRecord(record);
    }
    if (!GlobalsShapeFault(bench.g).empty()) std::abort();
  }
  return 0;
}
