// The "Network Profiles" dialog: the profile list (full-row selection, grid
// lines, columns whose layout the controller keeps), "Add New...", "Remove
// Selected" and "Close". Every action goes to the controller (CManageKeys);
// the rows are then shown again from it.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>
#include <memory>
#include <vector>

#include "app/ManageKeys.h"
#include "ui/HeaderBinding.h"

namespace tarvik::ui {

class ProfilesDialog : public QDialog {
    Q_OBJECT
  public:
    // `manager` must outlive the dialog; the layout is stored when it goes.
    explicit ProfilesDialog(CManageKeys& manager, QWidget* parent = nullptr);
    ~ProfilesDialog() override;

    QTableWidget& List() { return *list_; }
    QPushButton& AddButton() { return *add_; }
    QPushButton& RemoveButton() { return *remove_; }

  private:
    void Fill();
    std::vector<std::size_t> SelectedRows() const;
    int WidestText(int column) const;

    CManageKeys& manager_;
    QTableWidget* list_;
    std::unique_ptr<HeaderBinding> binding_;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace tarvik::ui
