#include "ui/DeviceInfoDialog.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>

namespace tarvik::ui {
namespace {

// Where each frame sits: (row, column) of the page's two columns.
constexpr int kFramePlace[FRAME_COUNT][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}};
constexpr int kMinimumFieldWidth = 330;  // a device name fits whole

}  // namespace

DeviceInfoDialog::DeviceInfoDialog(QWidget* parent, std::function<void()> closed)
    : QDialog(parent), closed_(std::move(closed)) {
    setWindowTitle(kDeviceInfoTitle);
    setModal(false);
    auto* grid = new QGridLayout(this);
    QFormLayout* forms[FRAME_COUNT] = {};
    for (int frame = 0; frame < FRAME_COUNT; ++frame) {
        auto* box = new QGroupBox(DeviceInfoFrameTitle(static_cast<DeviceInfoFrame>(frame)), this);
        forms[frame] = new QFormLayout(box);
        grid->addWidget(box, kFramePlace[frame][0], kFramePlace[frame][1]);
    }
    grid->setRowStretch(3, 1);
    for (const DeviceInfoControl& control : DeviceInfoControls()) {
        auto* field = new QLineEdit(this);
        field->setReadOnly(true);
        field->setMinimumWidth(kMinimumFieldWidth);
        forms[control.frame]->addRow(control.label, field);
        fields_[control.control] = field;
    }
}

QLineEdit* DeviceInfoDialog::Field(int control) const {
    const auto found = fields_.find(control);
    return found == fields_.end() ? nullptr : found->second;
}

void DeviceInfoDialog::reject() {
    if (closed_) closed_();
    QDialog::reject();
}

void DeviceInfoWindow::ShowOnTop() {
    if (!dialog_) return;
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void DeviceInfoWindow::SetControlText(int control, const std::string& text) {
    if (!dialog_) return;
    // Setting the same text again keeps the user's selection in the box.
    QLineEdit* field = dialog_->Field(control);
    const QString value = QString::fromStdString(text);
    if (!field || field->text() == value) return;
    field->setText(value);
    field->setCursorPosition(0);  // the start of a long text shows, not its end
}

}  // namespace tarvik::ui
