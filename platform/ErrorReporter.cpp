#include "ErrorReporter.h"

namespace torvane {

void ErrorReporter::Report(const std::string& what) {
  ++count_;
  if (count_ > 1 && what == last_) return;
  last_ = what;
  prompter_.Show({"Error: " + what, "TorvaneTX", PromptIcon::kCritical, PromptButtons::kOk});
}

}  // namespace torvane
