// Errors raised out of event work, told to the operator without burying them in
// boxes: an error is shown when it differs from the one shown last, and every
// one is counted, so a fault that repeats on each timer tick shows once.
#ifndef TORVANE_PLATFORM_ERRORREPORTER_H_
#define TORVANE_PLATFORM_ERRORREPORTER_H_

#include <cstdint>
#include <string>

#include "Prompter.h"

namespace torvane {

class ErrorReporter {
 public:
  // prompter must outlive the reporter.
  explicit ErrorReporter(Prompter& prompter) : prompter_(prompter) {}

  // Counts the error and shows "Error: <what>" (critical icon, "TorvaneTX",
  // OK) unless it is the one shown last.
  void Report(const std::string& what);

  uint64_t Count() const { return count_; }
  const std::string& Last() const { return last_; }

 private:
  Prompter& prompter_;
  uint64_t count_ = 0;
  std::string last_;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_ERRORREPORTER_H_
