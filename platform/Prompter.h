// Message boxes. The core never shows a dialog itself: it asks a Prompter, which
// the window answers with a real message box, the headless station with stderr
// and the default button, and tests with scripted answers.
#ifndef TORVANE_PLATFORM_PROMPTER_H_
#define TORVANE_PLATFORM_PROMPTER_H_

#include <deque>
#include <string>
#include <vector>

namespace torvane {

enum class PromptIcon { kNone, kInformation, kWarning, kCritical, kQuestion };

enum class PromptButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel };

enum class PromptAnswer { kOk, kCancel, kYes, kNo, kRetry };

// The answer a box gives when nobody chooses: its first button.
PromptAnswer DefaultAnswer(PromptButtons buttons);

struct Prompt {
  std::string text;  // system single-byte text; line breaks as "\n"
  std::string title;
  PromptIcon icon = PromptIcon::kNone;
  PromptButtons buttons = PromptButtons::kOk;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows the message and returns the button pressed. May run a nested event loop.
  virtual PromptAnswer Show(const Prompt& prompt) = 0;
};

// Writes "title: text" to stderr and takes the default answer.
class StderrPrompter : public Prompter {
 public:
  PromptAnswer Show(const Prompt& prompt) override;
};

// Records every prompt; answers from a script, then with the default answer.
class ScriptedPrompter : public Prompter {
 public:
  PromptAnswer Show(const Prompt& prompt) override;

  void QueueAnswer(PromptAnswer answer) { answers_.push_back(answer); }
  const std::vector<Prompt>& Shown() const { return shown_; }
  std::vector<std::string> Texts() const;

 private:
  std::deque<PromptAnswer> answers_;
  std::vector<Prompt> shown_;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_PROMPTER_H_
