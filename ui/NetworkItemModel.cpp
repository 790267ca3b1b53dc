#include "ui/NetworkItemModel.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include "networks/ColumnIds.h"
#include "networks/NetworkColumns.h"

namespace tarvik::ui {

NetworkItemModel::NetworkItemModel(CNetworkTableModel& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    table_.SetObserver(this);
}

NetworkItemModel::~NetworkItemModel() {
    table_.SetObserver(nullptr);
}

int NetworkItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.RowCount());
}

int NetworkItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kNetworkColumnCount;
}

QVariant NetworkItemModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole) return CellColour(index, role);
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    const std::string_view text = table_.Text(index.row(), index.column());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant NetworkItemModel::CellColour(const QModelIndex& index, int role) const {
    if (colouring_ == nullptr || !index.isValid()) return {};
    const BssidRecord& record = table_.RecordAt(index.row());
    if (!record) return {};
    const QColor base = QGuiApplication::palette().color(QPalette::Base);
    const CellColours colours = colouring_->ColoursOf(
        *record, index.column(),
        Rgb{static_cast<std::uint8_t>(base.red()), static_cast<std::uint8_t>(base.green()),
            static_cast<std::uint8_t>(base.blue())});
    const std::optional<Rgb>& chosen =
        role == Qt::BackgroundRole ? colours.background : colours.text;
    if (!chosen) return {};
    return QColor(chosen->red, chosen->green, chosen->blue);
}

void NetworkItemModel::InvalidateColours() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, kNetworkColumnCount - 1),
                     {Qt::BackgroundRole, Qt::ForegroundRole});
}

QVariant NetworkItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kNetworkColumnCount) return {};
    if (role == Qt::DisplayRole) {
        const std::string_view title = kNetworkColumns[static_cast<std::size_t>(section)].title;
        return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return {};
}

void NetworkItemModel::RowsAboutToChange() {
    if (changing_) return;
    changing_ = true;
    // Rows only: the columns never change, so the column header keeps its
    // order, widths and hidden sections untouched.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    savedIndexes_ = persistentIndexList();
    savedRecords_.clear();
    savedRecords_.reserve(static_cast<std::size_t>(savedIndexes_.size()));
    for (const QModelIndex& index : savedIndexes_) {
        savedRecords_.push_back({table_.RecordAt(index.row()), index.column()});
    }
}

void NetworkItemModel::RowsChanged() {
    if (!changing_) return;
    QModelIndexList moved;
    moved.reserve(savedIndexes_.size());
    for (const Saved& saved : savedRecords_) {
        const int row = saved.record ? table_.FindRow(saved.record.get()) : -1;
        moved.push_back(row >= 0 ? index(row, saved.column) : QModelIndex());
    }
    changePersistentIndexList(savedIndexes_, moved);
    savedIndexes_.clear();
    savedRecords_.clear();
    changing_ = false;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace tarvik::ui
