// The Qt face of the network table's model. Cells are read on demand, so only
// the painted ones are formatted; each batch of row changes becomes one
// layout change in which the persistent indexes (selection, current row) are
// carried over by record, never one signal per row.
#pragma once

#include <QAbstractTableModel>
#include <QPersistentModelIndex>
#include <vector>

#include "app/NetworkTableModel.h"
#include "app/RowColouring.h"

namespace tarvik::ui {

class NetworkItemModel : public QAbstractTableModel, public INetworkTableObserver {
    Q_OBJECT
  public:
    // Becomes `table`'s observer until destroyed; `table` must outlive it.
    explicit NetworkItemModel(CNetworkTableModel& table, QObject* parent = nullptr);
    ~NetworkItemModel() override;
    NetworkItemModel(const NetworkItemModel&) = delete;
    NetworkItemModel& operator=(const NetworkItemModel&) = delete;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void RowsAboutToChange() override;
    void RowsChanged() override;

    CNetworkTableModel& Table() { return table_; }
    // Row colours (background and text roles) from `colouring`, decided at
    // each paint; null: the view's own colours. Must outlive this model.
    void SetColouring(const CRowColouring* colouring) { colouring_ = colouring; }
    // Repaints every cell's colours (after a colour setting changed).
    void InvalidateColours();

  private:
    struct Saved {
        BssidRecord record;
        int column;
    };

    QVariant CellColour(const QModelIndex& index, int role) const;

    CNetworkTableModel& table_;
    const CRowColouring* colouring_ = nullptr;
    bool changing_ = false;
    QModelIndexList savedIndexes_;
    std::vector<Saved> savedRecords_;
};

}  // namespace tarvik::ui
