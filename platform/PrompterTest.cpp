#include "Prompter.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

TEST(PrompterTest, DefaultAnswerIsTheFirstButton) {
  const std::pair<PromptButtons, PromptAnswer> cases[] = {
      {PromptButtons::kOk, PromptAnswer::kOk},
      {PromptButtons::kOkCancel, PromptAnswer::kOk},
      {PromptButtons::kYesNo, PromptAnswer::kYes},
      {PromptButtons::kYesNoCancel, PromptAnswer::kYes},
      {PromptButtons::kRetryCancel, PromptAnswer::kRetry},
  };
  for (const auto& [buttons, answer] : cases) {
    EXPECT_EQ(DefaultAnswer(buttons), answer) << static_cast<int>(buttons);
  }
}

TEST(PrompterTest, ScriptedPrompterRecordsAndAnswersInOrder) {
  ScriptedPrompter prompter;
  prompter.QueueAnswer(PromptAnswer::kNo);
  EXPECT_EQ(prompter.Show({"first", "T", PromptIcon::kQuestion, PromptButtons::kYesNo}),
            PromptAnswer::kNo);
  EXPECT_EQ(prompter.Show({"second", "T", PromptIcon::kQuestion, PromptButtons::kYesNo}),
            PromptAnswer::kYes);
  EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(prompter.Shown()[0].icon, PromptIcon::kQuestion);
}

}  // namespace
}  // namespace torvane
