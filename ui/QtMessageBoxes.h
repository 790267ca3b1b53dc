// Message boxes of the dialogs, shown over a parent window with an OK
// button, or Yes and No for a question.
#pragma once

#include <QWidget>

#include "app/MessageBoxes.h"

namespace tarvik::ui {

class QtMessageBoxes : public IMessageBoxes, public IConfirmBoxes {
  public:
    // The parent must outlive the object.
    explicit QtMessageBoxes(QWidget* parent) : parent_(parent) {}
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon) override;

  private:
    QWidget* parent_;
};

}  // namespace tarvik::ui
