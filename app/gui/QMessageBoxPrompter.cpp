#include "QMessageBoxPrompter.h"

#include <QMessageBox>

#include "GuiText.h"

namespace torvane {
namespace {

QMessageBox::Icon IconOf(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::kInformation: return QMessageBox::Information;
    case PromptIcon::kWarning: return QMessageBox::Warning;
    case PromptIcon::kCritical: return QMessageBox::Critical;
    case PromptIcon::kQuestion: return QMessageBox::Question;
    case PromptIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

PromptAnswer QMessageBoxPrompter::Show(const Prompt& prompt) {
  QMessageBox box(IconOf(prompt.icon), ToQt(prompt.title), ToQt(prompt.text),
                  QMessageBox::NoButton, parent_);
  switch (prompt.buttons) {
    case PromptButtons::kOk: box.setStandardButtons(QMessageBox::Ok); break;
    case PromptButtons::kOkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case PromptButtons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case PromptButtons::kYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case PromptButtons::kRetryCancel:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      break;
  }
  // The questions that change pages default to the harmless answer.
  if (prompt.buttons == PromptButtons::kYesNo && prompt.icon == PromptIcon::kQuestion) {
    box.setDefaultButton(QMessageBox::No);
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return PromptAnswer::kOk;
    case QMessageBox::Yes: return PromptAnswer::kYes;
    case QMessageBox::No: return PromptAnswer::kNo;
    case QMessageBox::Retry: return PromptAnswer::kRetry;
    default: return PromptAnswer::kCancel;
  }
}

}  // namespace torvane
