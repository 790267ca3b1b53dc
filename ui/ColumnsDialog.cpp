#include "ui/ColumnsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvik::ui {

ColumnsDialog::ColumnsDialog(CListCtrlEx& table, QWidget* parent)
    : QDialog(parent), selection_(table), list_(new QTreeWidget(this)) {
    setObjectName("columnsDialog");
    setWindowTitle(CColumnSelection::kTitle);
    setModal(false);

    list_->setObjectName("columnList");
    list_->setColumnCount(1);
    list_->setHeaderLabels({CColumnSelection::kListColumnTitle});
    list_->header()->resizeSection(0, CColumnSelection::kListColumnWidth);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
    close->setObjectName("closeButton");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(220, 420);

    Fill();
    connect(list_, &QTreeWidget::itemChanged, this, &ColumnsDialog::OnItemChanged);
}

void ColumnsDialog::ShowAndRefresh() {
    Fill();
    show();
    raise();
    activateWindow();
}

void ColumnsDialog::Fill() {
    filling_ = true;
    list_->clear();
    for (std::size_t row = 0; row < selection_.RowCount(); ++row) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(selection_.RowText(row)));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, selection_.IsTicked(row) ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void ColumnsDialog::OnItemChanged(QTreeWidgetItem* item) {
    if (filling_ || !item) return;
    const int row = list_->indexOfTopLevelItem(item);
    if (row < 0) return;
    selection_.SetTicked(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
}

}  // namespace tarvik::ui
