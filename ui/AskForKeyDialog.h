// The "Network Authentication" dialog: the prompt text, one edit field for
// the key, the "Remember this network for the future" check box, OK and
// Cancel. OK asks the controller (CAskForKey), which may keep it open.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/AskForKey.h"

namespace tarvik::ui {

class AskForKeyDialog : public QDialog {
    Q_OBJECT
  public:
    // `prompt` (and `boxes` when given) must outlive the dialog; without
    // `boxes` its messages are shown over the dialog.
    AskForKeyDialog(CAskForKey& prompt, IMessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
    ~AskForKeyDialog() override;

    QLineEdit& KeyEdit() { return *keyEdit_; }
    QCheckBox& RememberBox() { return *remember_; }
    QPushButton& OkButton() { return *ok_; }

  private:
    void OnOk();

    CAskForKey& prompt_;
    std::unique_ptr<IMessageBoxes> ownBoxes_;
    IMessageBoxes& boxes_;
    QLineEdit* keyEdit_;
    QCheckBox* remember_;
    QPushButton* ok_;
};

}  // namespace tarvik::ui
