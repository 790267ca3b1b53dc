#include "app/ListCtrlEx.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "app/LayoutBlob.h"
#include "core/ApplicationOptions.h"
#include "networks/ColumnIds.h"
#include "platform/RegHive.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr const char* kCountValue = "Column Count";
constexpr const char* kOrderValue = "Column Order";
constexpr const char* kWidthValue = "Column Width";
constexpr const char* kVisibleValue = "Column Visible";

int ClampWidth(int width) {
    return std::clamp(width, 0, kMaxColumnWidth);
}

}  // namespace

CListCtrlEx::CListCtrlEx(IListHeader& header, const CApplicationOptions& options)
    : header_(header), options_(options) {}

void CListCtrlEx::InsertColumn(int index, std::string title, int width) {
    index = std::clamp(index, 0, ColumnCount());
    width = ClampWidth(width);
    columns_.insert(columns_.begin() + index, ColumnInfo{std::move(title), width, true});
    if (index < header_.ColumnCount()) header_.SetColumnWidth(index, width);
}

void CListCtrlEx::DeleteColumn(int index) {
    if (IsColumn(index)) columns_.erase(columns_.begin() + index);
}

int CListCtrlEx::ColumnCount() const {
    return static_cast<int>(columns_.size());
}

const std::string& CListCtrlEx::ColumnTitle(int index) const {
    static const std::string kNone;
    return IsColumn(index) ? columns_[index].title : kNone;
}

int CListCtrlEx::InitialWidth(int index) const {
    return IsColumn(index) ? columns_[index].initialWidth : 0;
}

void CListCtrlEx::SetSectionName(std::string name) {
    sectionName_ = std::move(name);
}

bool CListCtrlEx::SaveLayout() {
    if (sectionName_.empty()) return false;
    const std::string key = SectionKey();
    if (!RegHive::NormalizePath(key)) return false;
    std::vector<int> widths;
    std::vector<int> visible;
    for (int column = 0; column < ColumnCount(); ++column) {
        const bool shown = columns_[column].visible;
        widths.push_back(shown ? ClampWidth(header_.ColumnWidth(column)) : 0);
        visible.push_back(shown ? 1 : 0);
    }
    const auto count = static_cast<std::uint32_t>(ColumnCount());
    const std::vector<int> order = CurrentOrder();
    // One write, so a crash never leaves a count beside blobs of another layout.
    return options_.UserHive().Modify(
        [&](RegHive& hive) {
            hive.SetValue(key, RegValue::MakeDword(kCountValue, count));
            hive.SetValue(key, RegValue::MakeBinary(kOrderValue, EncodeLayoutBlob(order)));
            hive.SetValue(key, RegValue::MakeBinary(kWidthValue, EncodeLayoutBlob(widths)));
            hive.SetValue(key, RegValue::MakeBinary(kVisibleValue, EncodeLayoutBlob(visible)));
        },
        "the column layout of " + key);
}

bool CListCtrlEx::SaveChangedLayout() {
    return layoutOwned_ && SaveLayout();
}

bool CListCtrlEx::RestoreLayout() {
    if (sectionName_.empty()) return false;
    layoutOwned_ = true;
    const std::string key = SectionKey();
    const std::uint32_t count = options_.UserHive().ReadDword(key, kCountValue, 0);
    if (count != static_cast<std::uint32_t>(ColumnCount())) return false;
    return RestoreOrder(key) && RestoreWidths(key) && RestoreVisibility(key);
}

bool CListCtrlEx::RestoreOrder(const std::string& key) {
    const auto blob = options_.UserHive().ReadBinary(key, kOrderValue);
    if (!blob) return false;
    const auto order = DecodeLayoutBlob(*blob, columns_.size());
    if (!order || !IsPermutation(*order)) return false;
    ApplyOrder(*order);
    return true;
}

bool CListCtrlEx::RestoreWidths(const std::string& key) {
    const auto blob = options_.UserHive().ReadBinary(key, kWidthValue);
    if (!blob) return false;
    const auto widths = DecodeLayoutBlob(*blob, columns_.size());
    if (!widths) return false;
    for (int column = 0; column < ColumnCount(); ++column) {
        // A column hidden now keeps width 0; the next step decides its fate.
        const int width = columns_[column].visible ? ClampWidth((*widths)[column]) : 0;
        header_.SetColumnWidth(column, width);
    }
    return true;
}

