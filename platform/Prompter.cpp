#include "Prompter.h"

#include <cstdio>

#include "AnsiText.h"

namespace torvane {

PromptAnswer DefaultAnswer(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kYesNo:
    case PromptButtons::kYesNoCancel:
      return PromptAnswer::kYes;
    case PromptButtons::kRetryCancel:
      return PromptAnswer::kRetry;
    case PromptButtons::kOk:
    case PromptButtons::kOkCancel:
      break;
  }
  return PromptAnswer::kOk;
}

PromptAnswer StderrPrompter::Show(const Prompt& prompt) {
  std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(prompt.title).c_str(),
               AnsiToUtf8(prompt.text).c_str());
  return DefaultAnswer(prompt.buttons);
}

PromptAnswer ScriptedPrompter::Show(const Prompt& prompt) {
  shown_.push_back(prompt);
  if (answers_.empty()) return DefaultAnswer(prompt.buttons);
  const PromptAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> ScriptedPrompter::Texts() const {
  std::vector<std::string> texts;
  texts.reserve(shown_.size());
  for (const Prompt& prompt : shown_) texts.push_back(prompt.text);
  return texts;
}

}  // namespace torvane
