#include "ui/QtProfileDialogs.h"

#include <QApplication>

#include "ui/AskForKeyDialog.h"
#include "ui/NetworkEditorDialog.h"
#include "ui/ProfilesDialog.h"

namespace tarvik::ui {

bool QtProfileDialogs::RunAskForKey(CAskForKey& prompt) {
    AskForKeyDialog dialog(prompt, nullptr, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool QtProfileDialogs::RunNetworkEditor(CAddNetworkKey& editor) {
    // Over the Network Profiles dialog when that is open.
    QWidget* active = QApplication::activeModalWidget();
    NetworkEditorDialog dialog(editor, nullptr, active ? active : parent_);
    return dialog.exec() == QDialog::Accepted;
}

void QtProfileDialogs::RunNetworkProfiles(CManageKeys& manager) {
    ProfilesDialog dialog(manager, parent_);
    dialog.exec();
}

}  // namespace tarvik::ui