bool CListCtrlEx::RestoreVisibility(const std::string& key) {
    const auto blob = options_.UserHive().ReadBinary(key, kVisibleValue);
    if (!blob) return false;
    const auto visible = DecodeLayoutBlob(*blob, columns_.size());
    if (!visible) return false;
    for (int column = 0; column < ColumnCount(); ++column) {
        SetColumnVisible(column, (*visible)[column] != 0);
    }
    return true;
}

void CListCtrlEx::SetColumnVisible(int index, bool visible) {
    if (!IsColumn(index) || columns_[index].visible == visible) return;
    // Counted before the change: a column shown while ten are visible goes to
    // position 9, just before the last of them.
    const int visibleBefore = VisibleCount();
    columns_[index].visible = visible;
    layoutOwned_ = true;
    std::vector<int> order = CurrentOrder();
    if (!visible) {
        header_.SetColumnWidth(index, 0);
    } else {
        header_.SetColumnWidth(index, columns_[index].initialWidth);
        // With no other column visible the target is the first place.
        const int target = std::max(0, std::min(index, visibleBefore - 1));
        order.erase(std::find(order.begin(), order.end(), index));
        order.insert(order.begin() + target, index);
    }
    ApplyOrder(std::move(order));
}

bool CListCtrlEx::IsColumnVisible(int index) const {
    return IsColumn(index) && columns_[index].visible;
}

void CListCtrlEx::ApplyOrder(std::vector<int> order) {
    if (!IsPermutation(order)) return;
    std::vector<int> arranged(order.size());
    std::size_t left = 0;
    std::size_t right = arranged.size();
    for (int column : order) {
        if (columns_[column].visible) {
            arranged[left++] = column;
        } else {
            arranged[--right] = column;
        }
    }
    header_.SetDisplayOrder(arranged);
    header_.Repaint();
}

void CListCtrlEx::OnHeaderDropped() {
    layoutOwned_ = true;
    ApplyOrder(header_.DisplayOrder());
}

int CListCtrlEx::DividerColumn(int column) const {
    if (!IsColumn(column)) return -1;
    if (columns_[column].visible) return column;
    const std::vector<int> order = CurrentOrder();
    auto at = std::find(order.begin(), order.end(), column);
    while (at != order.begin()) {
        --at;
        if (columns_[*at].visible) return *at;
    }
    return -1;
}

void CListCtrlEx::ResizeColumn(int column, int width) {
    const int target = DividerColumn(column);
    if (target < 0) return;
    header_.SetColumnWidth(target, ClampWidth(width));
    layoutOwned_ = true;
}

void CListCtrlEx::SizeColumnToContent(int column, int widestTextPixels, int smallIconWidth) {
    const int target = DividerColumn(column);
    if (target < 0) return;
    int width = std::max(0, widestTextPixels) + kContentPadding;
    if (target == 0) width += std::max(0, smallIconWidth);
    header_.SetColumnWidth(target, ClampWidth(width));
    layoutOwned_ = true;
}

bool CListCtrlEx::IsColumn(int index) const {
    return index >= 0 && index < ColumnCount();
}

bool CListCtrlEx::IsPermutation(const std::vector<int>& order) const {
    return IsColumnPermutation(order, columns_.size());
}

std::vector<int> CListCtrlEx::CurrentOrder() const {
    std::vector<int> order = header_.DisplayOrder();
    if (IsPermutation(order)) return order;
    order.resize(columns_.size());
    std::iota(order.begin(), order.end(), 0);
    return order;
}

int CListCtrlEx::VisibleCount() const {
    return static_cast<int>(std::count_if(columns_.begin(), columns_.end(),
                                          [](const ColumnInfo& info) { return info.visible; }));
}

std::string CListCtrlEx::SectionKey() const {
    return options_.SectionKey(sectionName_.c_str());
}

void SetUpNetworkTableColumns(CListCtrlEx& table) {
    for (const NetworkColumnInfo& column : kNetworkColumns) {
        table.InsertColumn(column.id, std::string(column.title), column.width);
    }
}

}  // namespace tarvik
