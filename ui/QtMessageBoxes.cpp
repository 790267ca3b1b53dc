#include "ui/QtMessageBoxes.h"

#include <QMessageBox>

namespace tarvik::ui {
namespace {

QMessageBox::Icon ShownIcon(MessageIcon icon) {
    return icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBoxes::ShowMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
    QMessageBox box(ShownIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessageBoxes::AskYesNo(const std::string& text, const std::string& caption,
                              MessageIcon icon) {
    QMessageBox box(ShownIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace tarvik::ui
