// Registration scripts: the keys and values a module adds to the classes hive,
// written as text and replayed to register and unregister.
//
//   HKCR
//   {
//     NoRemove CLSID
//     {
//       ForceRemove '{...}' = s 'Display name'
//       {
//         InprocServer32 = s '%MODULE%'
//         {
//           val ThreadingModel = s 'Apartment'
//         }
//       }
//     }
//   }
//
// A key may carry a default value (= s 'text'), named values (val Name = s
// 'text') and subkeys in braces. Names are bare words or quoted ('' stands for
// a quote). ForceRemove keys are deleted whole before they are written;
// NoRemove keys stay when unregistering (their contents go); Delete keys are
// removed when registering. Every other key is removed whole when
// unregistering.
#ifndef TORVANE_PLATFORM_AUTOMATION_REGISTRYSCRIPT_H_
#define TORVANE_PLATFORM_AUTOMATION_REGISTRYSCRIPT_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RegistryHive.h"

namespace torvane {

class RegistryScript {
 public:
  // nullopt with *error set (when given) when the text is malformed.
  static std::optional<RegistryScript> Parse(std::string_view text, std::string* error = nullptr);

  void Register(RegistryHive& hive) const;
  void Unregister(RegistryHive& hive) const;

  struct Key {
    enum class Flag { kNone, kNoRemove, kForceRemove, kDelete };
    Flag flag = Flag::kNone;
    std::string name;
    std::optional<std::string> defaultValue;
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<Key> subkeys;
  };
  const std::vector<Key>& Keys() const { return keys_; }

 private:
  std::vector<Key> keys_;
};

// Replaces every %NAME% with its value, doubling quotes so the value can
// stand inside '...'. Unknown names are left as they are.
std::string SubstituteScript(std::string_view script,
                             const std::map<std::string, std::string>& values);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_REGISTRYSCRIPT_H_
