// The "Network Filters" dialog: five group boxes, each with a check box that
// switches its group on and radio buttons for its choice. Clicks go to the
// filter commands, which set every control back from the filter. Modeless;
// created on first use and kept. Its owner, NetworkFiltersWindow, deletes it
// unless its parent window went first.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QRadioButton>
#include <array>
#include <vector>

#include "app/ResultFilters.h"

namespace tarvik::ui {

class NetworkFiltersDialog : public QDialog {
    Q_OBJECT
  public:
    NetworkFiltersDialog(CResultFilters& filters, QWidget* parent = nullptr);

    QCheckBox& GroupCheck(int group) { return *groups_[static_cast<std::size_t>(group)].check; }
    // The group's buttons in the order of its choices.
    const std::vector<QRadioButton*>& Buttons(int group) const {
        return groups_[static_cast<std::size_t>(group)].buttons;
    }
    void ShowGroup(int group, bool on, std::uint32_t choice);

  private:
    struct Group {
        QCheckBox* check = nullptr;
        std::vector<QRadioButton*> buttons;
    };
    QWidget* BuildGroup(const FilterGroupInfo& info);

    CResultFilters& filters_;
    std::array<Group, kFilterGroupCount> groups_;
};

class NetworkFiltersWindow : public IFilterDialogView {
  public:
    NetworkFiltersWindow(CResultFilters& filters, QWidget* parent)
        : dialog_(new NetworkFiltersDialog(filters, parent)) {}
    ~NetworkFiltersWindow() override { delete dialog_.data(); }
    NetworkFiltersWindow(const NetworkFiltersWindow&) = delete;
    NetworkFiltersWindow& operator=(const NetworkFiltersWindow&) = delete;

    void ShowOnTop() override;
    void ShowGroup(int group, bool on, std::uint32_t choice) override;
    void SetTitle(const std::string& title) override;

  private:
    QPointer<NetworkFiltersDialog> dialog_;
};

}  // namespace tarvik::ui
