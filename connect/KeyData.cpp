#include "connect/KeyData.h"

#include <algorithm>
#include <array>

#include "connect/SecurityElement.h"
#include "connect/WpaDebug.h"

namespace tarvik {

namespace {

constexpr std::array<std::uint8_t, 6> kWpaHeader = {0x00, 0x50, 0xF2, 0x01, 0x01, 0x00};
constexpr std::array<std::uint8_t, 3> kRsnOui = {0x00, 0x0F, 0xAC};
constexpr std::uint8_t kKdeGtk = 1;
constexpr std::uint8_t kKdePmkid = 4;
constexpr std::size_t kSelectorLength = 4;

bool HasSelector(std::span<const std::uint8_t> body, std::uint8_t type) {
    return body.size() >= kSelectorLength &&
           std::equal(kRsnOui.begin(), kRsnOui.end(), body.begin()) && body[3] == type;
}

void KeepFirst(std::span<const std::uint8_t>& slot, std::span<const std::uint8_t> value) {
    if (slot.empty()) slot = value;
}

// One vendor element (`body` after id and length); false when it ends the walk.
bool TakeVendorElement(std::span<const std::uint8_t> element, KeyDataElements& elements) {
    const std::span<const std::uint8_t> body = element.subspan(2);
    if (body.empty()) return false;
    if (body.size() >= kWpaHeader.size() &&
        std::equal(kWpaHeader.begin(), kWpaHeader.end(), body.begin())) {
        KeepFirst(elements.wpaElement, element);
    } else if (body.size() >= kSelectorLength + kPmkidLength && HasSelector(body, kKdePmkid)) {
        KeepFirst(elements.pmkid, body.subspan(kSelectorLength, kPmkidLength));
    } else if (body.size() >= kSelectorLength + 3 && HasSelector(body, kKdeGtk)) {
        KeepFirst(elements.gtk, body.subspan(kSelectorLength));
    }
    return true;
}

}  // namespace

int ParseKeyData(std::span<const std::uint8_t> keyData, KeyDataElements& elements) {
    elements = {};
    std::size_t pos = 0;
    while (keyData.size() - pos >= 2) {
        const std::uint8_t id = keyData[pos];
        const std::size_t length = keyData[pos + 1];
        if (length > keyData.size() - pos - 2) {
            WpaPrintf(WPA_MSG_INFO, "WPA: EAPOL-Key Key Data underflow (ie=%d len=%d)", id,
                      static_cast<int>(length));
            return -1;
        }
        const std::span<const std::uint8_t> element = keyData.subspan(pos, 2 + length);
        if (id == ELEMENT_ID_RSN) {
            KeepFirst(elements.rsnElement, element);
        } else if (id == ELEMENT_ID_VENDOR) {
            if (!TakeVendorElement(element, elements)) return 0;
        } else {
            WpaHexdump(WPA_MSG_DEBUG, "WPA: Unrecognized EAPOL-Key Key Data IE", element);
        }
        pos += element.size();
    }
    return 0;
}

}  // namespace tarvik
