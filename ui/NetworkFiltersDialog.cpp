#include "ui/NetworkFiltersDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace tarvik::ui {
namespace {

// Radio buttons per row inside a group box (the channel groups wrap).
constexpr int kButtonsPerRow = 4;

}  // namespace

NetworkFiltersDialog::NetworkFiltersDialog(CResultFilters& filters, QWidget* parent)
    : QDialog(parent), filters_(filters) {
    setObjectName("networkFiltersDialog");
    setWindowTitle("Network Filters");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    for (const FilterGroupInfo& info : FilterGroups()) layout->addWidget(BuildGroup(info));
}

QWidget* NetworkFiltersDialog::BuildGroup(const FilterGroupInfo& info) {
    auto* box = new QGroupBox(QString::fromUtf8(info.title.data(), info.title.size()), this);
    auto* grid = new QGridLayout(box);
    Group& group = groups_[static_cast<std::size_t>(info.id)];
    group.check = new QCheckBox(QString::fromUtf8(info.checkText.data(), info.checkText.size()));
    grid->addWidget(group.check, 0, 0, 1, kButtonsPerRow);
    const int id = info.id;
    connect(group.check, &QCheckBox::clicked, this,
            [this, id](bool ticked) { filters_.OnGroupChecked(id, ticked); });
    int index = 0;
    for (const FilterChoice& choice : info.choices) {
        auto* button =
            new QRadioButton(QString::fromUtf8(choice.label.data(), choice.label.size()));
        // The filter decides which button is checked, not Qt's exclusivity.
        button->setAutoExclusive(false);
        grid->addWidget(button, 1 + index / kButtonsPerRow, index % kButtonsPerRow);
        const std::uint32_t value = choice.value;
        connect(button, &QRadioButton::clicked, this,
                [this, id, value] { filters_.OnChoiceClicked(id, value); });
        group.buttons.push_back(button);
        ++index;
    }
    return box;
}

void NetworkFiltersDialog::ShowGroup(int group, bool on, std::uint32_t choice) {
    if (group < 0 || group >= kFilterGroupCount) return;
    Group& controls = groups_[static_cast<std::size_t>(group)];
    controls.check->setChecked(on);
    const auto choices = FilterGroups()[static_cast<std::size_t>(group)].choices;
    for (std::size_t i = 0; i < controls.buttons.size(); ++i) {
        controls.buttons[i]->setEnabled(on);
        controls.buttons[i]->setChecked(choices[i].value == choice);
    }
}

void NetworkFiltersWindow::ShowOnTop() {
    if (!dialog_) return;
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void NetworkFiltersWindow::ShowGroup(int group, bool on, std::uint32_t choice) {
    if (dialog_) dialog_->ShowGroup(group, on, choice);
}

void NetworkFiltersWindow::SetTitle(const std::string& title) {
    if (dialog_) dialog_->setWindowTitle(QString::fromStdString(title));
}

}  // namespace tarvik::ui
