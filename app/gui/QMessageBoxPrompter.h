// The window's prompter: every message of the core as a modal QMessageBox.
#ifndef TORVANE_APP_GUI_QMESSAGEBOXPROMPTER_H_
#define TORVANE_APP_GUI_QMESSAGEBOXPROMPTER_H_

#include <QPointer>
#include <QWidget>

#include "Prompter.h"

namespace torvane {

class QMessageBoxPrompter : public Prompter {
 public:
  // Boxes are owned by parent while it lives (none before the main window exists).
  void SetParent(QWidget* parent) { parent_ = parent; }
  PromptAnswer Show(const Prompt& prompt) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_QMESSAGEBOXPROMPTER_H_
