#include "ui/ExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>

namespace tarvik::ui {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

struct FormatAnswer {
    ExportFormat format;
    bool visibleRowsOnly;
};

std::optional<FormatAnswer> AskFormat(QWidget* window, bool filterActive) {
    QDialog dialog(window);
    dialog.setWindowTitle(QStringLiteral("Export"));
    auto* formats = new QComboBox(&dialog);
    for (const ExportFormatInfo& info : kExportFormats) formats->addItem(Text(info.title));
    auto* visibleOnly = new QCheckBox(QStringLiteral("Only the rows the filter shows"), &dialog);
    visibleOnly->setEnabled(filterActive);
    visibleOnly->setChecked(filterActive);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("Format:"), formats);
    layout->addRow(visibleOnly);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const auto index = static_cast<std::size_t>(formats->currentIndex());
    return FormatAnswer{kExportFormats.at(index).format, filterActive && visibleOnly->isChecked()};
}

}  // namespace

std::optional<ExportChoice> AskExportChoice(QWidget* window, bool filterActive,
                                            const std::string& surveyPath) {
    const std::optional<FormatAnswer> answer = AskFormat(window, filterActive);
    if (!answer) return std::nullopt;
    const ExportFormatInfo& info = FormatInfo(answer->format);
    QFileDialog dialog(window, QStringLiteral("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Text(info.title));
    dialog.setDefaultSuffix(Text(info.extension));
    dialog.selectFile(Text(ProposedExportPath(surveyPath, info.format)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ExportChoice{dialog.selectedFiles().front().toStdString(), answer->format,
                        answer->visibleRowsOnly};
}

}  // namespace tarvik::ui
