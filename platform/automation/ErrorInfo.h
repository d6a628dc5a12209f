// The error information a failing member leaves for its caller on the current
// thread, as automation objects report failures beside their result code.
#ifndef TORVANE_PLATFORM_AUTOMATION_ERRORINFO_H_
#define TORVANE_PLATFORM_AUTOMATION_ERRORINFO_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Dispatch.h"

namespace torvane {

struct ErrorInfo {
  std::string source;
  std::string description;
  std::string helpFile;
  uint32_t helpContext = 0;
};

// Replaces the thread's error information (nullopt clears it).
void SetErrorInfo(std::optional<ErrorInfo> info);
// Takes the thread's error information, leaving none.
std::optional<ErrorInfo> TakeErrorInfo();

// A property bag kept in memory, for containers and tests.
class MemoryPropertyBag : public PropertyBag {
 public:
  HResult Read(const std::string& name, Variant& value) override;
  HResult Write(const std::string& name, const Variant& value) override;
  const std::map<std::string, Variant>& Values() const { return values_; }

 private:
  std::map<std::string, Variant> values_;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_ERRORINFO_H_
