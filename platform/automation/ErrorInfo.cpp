#include "ErrorInfo.h"

namespace torvane {
namespace {

thread_local std::optional<ErrorInfo> threadErrorInfo;

}  // namespace

void SetErrorInfo(std::optional<ErrorInfo> info) { threadErrorInfo = std::move(info); }

std::optional<ErrorInfo> TakeErrorInfo() {
  std::optional<ErrorInfo> info = std::move(threadErrorInfo);
  threadErrorInfo.reset();
  return info;
}

HResult MemoryPropertyBag::Read(const std::string& name, Variant& value) {
  auto found = values_.find(name);
  if (found == values_.end()) return kEInvalidArg;
  value = found->second;
  return kSOk;
}

HResult MemoryPropertyBag::Write(const std::string& name, const Variant& value) {
  values_[name] = value.Value();
  return kSOk;
}

}  // namespace torvane
