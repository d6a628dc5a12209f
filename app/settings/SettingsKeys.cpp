#include "SettingsKeys.h"

namespace torvane {
namespace {

std::string Join(std::string_view a, std::string_view b, std::string_view c = {}) {
  std::string joined;
  joined.reserve(a.size() + b.size() + c.size());
  joined.append(a).append(b).append(c);
  return joined;
}

}  // namespace

std::string IndexValueName(int index) { return std::to_string(index); }

std::string PageKey(int page) { return Join(kPageSettingsKey, std::to_string(page), "\\"); }

std::string CategoryKey(std::string_view category) {
  return Join(PageKey(kCategoryPage), category, "\\");
}

std::string LinkValueName(int line) { return Join(kLinkPrefix, std::to_string(line)); }

std::string TextValueName(int line) { return Join(kTextPrefix, std::to_string(line)); }

std::string ColorValueName(std::string_view area, bool background) {
  return Join(area, background ? kBackColorSuffix : kForeColorSuffix);
}

std::string ComPortValueName(int port) { return Join("COM", std::to_string(port)); }

}  // namespace torvane
