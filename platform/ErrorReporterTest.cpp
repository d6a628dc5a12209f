#include "ErrorReporter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane {
namespace {

TEST(ErrorReporterTest, ShowsAnErrorOnlyWhenItDiffersFromTheLastShown) {
  struct Case {
    const char* what;
    std::vector<std::string> raised;
    std::vector<std::string> shown;
  };
  const Case cases[] = {
      {"one error", {"A"}, {"Error: A"}},
      {"repeated on every tick", {"A", "A", "A", "A"}, {"Error: A"}},
      {"a new error is shown", {"A", "A", "B", "B"}, {"Error: A", "Error: B"}},
      {"an old error back after another", {"A", "B", "A"}, {"Error: A", "Error: B", "Error: A"}},
      {"an empty text is still an error", {"", ""}, {"Error: "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPrompter prompter;
    ErrorReporter errors(prompter);
    for (const std::string& what : c.raised) errors.Report(what);
    EXPECT_EQ(prompter.Texts(), c.shown);
    EXPECT_EQ(errors.Count(), c.raised.size());
    EXPECT_EQ(errors.Last(), c.raised.back());
    for (const Prompt& p : prompter.Shown()) {
      EXPECT_EQ(p.title, "TorvaneTX");
      EXPECT_EQ(p.icon, PromptIcon::kCritical);
      EXPECT_EQ(p.buttons, PromptButtons::kOk);
    }
  }
}

}  // namespace
}  // namespace torvane
