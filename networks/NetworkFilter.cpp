#include "networks/NetworkFilter.h"

#include <algorithm>
#include <cctype>

#include "networks/NetworkColumns.h"

namespace tarvik {
namespace {

constexpr FilterChoice kClassChoices[] = {
    {1, "802.11a", "a"}, {2, "802.11b", "b"}, {3, "802.11g", "g"}};
constexpr FilterChoice kModeChoices[] = {{1, "Infrastructure", "infrastructure"},
                                         {2, "Ad Hoc", "adhoc"}};
constexpr FilterChoice kSecurityChoices[] = {
    {1, "None", "none"}, {2, "WEP", "wep"}, {3, "WPA", "wpa"}, {4, "WPA2", "wpa2"}};
constexpr FilterChoice kChannel24Choices[] = {
    {1, "1", "1"},    {2, "2", "2"},    {3, "3", "3"},    {4, "4", "4"},   {5, "5", "5"},
    {6, "6", "6"},    {7, "7", "7"},    {8, "8", "8"},    {9, "9", "9"},   {10, "10", "10"},
    {11, "11", "11"}, {12, "12", "12"}, {13, "13", "13"}, {14, "14", "14"}};
constexpr FilterChoice kChannel5Choices[] = {
    {34, "34", "34"},    {36, "36", "36"},    {38, "38", "38"},    {40, "40", "40"},
    {42, "42", "42"},    {44, "44", "44"},    {46, "46", "46"},    {48, "48", "48"},
    {52, "52", "52"},    {56, "56", "56"},    {60, "60", "60"},    {64, "64", "64"},
    {149, "149", "149"}, {153, "153", "153"}, {157, "157", "157"}, {161, "161", "161"}};

constexpr FilterGroupInfo kGroups[] = {
    {FILTER_CLASS, "Network Type", "Only show networks from the following classes:", "class",
     kClassChoices},
    {FILTER_MODE, "Network Mode", "Only show networks with the following mode:", "mode",
     kModeChoices},
    {FILTER_SECURITY, "Encryption", "Only show networks with security level:", "security",
     kSecurityChoices},
    {FILTER_CHANNEL_24, "802.11b Channel",
     "Only show networks from the following channel:", "channel24", kChannel24Choices},
    {FILTER_CHANNEL_5, "802.11a Channel",
     "Only show networks from the following channel:", "channel5", kChannel5Choices},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool PassesClass(std::uint32_t choice, const CBssid& record) {
    switch (choice) {
        case 1:
            return record.Is80211a();
        case 2:
            return record.Is80211b();
        case 3:
            return record.Is80211g();
        default:
            return true;
    }
}

bool PassesMode(std::uint32_t choice, const CBssid& record) {
    if (choice == 0) return true;
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) return false;
    // Automatic mode (2) is neither.
    return entry->InfrastructureMode() == (choice == 1 ? 1u : 0u);
}

bool PassesSecurity(std::uint32_t choice, const CBssid& record) {
    switch (choice) {
        case 1:
            return record.IsOpen();
        case 2:
            return record.IsWep();
        case 3:
            return record.IsWpa();
        case 4:
            return record.IsWpa2();
        default:
            return true;
    }
}

bool PassesChannel(std::uint32_t choice, const CBssid& record) {
    return choice == 0 || ChannelOf(record) == choice;
}

bool PassesGroup(int group, std::uint32_t choice, const CBssid& record) {
    switch (group) {
        case FILTER_CLASS:
            return PassesClass(choice, record);
        case FILTER_MODE:
            return PassesMode(choice, record);
        case FILTER_SECURITY:
            return PassesSecurity(choice, record);
        default:
            return PassesChannel(choice, record);
    }
}

}  // namespace

bool NetworkFilterFields::AnyGroupOn() const {
    return std::any_of(groups.begin(), groups.end(),
                       [](const FilterGroupState& group) { return group.on != 0; });
}

std::span<const FilterGroupInfo> FilterGroups() {
    return kGroups;
}

const FilterChoice* FindFilterChoice(const FilterGroupInfo& group, std::string_view name) {
    for (const FilterChoice& choice : group.choices) {
        if (EqualNoCase(choice.name, name) || EqualNoCase(choice.label, name)) return &choice;
    }
    return nullptr;
}

bool PassesNetworkFilter(const NetworkFilterFields& filter, const CBssid& record) {
    for (int group = 0; group < kFilterGroupCount; ++group) {
        const FilterGroupState& state = filter.groups[static_cast<std::size_t>(group)];
        if (state.on != 0 && !PassesGroup(group, state.choice, record)) return false;
    }
    return true;
}

}  // namespace tarvik
