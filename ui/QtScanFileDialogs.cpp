#include "ui/QtScanFileDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/AboutText.h"
#include "ui/ExportDialog.h"

namespace tarvik::ui {

QString QtScanFileFilter() {
    // The first part of the "Name|pattern||" filter is already Qt's form.
    const QString filter = QString::fromLatin1(kScanFileFilter);
    return filter.left(filter.indexOf('|'));
}

namespace {

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
    dialog.setNameFilter(QtScanFileFilter());
    dialog.setDefaultSuffix(QStringLiteral("tvk"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace

std::optional<std::string> QtScanFileDialogs::AskOpenPath() {
    QFileDialog dialog(window_, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunFileDialog(dialog);
}

std::optional<std::string> QtScanFileDialogs::AskMergePath() {
    QFileDialog dialog(window_, QStringLiteral("Merge"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QtScanFileFilter(), QStringLiteral("WiGLE CSV (*.csv)"), QStringLiteral("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<ExportChoice> QtScanFileDialogs::AskExport(bool filterActive,
                                                         const std::string& surveyPath) {
    return AskExportChoice(window_, filterActive, surveyPath);
}

std::optional<std::string> QtScanFileDialogs::AskSavePath(const std::string& proposedName) {
    QFileDialog dialog(window_, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt asks before an existing file is replaced unless told not to.
    dialog.selectFile(QString::fromStdString(proposedName) + QStringLiteral(".tvk"));
    return RunFileDialog(dialog);
}

SaveAnswer QtScanFileDialogs::AskSaveChanges(const std::string& path) {
    const auto answer = QMessageBox::question(
        window_, QStringLiteral("Save"),
        QStringLiteral("Save changes to %1?").arg(QString::fromStdString(path)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return SaveAnswer::Yes;
    if (answer == QMessageBox::No) return SaveAnswer::No;
    return SaveAnswer::Cancel;
}

void QtScanFileDialogs::ShowOpenFileName(const std::string& name) {
    const QString caption = QString::fromLatin1(kMainWindowCaption);
    window_->setWindowTitle(
        name.empty() ? caption : caption + QStringLiteral(" - ") + QString::fromStdString(name));
}

}  // namespace tarvik::ui
