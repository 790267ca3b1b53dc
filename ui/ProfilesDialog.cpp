#include "ui/ProfilesDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

namespace tarvik::ui {

ProfilesDialog::ProfilesDialog(CManageKeys& manager, QWidget* parent)
    : QDialog(parent), manager_(manager), list_(new QTableWidget(this)) {
    setObjectName("profilesDialog");
    setWindowTitle(CManageKeys::kTitle);
    list_->setObjectName("profileList");
    QStringList titles;
    for (const ProfileListColumn& column : CManageKeys::Columns()) titles << column.title;
    list_->setColumnCount(static_cast<int>(titles.size()));
    list_->setHorizontalHeaderLabels(titles);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    binding_ = std::make_unique<HeaderBinding>(*list_->horizontalHeader());
    // Initial widths for the desktop's font, as the network table's.
    ColumnFitMetrics fit;
    const QFontMetrics metrics(list_->font());
    fit.textWidth = [metrics](std::string_view text) {
        return metrics.horizontalAdvance(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    fit.cellPadding = kContentPadding;
    const QHeaderView* header = list_->horizontalHeader();
    fit.headerWidth = [header](int column) { return header->sectionSizeHint(column); };
    manager_.OnShown(*binding_, &fit);
    binding_->Attach(*manager_.Layout(), [this](int column) { return WidestText(column); });
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this] {
        manager_.EditFirstSelected(SelectedRows());
        Fill();
    });

    auto* buttons = new QDialogButtonBox(this);
    add_ = buttons->addButton("Add New...", QDialogButtonBox::ActionRole);
    add_->setObjectName("addButton");
    remove_ = buttons->addButton("Remove Selected", QDialogButtonBox::ActionRole);
    remove_->setObjectName("removeButton");
    QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
    close->setObjectName("closeButton");
    for (QPushButton* button : {add_, remove_, close}) button->setAutoDefault(false);
    connect(add_, &QPushButton::clicked, this, [this] {
        manager_.AddNew();
        Fill();
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        manager_.RemoveSelected(SelectedRows());
        Fill();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    int columns = 0;
    for (int column = 0; column < list_->columnCount(); ++column) {
        columns += list_->horizontalHeader()->sectionSize(column);
    }
    resize(std::max(680, columns + 40), 320);
    Fill();
}

ProfilesDialog::~ProfilesDialog() {
    manager_.OnDestroyed();
}

void ProfilesDialog::Fill() {
    list_->clearContents();
    list_->setRowCount(static_cast<int>(manager_.RowCount()));
    for (std::size_t row = 0; row < manager_.RowCount(); ++row) {
        const std::vector<std::string> texts = manager_.RowTexts(row);
        for (std::size_t column = 0; column < texts.size(); ++column) {
            list_->setItem(static_cast<int>(row), static_cast<int>(column),
                           new QTableWidgetItem(QString::fromStdString(texts[column])));
        }
    }
}

std::vector<std::size_t> ProfilesDialog::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    return rows;
}

int ProfilesDialog::WidestText(int column) const {
    const QFontMetrics metrics(list_->font());
    int widest = 0;
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (const QTableWidgetItem* item = list_->item(row, column)) {
            widest = std::max(widest, metrics.horizontalAdvance(item->text()));
        }
    }
    return widest;
}

}  // namespace tarvik::ui
