#include "ui/AdapterComboBox.h"

#include <QSignalBlocker>

namespace tarvik::ui {

AdapterComboBox::AdapterComboBox(QWidget* parent) : QComboBox(parent) {
    setObjectName("adapterChooser");
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(this, &QComboBox::activated, this, &AdapterComboBox::OnActivated);
}

void AdapterComboBox::SetSelectionHandlers(std::function<void()> changed,
                                           std::function<void()> confirmed) {
    changed_ = std::move(changed);
    confirmed_ = std::move(confirmed);
}

void AdapterComboBox::ResetContent() {
    const QSignalBlocker quiet(this);
    clear();
    adapters_.clear();
}

int AdapterComboBox::AddItem(const std::string& text, CAdapter* adapter) {
    const QSignalBlocker quiet(this);
    addItem(QString::fromStdString(text));
    adapters_.push_back(adapter);
    return count() - 1;
}

void AdapterComboBox::SetCurrentSelection(int index) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

int AdapterComboBox::GetCurrentSelection() const {
    return currentIndex();
}

std::string AdapterComboBox::GetItemText(int index) const {
    if (index < 0 || index >= count()) return {};
    return itemText(index).toStdString();
}

CAdapter* AdapterComboBox::ItemAdapter(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= adapters_.size()) return nullptr;
    return adapters_[static_cast<std::size_t>(index)];
}

void AdapterComboBox::OnActivated(int) {
    if (changed_) changed_();
    if (confirmed_) confirmed_();
}

}  // namespace tarvik::ui
