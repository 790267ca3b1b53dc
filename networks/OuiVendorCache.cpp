#include "networks/OuiVendorCache.h"

#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr std::size_t kOuiKeyLength = 6;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseOuiKey(std::string_view name) {
    if (name.size() != kOuiKeyLength) return std::nullopt;
    std::uint32_t oui = 0;
    for (char c : name) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        oui = (oui << 4) | static_cast<std::uint32_t>(digit);
    }
    return oui;
}

std::uint32_t OuiOf(const ndis::MacAddress& mac) {
    return (std::uint32_t{mac[0]} << 16) | (std::uint32_t{mac[1]} << 8) | mac[2];
}

}  // namespace

void OuiVendorCache::Reload(RegistryStore& store, const std::string& sectionKey) {
    vendors_.clear();
    for (RegValue& value : store.EnumerateValues(sectionKey)) {
        if (value.type != RegType::String) continue;
        if (const std::optional<std::uint32_t> oui = ParseOuiKey(value.name)) {
            vendors_[*oui] = std::move(value.text);
        }
    }
}

void OuiVendorCache::Remember(std::uint32_t oui, std::string vendor) {
    vendors_[oui] = std::move(vendor);
}

std::optional<std::string_view> OuiVendorCache::Find(const ndis::MacAddress& mac) const {
    if (offline_) {
        if (const std::optional<std::string_view> known = offline_->Find(mac)) return known;
    }
    const auto found = vendors_.find(OuiOf(mac));
    if (found == vendors_.end()) return std::nullopt;
    return std::string_view(found->second);
}

}  // namespace tarvik
