// The result filter: five groups (network class, mode, security level, 2.4
// and 5 GHz channel), each switched on or off and with one chosen value
// (0: nothing chosen, which lets everything through). The filter lives for
// the run and starts with every group off; it is not stored.
//
// Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "networks/Bssid.h"
#include "networks/NetworkTable.h"

namespace tarvik {

enum FilterGroup : int {
    FILTER_CLASS = 0,
    FILTER_MODE = 1,
    FILTER_SECURITY = 2,
    FILTER_CHANNEL_24 = 3,
    FILTER_CHANNEL_5 = 4,
};
inline constexpr int kFilterGroupCount = 5;

// One group's on switch and choice.
struct FilterGroupState {
    std::uint32_t on = 0;
    std::uint32_t choice = 0;
    bool operator==(const FilterGroupState&) const = default;
};

// The filter's fields, by group.
struct NetworkFilterFields {
    std::array<FilterGroupState, kFilterGroupCount> groups{};
    bool AnyGroupOn() const;
    bool operator==(const NetworkFilterFields&) const = default;
};

// A value a group can choose, with its button label and the short name the
// command line takes.
struct FilterChoice {
    std::uint32_t value;
    std::string_view label;
    std::string_view name;
};

// A group as the dialog and the command line show it.
struct FilterGroupInfo {
    FilterGroup id;
    std::string_view title;      // the group box
    std::string_view checkText;  // the group's check box
    std::string_view name;       // the command line's GROUP
    std::span<const FilterChoice> choices;
};

// The five groups, in the order the filter tests them.
std::span<const FilterGroupInfo> FilterGroups();
// The group's choice with this short name (case-insensitive), or null.
const FilterChoice* FindFilterChoice(const FilterGroupInfo& group, std::string_view name);

// The filter test: the groups in order, the first failing one rejects.
bool PassesNetworkFilter(const NetworkFilterFields& filter, const CBssid& record);

class CNetworkFilter : public INetworkFilter {
  public:
    NetworkFilterFields& Fields() { return fields_; }
    const NetworkFilterFields& Fields() const { return fields_; }
    // Told the counts after each table refresh; null: nobody.
    void SetCountsListener(std::function<void(const TableCounts&)> listener) {
        listener_ = std::move(listener);
    }

    bool PassesFilter(CBssid& record) override { return PassesNetworkFilter(fields_, record); }
    void ShowCounts(const TableCounts& counts) override {
        if (listener_) listener_(counts);
    }

  private:
    NetworkFilterFields fields_;
    std::function<void(const TableCounts&)> listener_;
};

}  // namespace tarvik
