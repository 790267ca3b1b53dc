// The vendor names already looked up, by OUI: the "OUILookup" section of the
// user's settings, value name = six hex digits, value = the manufacturer.
// The table reloads it once per refresh and then answers every row from
// memory, so a refresh of many rows costs one read of the section, and a
// lookup stored meanwhile shows at the next refresh.
//
// The offline table of public assignments, once loaded, is asked first; the
// looked-up names fill in what it lacks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ndis/NdisTypes.h"
#include "networks/OuiTable.h"

namespace tarvik {

class RegistryStore;

inline constexpr const char* kOuiLookupSection = "OUILookup";

class OuiVendorCache {
  public:
    // Replaces the contents with the string values of `sectionKey`. Value
    // names that are not six hex digits are ignored (any case is accepted, as
    // the registry compares names without case).
    void Reload(RegistryStore& store, const std::string& sectionKey);

    // Adds one looked-up name (already stored in the settings).
    void Remember(std::uint32_t oui, std::string vendor);
    // The offline table; null: none.
    void SetOfflineTable(std::shared_ptr<const COuiTable> table) { offline_ = std::move(table); }

    // The vendor of `mac`: the offline table's, else the stored one of its
    // first three bytes. The view stays valid until the next Reload,
    // Remember or SetOfflineTable.
    std::optional<std::string_view> Find(const ndis::MacAddress& mac) const;

    std::size_t Size() const { return vendors_.size(); }

  private:
    std::unordered_map<std::uint32_t, std::string> vendors_;  // key: the 24-bit OUI
    std::shared_ptr<const COuiTable> offline_;
};

}  // namespace tarvik
