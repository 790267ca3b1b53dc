// The network table (control 1001): a report-style table over the network
// item model with full-row single selection, movable and hideable columns,
// optional grid lines, fixed row heights and no row header, so a table of
// 100,000 rows scrolls smoothly. Header clicks sort through the model; the
// column layout is kept by a CListCtrlEx over the header.
#pragma once

#include <QTableView>
#include <memory>

#include "app/ColumnFit.h"
#include "app/ListCtrlEx.h"
#include "ui/HeaderBinding.h"
#include "ui/NetworkItemModel.h"

namespace tarvik::ui {

class NetworkTableView : public QTableView {
    Q_OBJECT
  public:
    // `model` and `options` must outlive the view.
    NetworkTableView(NetworkItemModel& model, const CApplicationOptions& options,
                     QWidget* parent = nullptr);
    ~NetworkTableView() override;

    CListCtrlEx& Columns() { return *columns_; }
    HeaderBinding& Header() { return *binding_; }
    void SetGridLines(bool on) { setShowGrid(on); }
    // The record of the selected row; null when none is selected.
    BssidRecord SelectedRecord() const;
    // The widest text of `column` over every row, in pixels of the view's font.
    int WidestText(int column) const;
    // The view's font and style, for fitting the initial column widths.
    ColumnFitMetrics FitMetrics() const;

  signals:
    // A right click (or the menu key) over the table, at `globalPos`.
    void ContextMenuWanted(const QPoint& globalPos);
    void RowDoubleClicked();
    // A left button press on a Vendor cell that shows "Lookup OUI?" or
    // "Error. Try again?".
    void VendorLinkClicked(int row);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void OnHeaderClicked(int column);
    void ShowSortIndicator();
    bool IsVendorLink(const QModelIndex& index) const;

    NetworkItemModel& model_;
    std::unique_ptr<HeaderBinding> binding_;
    std::unique_ptr<CListCtrlEx> columns_;
};

}  // namespace tarvik::ui
