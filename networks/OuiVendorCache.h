// The vendor names already looked up, by OUI: the "OUILookup" section of the
// user's settings, value name = six hex digits, value = the manufacturer.
// The table reloads it once per refresh and then answers every row from
// memory, so a refresh of many rows costs one read of the section, and a
// lookup stored meanwhile shows at the next refresh.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ndis/NdisTypes.h"

namespace tarvik {

class RegistryStore;

inline constexpr const char* kOuiLookupSection = "OUILookup";

class OuiVendorCache {
  public:
    // Replaces the contents with the string values of `sectionKey`. Value
    // names that are not six hex digits are ignored (any case is accepted, as
    // the registry compares names without case).
    void Reload(RegistryStore& store, const std::string& sectionKey);

    // The stored vendor of the first three bytes of `mac`, if any. The view
    // stays valid until the next Reload.
    std::optional<std::string_view> Find(const ndis::MacAddress& mac) const;

    std::size_t Size() const { return vendors_.size(); }

  private:
    std::unordered_map<std::uint32_t, std::string> vendors_;  // key: the 24-bit OUI
};

}  // namespace tarvik
