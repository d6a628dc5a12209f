// libFuzzer target for the settings file parser: any input must parse or fail
// with a line number, and whatever parses must serialize to a text that parses
// to the same hive and serializes to the same text again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "RegFile.h"

namespace {

constexpr std::string_view kHive = "HKEY_CURRENT_USER";

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const torvane::RegFileParse first = torvane::ParseRegFile(text, kHive);
  if (!first.ok) {
    Check(first.errorLine >= 1 && !first.error.empty());
    return 0;
  }
  const std::string serialized = torvane::SerializeRegFile(first.tree, kHive);
  const torvane::RegFileParse second = torvane::ParseRegFile(serialized, kHive);
  Check(second.ok);
  Check(second.tree.SameContent(first.tree));
  Check(torvane::SerializeRegFile(second.tree, kHive) == serialized);
  return 0;
}
