#include "ui/QtOptionsDialogs.h"

#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

namespace tarvik::ui {

QtOptionsDialogs::QtOptionsDialogs(MainWindow* window) : window_(window), boxes_(window) {}

void QtOptionsDialogs::RunOptionsDialog(COptionsEditor& editor) {
    OptionsDialog dialog(editor, boxes_, window_);
    dialog.exec();
}

void QtOptionsDialogs::RepaintNetworkTable() {
    window_->Table().viewport()->update();
}

}  // namespace tarvik::ui
