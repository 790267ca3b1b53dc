#include "app/ManageKeys.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/AddNetworkKey.h"
#include "app/ProfileDialogs.h"
#include "profiles/ProfileList.h"

namespace tarvik {
namespace {

constexpr ProfileListColumn kColumns[] = {
    {"Ssid", 80, "linksys"},
    {"Bssid", 110, "00:40:96:55:03:08"},
    {"Network Key", 80, "passphrase"},
    {"Type", 40, "ASCII"},
    {"Network", 60, "WPA2"},
    {"Auto", 40, "Yes"},
    {"Order", 50, "200"},
    {"Match Bssid", 80, "No"},
    {"Mode", 80, "Infrastructure"},
};

int FitWidth(int column, const ColumnFitMetrics& fit) {
    const ProfileListColumn& info = kColumns[column];
    if (!fit.textWidth) return info.width;
    const double letterWidth =
        fit.textWidth(kAverageWidthLetters) / static_cast<double>(kAverageWidthLetters.size());
    const int scaled = static_cast<int>(std::lround(info.width * letterWidth / kLayoutLetterWidth));
    const int text = fit.textWidth(info.typical) + fit.cellPadding;
    const int title =
        fit.headerWidth ? fit.headerWidth(column) : fit.textWidth(info.title) + fit.cellPadding;
    return std::max({scaled, text, title});
}

}  // namespace

CManageKeys::CManageKeys(CProfileList& profiles, IProfileDialogs& dialogs,
                         const CApplicationOptions& options)
    : profiles_(profiles), dialogs_(dialogs), options_(options) {}

CManageKeys::~CManageKeys() = default;

std::span<const ProfileListColumn> CManageKeys::Columns() {
    return kColumns;
}

void CManageKeys::OnShown(IListHeader& header, const ColumnFitMetrics* fit) {
    layout_ = std::make_unique<CListCtrlEx>(header, options_);
    for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column) {
        const ProfileListColumn& info = kColumns[column];
        layout_->InsertColumn(column, info.title, fit ? FitWidth(column, *fit) : info.width);
    }
    layout_->SetSectionName(kProfileColumnSection);
    layout_->RestoreLayout();
    RebuildRows();
}

void CManageKeys::OnDestroyed() {
    if (!layout_) return;
    layout_->SaveLayout();
    layout_.reset();
}

std::vector<std::string> CManageKeys::RowTexts(std::size_t row) const {
    const CNetworkKey* profile = RowProfile(row);
    if (!profile) return {};
    return {profile->SsidText(),     profile->BssidText(),      profile->KeyText(),
            profile->KeyTypeText(),  profile->ClassText(),      profile->AutoConnectText(),
            profile->PriorityText(), profile->MatchBssidText(), profile->ModeText()};
}

const CNetworkKey* CManageKeys::RowProfile(std::size_t row) const {
    return row < rows_.size() ? rows_[row] : nullptr;
}

void CManageKeys::AddNew() {
    auto profile = std::make_unique<CNetworkKey>();
    CAddNetworkKey editor(*profile);
    if (dialogs_.RunNetworkEditor(editor)) profiles_.Add(std::move(profile));
    RebuildRows();
}

void CManageKeys::RemoveSelected(const std::vector<std::size_t>& rows) {
    // The rows name the profiles until the list changes: collect them first.
    std::vector<const CNetworkKey*> selected;
    for (const std::size_t row : rows) {
        if (const CNetworkKey* profile = RowProfile(row)) selected.push_back(profile);
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (const CNetworkKey* profile : selected) profiles_.Remove(profile);
    RebuildRows();
}

void CManageKeys::EditFirstSelected(const std::vector<std::size_t>& rows) {
    const auto first = std::min_element(rows.begin(), rows.end());
    const CNetworkKey* original = first == rows.end() ? nullptr : RowProfile(*first);
    if (original) {
        auto copy = std::make_unique<CNetworkKey>(*original);
        CAddNetworkKey editor(*copy);
        // Added before the original goes: a run stopped in between leaves
        // both stored, never neither.
        if (dialogs_.RunNetworkEditor(editor)) {
            profiles_.Add(std::move(copy));
            profiles_.Remove(original);
        }
    }
    RebuildRows();
}

void CManageKeys::RebuildRows() {
    rows_.clear();
    for (std::size_t i = 0; i < profiles_.Size(); ++i) rows_.push_back(&profiles_.At(i));
}

}  // namespace tarvik
