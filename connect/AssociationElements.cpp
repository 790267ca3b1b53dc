#include "connect/AssociationElements.h"

#include <algorithm>
#include <array>

#include "connect/SecurityElement.h"
#include "connect/WpaDebug.h"
#include "ndis/ElementWalker.h"

namespace tarvik {
namespace {

constexpr std::array<std::uint8_t, 6> kWpaElementStart = {0x00, 0x50, 0xF2, 0x01, 0x01, 0x00};

void DumpIfTruncated(const ndis::ElementWalker& walker, std::span<const std::uint8_t> elements,
                     const char* title) {
    if (walker.Error() == ndis::NdisError::None) return;
    WpaHexdump(WPA_MSG_DEBUG, title, elements.subspan(walker.ErrorOffset()));
}

std::vector<std::uint8_t> Copy(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace

bool IsWpaSecurityElement(std::uint8_t id, std::span<const std::uint8_t> body) {
    return id == ELEMENT_ID_VENDOR && body.size() >= kWpaElementStart.size() &&
           std::equal(kWpaElementStart.begin(), kWpaElementStart.end(), body.begin());
}

bool IsRsnSecurityElement(std::uint8_t id, std::span<const std::uint8_t> body) {
    return id == ELEMENT_ID_RSN && body.size() >= 2;
}

std::vector<std::uint8_t> FirstOwnSecurityElement(std::span<const std::uint8_t> elements,
                                                  const char* truncatedTitle) {
    ndis::ElementWalker walker(elements);
    while (const auto element = walker.Next()) {
        if (IsWpaSecurityElement(element->id, element->body) ||
            IsRsnSecurityElement(element->id, element->body)) {
            return Copy(element->whole);
        }
    }
    DumpIfTruncated(walker, elements, truncatedTitle);
    return {};
}

ApSecurityElements FindApSecurityElements(std::span<const std::uint8_t> elements,
                                          const char* truncatedTitle) {
    ApSecurityElements found;
    ndis::ElementWalker walker(elements);
    while (const auto element = walker.Next()) {
        if (found.wpa.empty() && IsWpaSecurityElement(element->id, element->body)) {
            found.wpa = Copy(element->whole);
        } else if (found.rsn.empty() && IsRsnSecurityElement(element->id, element->body)) {
            found.rsn = Copy(element->whole);
        }
    }
    DumpIfTruncated(walker, elements, truncatedTitle);
    return found;
}

}  // namespace tarvik
