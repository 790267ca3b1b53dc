// The adapter chooser (control 1002): a drop-down list of the adapters found
// by enumeration. Each item carries its adapter. The user's picks are handed
// to the owner as "selection changed" then "selection confirmed", as the
// adapter list expects; selections set by the program raise neither.
#pragma once

#include <QComboBox>
#include <functional>
#include <vector>

#include "adapter/AdapterList.h"

namespace tarvik::ui {

class AdapterComboBox : public QComboBox, public IAdapterCombo {
    Q_OBJECT
  public:
    explicit AdapterComboBox(QWidget* parent = nullptr);

    void SetSelectionHandlers(std::function<void()> changed, std::function<void()> confirmed);

    void ResetContent() override;
    int AddItem(const std::string& text, CAdapter* adapter) override;
    void SetCurrentSelection(int index) override;
    int GetCurrentSelection() const override;
    std::string GetItemText(int index) const override;

    // The adapter of item `index`, or nullptr.
    CAdapter* ItemAdapter(int index) const;

  private:
    void OnActivated(int index);

    std::vector<CAdapter*> adapters_;
    std::function<void()> changed_;
    std::function<void()> confirmed_;
};

}  // namespace tarvik::ui
