#include "tools/cli/WatchOptions.h"

#include <algorithm>
#include <cctype>

#include "networks/ColumnIds.h"

namespace tarvik::cli {
namespace {

// Titles compare without case and spaces: "mac address" and "MACAddress" alike.
std::string TitleKey(std::string_view title) {
    std::string key;
    for (const char c : title) {
        if (c != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::string ColumnTitles() {
    std::string titles;
    for (const NetworkColumnInfo& info : kNetworkColumns) {
        if (!titles.empty()) titles += ", ";
        titles += info.title;
    }
    return titles;
}

std::string ChoiceNames(const FilterGroupInfo& group) {
    std::string names;
    for (const FilterChoice& choice : group.choices) {
        if (!names.empty()) names += '|';
        names += choice.name;
    }
    return names;
}

// Names from outside are echoed in errors: control bytes and overlong text
// are left out.
std::string Quoted(std::string_view text) {
    std::string out = "'";
    for (const char c : text.substr(0, 40)) {
        out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return out + "'";
}

}  // namespace

std::string ParseColumnList(const std::string& list, std::vector<int>& columns) {
    std::vector<int> parsed;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = std::string_view(list).substr(start, comma - start);
        const std::string key = TitleKey(name);
        const auto found =
            std::find_if(kNetworkColumns.begin(), kNetworkColumns.end(),
                         [&](const auto& info) { return TitleKey(info.title) == key; });
        if (found == kNetworkColumns.end()) {
            return "--columns names a column that does not exist: " + Quoted(name) +
                   "; the columns are " + ColumnTitles();
        }
        parsed.push_back(found->id);
        start = comma + 1;
    }
    columns = std::move(parsed);
    return {};
}

std::string ParseFilterOption(const std::string& option, NetworkFilterFields& filter) {
    const std::size_t equals = option.find('=');
    const std::string_view groupName = std::string_view(option).substr(0, equals);
    const auto groups = FilterGroups();
    const auto group = std::find_if(groups.begin(), groups.end(), [&](const FilterGroupInfo& g) {
        return TitleKey(g.name) == TitleKey(groupName);
    });
    if (group == groups.end() || equals == std::string::npos) {
        return "--filter takes GROUP=CHOICE, not " + Quoted(option) + "; " + FilterOptionNames();
    }
    const std::string_view choiceName = std::string_view(option).substr(equals + 1);
    const FilterChoice* choice = FindFilterChoice(*group, choiceName);
    if (choice == nullptr) {
        return "--filter " + std::string(group->name) + " takes " + ChoiceNames(*group) + ", not " +
               Quoted(choiceName);
    }
    filter.groups[static_cast<std::size_t>(group->id)] = FilterGroupState{1, choice->value};
    return {};
}

std::string FilterOptionNames() {
    std::string names;
    for (const FilterGroupInfo& group : FilterGroups()) {
        if (!names.empty()) names += ", ";
        names += std::string(group.name) + "=" + ChoiceNames(group);
    }
    return names;
}

}  // namespace tarvik::cli
