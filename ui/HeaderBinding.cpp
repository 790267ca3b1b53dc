#include "ui/HeaderBinding.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QMetaObject>
#include <algorithm>

namespace tarvik::ui {

HeaderBinding::HeaderBinding(QHeaderView& header, QObject* parent)
    : QObject(parent), header_(header) {
    header_.setMinimumSectionSize(0);
    header_.setSectionsMovable(true);
    connect(&header_, &QHeaderView::sectionMoved, this, &HeaderBinding::OnSectionMoved);
    connect(&header_, &QHeaderView::sectionHandleDoubleClicked, this,
            &HeaderBinding::OnDividerDoubleClicked);
    // A divider dragged with the mouse; our own resizes are not the user's.
    connect(&header_, &QHeaderView::sectionResized, this, [this] {
        if (!applying_ && control_ && QGuiApplication::mouseButtons() != Qt::NoButton) {
            control_->NoteUserChange();
        }
    });
}

void HeaderBinding::Attach(CListCtrlEx& control, std::function<int(int)> widestText) {
    control_ = &control;
    widestText_ = std::move(widestText);
}

int HeaderBinding::ColumnCount() const {
    return header_.count();
}

std::vector<int> HeaderBinding::DisplayOrder() const {
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(header_.count()));
    for (int visual = 0; visual < header_.count(); ++visual) {
        order.push_back(header_.logicalIndex(visual));
    }
    return order;
}

void HeaderBinding::SetDisplayOrder(const std::vector<int>& order) {
    const int count = header_.count();
    if (order.size() != static_cast<std::size_t>(count)) return;
    std::vector<bool> seen(order.size(), false);
    for (const int column : order) {
        if (column < 0 || column >= count || seen[static_cast<std::size_t>(column)]) return;
        seen[static_cast<std::size_t>(column)] = true;
    }
    // Our own moves are not user drops.
    applying_ = true;
    for (int visual = 0; visual < count; ++visual) {
        const int from = header_.visualIndex(order[static_cast<std::size_t>(visual)]);
        if (from != visual) header_.moveSection(from, visual);
    }
    applying_ = false;
}

int HeaderBinding::ColumnWidth(int column) const {
    if (column < 0 || column >= header_.count() || header_.isSectionHidden(column)) return 0;
    return header_.sectionSize(column);
}

void HeaderBinding::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= header_.count()) return;
    applying_ = true;
    if (width <= 0) {
        header_.hideSection(column);
    } else {
        if (header_.isSectionHidden(column)) header_.showSection(column);
        header_.resizeSection(column, width);
    }
    applying_ = false;
}

void HeaderBinding::Repaint() {
    header_.viewport()->update();
    if (auto* table = qobject_cast<QAbstractItemView*>(header_.parentWidget())) {
        table->viewport()->update();
    }
}

void HeaderBinding::OnSectionMoved() {
    if (applying_ || !control_) return;
    // Posted: the header finishes its own drop handling first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (control_) control_->OnHeaderDropped();
        },
        Qt::QueuedConnection);
}

void HeaderBinding::OnDividerDoubleClicked(int column) {
    if (!control_) return;
    const int target = control_->DividerColumn(column);
    if (target < 0) return;
    const int widest = widestText_ ? widestText_(target) : 0;
    control_->SizeColumnToContent(target, widest, 0);
}

}  // namespace tarvik::ui
