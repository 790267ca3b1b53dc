#include "ui/NetworkTableView.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "core/ApplicationOptions.h"
#include "networks/NetworkColumns.h"

namespace tarvik::ui {
NetworkTableView::NetworkTableView(NetworkItemModel& model, const CApplicationOptions& options,
                                   QWidget* parent)
    : QTableView(parent), model_(model) {
    setObjectName("networkTable");
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Rows of one fixed height: nothing is measured per row.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* header = horizontalHeader();
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSortIndicatorShown(true);
    // A divider double click sizes the column by the layout rule over every
    // row, not by Qt's measure of the rows on screen.
    disconnect(header, SIGNAL(sectionHandleDoubleClicked(int)), this,
               SLOT(resizeColumnToContents(int)));
    connect(header, &QHeaderView::sectionClicked, this, &NetworkTableView::OnHeaderClicked);

    binding_ = std::make_unique<HeaderBinding>(*header);
    columns_ = std::make_unique<CListCtrlEx>(*binding_, options);
    binding_->Attach(*columns_, [this](int column) { return WidestText(column); });

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit RowDoubleClicked();
    });
    ShowSortIndicator();
    // The hand cursor over a Vendor cell that acts as a link.
    setMouseTracking(true);
}

NetworkTableView::~NetworkTableView() = default;

bool NetworkTableView::IsVendorLink(const QModelIndex& index) const {
    return index.isValid() && index.column() == COLUMN_VENDOR &&
           IsOuiLookupText(model_.Table().Text(index.row(), index.column()));
}

void NetworkTableView::mouseMoveEvent(QMouseEvent* event) {
    if (IsVendorLink(indexAt(event->position().toPoint()))) {
        viewport()->setCursor(Qt::PointingHandCursor);
    } else {
        viewport()->unsetCursor();
    }
    QTableView::mouseMoveEvent(event);
}

void NetworkTableView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && IsVendorLink(index))
        emit VendorLinkClicked(index.row());
}

BssidRecord NetworkTableView::SelectedRecord() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return {};
    return model_.Table().RecordAt(rows.first().row());
}

int NetworkTableView::WidestText(int column) const {
    const QFontMetrics metrics(font());
    int widest = 0;
    model_.Table().VisitColumnTexts(column, [&](std::string_view text) {
        const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        widest = std::max(widest, metrics.horizontalAdvance(shown));
    });
    return widest;
}

ColumnFitMetrics NetworkTableView::FitMetrics() const {
    ColumnFitMetrics fit;
    const QFontMetrics metrics(font());
    fit.textWidth = [metrics](std::string_view text) {
        return metrics.horizontalAdvance(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    // As much room as a divider double click leaves around the widest text.
    fit.cellPadding = kContentPadding;
    // Qt's own measure of the title, its margins and the sort mark.
    const QHeaderView* header = horizontalHeader();
    fit.headerWidth = [header](int column) { return header->sectionSizeHint(column); };
    return fit;
}

void NetworkTableView::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextMenuWanted(event->globalPos());
    event->accept();
}

void NetworkTableView::OnHeaderClicked(int column) {
    // Qt reports left-button clicks only; the others are ignored by the rule.
    model_.Table().ClickHeader(column, HeaderMouseButton::Left);
    ShowSortIndicator();
}

void NetworkTableView::ShowSortIndicator() {
    const NetworkSortState& state = model_.Table().SortState();
    horizontalHeader()->setSortIndicator(
        state.column, state.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace tarvik::ui
