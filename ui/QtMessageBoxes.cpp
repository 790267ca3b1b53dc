#include "ui/QtMessageBoxes.h"

#include <QMessageBox>

namespace tarvik::ui {

void QtMessageBoxes::ShowMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
    const QMessageBox::Icon shown =
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon;
    QMessageBox box(shown, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace tarvik::ui
