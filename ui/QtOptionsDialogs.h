// The main window's Options dialog: run modally over the window, plus the
// window-side effects of its changes.
#pragma once

#include "app/OptionsDialogView.h"
#include "ui/QtMessageBoxes.h"

namespace tarvik::ui {

class MainWindow;

class QtOptionsDialogs : public IOptionsDialogView {
  public:
    // The window must outlive the object.
    explicit QtOptionsDialogs(MainWindow* window);
    void RunOptionsDialog(COptionsEditor& editor) override;
    void RepaintNetworkTable() override;
    // The Device Information dialog is not part of the window yet: nothing
    // to restart.

  private:
    MainWindow* window_;
    QtMessageBoxes boxes_;
};

}  // namespace tarvik::ui
