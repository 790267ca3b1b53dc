// The column header of a table as the column layout logic sees it: logical
// index = column index, visual index = display position. A column of width
// 0 is a hidden section, so its divider cannot be grabbed and a press there
// acts on the nearest shown column to its left. A header dropped at a new
// place, a divider double click and a divider drag are handed to the layout
// control.
#pragma once

#include <QHeaderView>
#include <QObject>
#include <functional>

#include "app/ListCtrlEx.h"
#include "app/ListHeader.h"

namespace tarvik::ui {

class HeaderBinding : public QObject, public IListHeader {
    Q_OBJECT
  public:
    // The header must outlive the binding.
    explicit HeaderBinding(QHeaderView& header, QObject* parent = nullptr);

    // Hooks the user's drags and divider double clicks to `control`;
    // `widestText(column)` measures the widest text of a column in pixels.
    void Attach(CListCtrlEx& control, std::function<int(int column)> widestText);

    int ColumnCount() const override;
    std::vector<int> DisplayOrder() const override;
    // Ignored unless it is a permutation of the header's sections.
    void SetDisplayOrder(const std::vector<int>& order) override;
    int ColumnWidth(int column) const override;
    void SetColumnWidth(int column, int width) override;
    void Repaint() override;

  private:
    void OnSectionMoved();
    void OnDividerDoubleClicked(int column);

    QHeaderView& header_;
    CListCtrlEx* control_ = nullptr;
    std::function<int(int)> widestText_;
    // Set while the control itself moves or resizes sections.
    bool applying_ = false;
};

}  // namespace tarvik::ui
