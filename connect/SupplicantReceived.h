// A received EAPOL-Key frame inside the supplicant: a private copy, the view
// over it, and the key data as the handlers read it (decrypted when the
// frame carried it encrypted).
#pragma once

#include <openssl/crypto.h>

#include <optional>
#include <span>
#include <vector>

#include "connect/EapolKey.h"
#include "connect/Supplicant.h"

namespace tarvik {

struct CSupplicant::Received {
    ndis::MacAddress source{};
    std::vector<std::uint8_t> copy;
    std::optional<EapolKeyView> view;
    std::vector<std::uint8_t> keyData;

    Received() = default;
    Received(const Received&) = delete;
    Received& operator=(const Received&) = delete;
    ~Received() { OPENSSL_cleanse(keyData.data(), keyData.size()); }

    const EapolKeyView& Key() const { return *view; }
    std::uint16_t Info() const { return view->KeyInformation(); }
    int Version() const { return view->DescriptorVersion(); }
    bool Rsn() const { return view->DescriptorType() == EAPOL_KEY_TYPE_RSN; }
};

}  // namespace tarvik
