#include "LinkSettingsStore.h"

#include <array>

#include "NumericText.h"

namespace torvane {
namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::array<int16_t*, 6> NumberFields(LinkSettings& link) {
  return {&link.ComPort,   &link.BitsPerSecond, &link.Parity,
          &link.DataBits,  &link.StopBits,      &link.FlowControl};
}

}  // namespace

void LoadLinkSettings(SettingsStore& store, std::string_view key, LinkSettings& link) {
  const auto numbers = NumberFields(link);
  for (int position = 0; position < 6; ++position) {
    const std::string name = std::to_string(position);
    const std::string value = store.ReadSetting(key, name);
    if (value == kNoKeyValue) {
      store.WriteSetting(key, name, std::to_string(*numbers[position]), kRegSz);
    } else if (const auto number = NumericInt16(value)) {
      *numbers[position] = *number;
    }
  }
  std::string* texts[2] = {&link.Host, &link.Port};
  for (int position = 6; position < 8; ++position) {
    const std::string name = std::to_string(position);
    const std::string value = store.ReadSetting(key, name);
    if (value == kNoKeyValue) {
      store.WriteSetting(key, name, "None", kRegSz);
      *texts[position - 6] = "None";
    } else {
      *texts[position - 6] = std::string(Trim(value));
    }
  }
}

void SaveLinkSettings(SettingsStore& store, std::string_view key, const LinkSettings& link) {
  LinkSettings copy = link;
  const auto numbers = NumberFields(copy);
  SettingsStore::Batch batch(store);
  for (int position = 0; position < 6; ++position) {
    store.WriteSetting(key, std::to_string(position), std::to_string(*numbers[position]), kRegSz);
  }
  store.WriteSetting(key, "6", link.Host, kRegSz);
  store.WriteSetting(key, "7", link.Port, kRegSz);
}

std::string ComPortDevicePath(const SettingsStore& store, int16_t n) {
  const std::string configured = store.ReadSetting(kPortsKey, "COM" + std::to_string(n));
  if (configured != kNoKeyValue) return configured;
#ifdef _WIN32
  return "\\\\.\\COM" + std::to_string(n);
#else
  return "/dev/ttyS" + std::to_string(n - 1);
#endif
}

}  // namespace torvane
