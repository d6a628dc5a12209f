#include "CreateObject.h"

namespace torvane {
namespace {

constexpr int kMaxCurVerHops = 8;

}  // namespace

HResult ClsidFromProgId(const RegistryHive& hive, std::string_view progId, Guid& clsid) {
  std::string current(progId);
  for (int hop = 0; hop < kMaxCurVerHops; ++hop) {
    std::optional<std::string> next = hive.ReadValue(current + "\\CurVer", "");
    if (!next || *next == current || !hive.ReadValue(*next + "\\CLSID", "")) break;
    current = *next;
  }
  std::optional<std::string> text = hive.ReadValue(current + "\\CLSID", "");
  if (!text) return kCoEClassString;
  std::optional<Guid> parsed = Guid::Parse(*text);
  if (!parsed) return kCoEClassString;
  clsid = *parsed;
  return kSOk;
}

}  // namespace torvane
