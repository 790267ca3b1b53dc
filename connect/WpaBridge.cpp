#include "connect/WpaBridge.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <exception>
#include <vector>

#include "adapter/Adapter.h"
#include "adapter/PacketWriter.h"
#include "connect/AssociationElements.h"
#include "connect/CipherChoice.h"
#include "connect/EapolHandOff.h"
#include "connect/KeyInstaller.h"
#include "connect/PmkDerivation.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"
#include "connect/SupplicantState.h"
#include "core/EventLog.h"
#include "core/StatusLine.h"
#include "ndis/AssociationInformation.h"
#include "ndis/ElementWalker.h"
#include "ndis/Oids.h"
#include "profiles/NetworkKey.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorInvalidParameter = 87;

// The scan entry's security summary: an RSN element wins over a WPA one.
NetworkSecurity SecurityOf(const ndis::BssidEntry& entry) {
    NetworkSecurity summary;
    summary.privacy = entry.Privacy();
    ndis::ElementWalker walker(entry.TaggedElements());
    while (const auto element = walker.Next()) {
        if (element->id != ELEMENT_ID_VENDOR && element->id != ELEMENT_ID_RSN) continue;
        SecurityElementInfo scratch;
        if (ParseSecurityElement(element->whole, scratch) != 0) continue;
        summary.info = scratch;
        summary.hasSecurityElement = true;
        if (element->id == ELEMENT_ID_RSN) break;
    }
    return summary;
}

// The profile's key text, up to its first NUL.
std::string KeyText(const CNetworkKey& profile) {
    const std::size_t length = std::min<std::size_t>(profile.keyLength, profile.key.size());
    const auto end = std::find(profile.key.begin(), profile.key.begin() + length, 0);
    return {profile.key.begin(), end};
}

// Installs keys on the adapter whose receive thread handles the frame.
struct AdapterKeyTarget : IAddKeyTarget {
    CAdapter* adapter = nullptr;
    Result AddKey(std::span<const std::uint8_t> descriptor) override {
        return adapter ? adapter->AddKey(descriptor) : RES_FAILURE;
    }
};

}  // namespace

struct CWpaBridge::Connection {
    Connection(CAdapter* card, const ndis::BssidEntry& network, const NetworkSecurity& summary)
        : adapter(card),
          entry(network),
          security(summary),
          installer(keyTarget, network.GetMacAddress()) {
        keyTarget.adapter = card;
    }
    // Held while a frame is handled; the supplicant's callbacks run under it.
    std::mutex mutex;
    CAdapter* adapter;  // the adapter whose thread received the last frame
    ndis::BssidEntry entry;
    NetworkSecurity security;
    ndis::MacAddress ownAddress{};
    AdapterKeyTarget keyTarget;
    CKeyInstaller installer;
    std::unique_ptr<CSupplicant> supplicant;
};

CWpaBridge::CWpaBridge(NetworkLookup lookup, ProgressText progress)
    : lookup_(std::move(lookup)), progress_(std::move(progress)) {
    if (!progress_) progress_ = [](const std::string& text) { SetStatusText(text); };
}

CWpaBridge::~CWpaBridge() = default;

std::shared_ptr<CWpaBridge::Connection> CWpaBridge::Current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

namespace {

SupplicantCallbacks ConnectionCallbacks(CWpaBridge::Connection& connection,
                                        std::function<void()> complete) {
    SupplicantCallbacks callbacks;
    callbacks.setState = [complete = std::move(complete)](int state) {
        SetSupplicantState(state);
        if (state == SUPP_STATE_COMPLETE) complete();
    };
    callbacks.getState = [] { return GetSupplicantState(); };
    callbacks.setKey = [&connection](int algorithm, const ndis::MacAddress& address, int keyIndex,
                                     bool transmit, std::span<const std::uint8_t> sequence,
                                     std::span<const std::uint8_t> key) {
        return connection.installer.SetKey(algorithm, address, keyIndex, transmit, sequence, key);
    };
    callbacks.sendFrame = [&connection](const ndis::MacAddress& destination,
                                        std::uint16_t etherType,
                                        std::span<const std::uint8_t> payload) {
        if (!connection.adapter) return -1;
        std::vector<std::uint8_t> frame(destination.begin(), destination.end());
        frame.insert(frame.end(), connection.ownAddress.begin(), connection.ownAddress.end());
        frame.push_back(static_cast<std::uint8_t>(etherType >> 8));
        frame.push_back(static_cast<std::uint8_t>(etherType & 0xFF));
        frame.insert(frame.end(), payload.begin(), payload.end());
        return SendEthernetFrame(*connection.adapter, frame) == RES_PACKET_WRITTEN ? 0 : -1;
    };
    return callbacks;
}

// Protocol, ciphers, key management and the default own element.
void ConfigureSupplicant(CAdapter& adapter, CWpaBridge::Connection& connection) {
    CSupplicant& supplicant = *connection.supplicant;
    const bool wpa2 = IsWpa2Network(connection.security);
    const std::uint32_t protocol = wpa2                                ? SECURITY_PROTOCOL_RSN
                                   : IsWpaNetwork(connection.security) ? SECURITY_PROTOCOL_WPA
                                                                       : 0;
    supplicant.SetProtocol(protocol);
    supplicant.ClearReplayCounter();
    supplicant.SetKeyManagement(KEY_MGMT_PSK);
    std::uint32_t level = CIPHER_LEVEL_WEP;
    ChooseCipherLevel(AdapterEncryptionSupport{adapter.BestEncryption()}, connection.security,
                      level);
    LogInfo("Chose cipher level %d for the selected network", static_cast<int>(level));
    const std::uint32_t cipher = level == CIPHER_LEVEL_CCMP ? CIPHER_CCMP : CIPHER_TKIP;
    supplicant.SetCiphers(cipher, cipher);
    std::array<std::uint8_t, kSupplicantElementLimit> element{};
    const int built = protocol == SECURITY_PROTOCOL_RSN
                          ? BuildRsnElement(cipher, cipher, KEY_MGMT_PSK, element)
                          : BuildWpaElement(cipher, cipher, KEY_MGMT_PSK, element);
    supplicant.SetOwnElement(
        std::span(element.data(), static_cast<std::size_t>(std::max(built, 0))));
}

}  // namespace

void CWpaBridge::Prepare(CAdapter& adapter, const ndis::BssidEntry& entry,
                         const NetworkSecurity& security, const CNetworkKey& profile) {
    auto connection = std::make_shared<Connection>(&adapter, entry, security);
    const auto ssid = entry.Ssid();
    LogInfo("Generating PMK for ssid %.*s", static_cast<int>(ssid.size()),
            reinterpret_cast<const char*>(ssid.data()));
    std::array<std::uint8_t, kPmkLength> pmk{};
    std::string key = KeyText(profile);
    const bool usable = DerivePmk(key, ssid, pmk) == 0;
    OPENSSL_cleanse(key.data(), key.size());
    if (usable) {
        connection->supplicant = std::make_unique<CSupplicant>(
            ConnectionCallbacks(*connection, [this] { ReleaseWait(); }));
        std::uint32_t count = 0;
        adapter.QueryAdapterOid(ndis::OID_802_3_CURRENT_ADDRESS, connection->ownAddress.data(),
                                static_cast<std::uint32_t>(connection->ownAddress.size()), &count);
        connection->supplicant->SetOwnAddress(connection->ownAddress);
        ConfigureSupplicant(adapter, *connection);
        connection->supplicant->SetPmk(pmk);
    }
    OPENSSL_cleanse(pmk.data(), pmk.size());
    {
        std::lock_guard lock(mutex_);
        current_ = std::move(connection);
    }
    std::lock_guard lock(waitMutex_);
    armed_ = usable;
    signalled_ = false;
    refusal_ = usable ? "" : kUnusableWpaKeyText;
}

void CWpaBridge::SetState(int state) {
    SetSupplicantState(state);
}

BridgeWaitResult CWpaBridge::Wait(std::chrono::milliseconds bound) {
    std::unique_lock lock(waitMutex_);
    if (!refusal_.empty()) {
        return {BridgeWaitKind::Failed, kErrorInvalidParameter, RES_KEY_EXCHANGE_FAILED, refusal_};
    }
    if (!armed_) return {BridgeWaitKind::Failed, kErrorInvalidHandle, RES_KEY_EXCHANGE_FAILED, ""};
    if (!released_.wait_for(lock, bound, [this] { return signalled_; })) {
        return {BridgeWaitKind::Timeout, 0, RES_KEY_EXCHANGE_TIMEOUT, ""};
    }
    signalled_ = false;
    return {BridgeWaitKind::Event, 0, RES_SUCCESS, ""};
}

void CWpaBridge::Disarm() {
    std::lock_guard lock(waitMutex_);
    armed_ = false;
    signalled_ = false;
    refusal_.clear();
}

void CWpaBridge::ReleaseWait() {
    {
        std::lock_guard lock(waitMutex_);
        if (!armed_) return;
        signalled_ = true;
    }
    released_.notify_all();
}

bool CWpaBridge::FindConnectedNetwork(CAdapter& adapter, Connection& connection) {
    if (adapter.MediaStatus() != kMediaConnected) {
        LogError("Receive Thread: Adapter is not connected, skipping eapol processing");
        return false;
    }
    ndis::MacAddress bssid{};
    std::uint32_t count = 0;
    const bool known =
        adapter.QueryAdapterOid(ndis::OID_802_11_BSSID, bssid.data(), bssid.size(), &count) == 0;
    if (known && bssid == connection.entry.GetMacAddress()) return true;
    const std::optional<ndis::BssidEntry> found = known && lookup_ ? lookup_(bssid) : std::nullopt;
    if (!found) {
        LogError(
            "Receive Thread: Connected network could not be found in scan results, skipping "
            "eapol processing");
        return false;
    }
    LogWarn(
        "Receive Thread: bridge_network not the same as connected network, setting "
        "bridge_network to found net");
    connection.entry = *found;
    connection.security = SecurityOf(*found);
    connection.installer.SetNetworkBssid(bssid);
    return true;
}

namespace {

// The ciphers the card asked for in its association request: message 3
// carries a key of that pairwise cipher and the group cipher's GTK, whatever
// the choice before the join said (a card set to AES joins a network with a
// TKIP group key with CCMP, for example). An element that names more than
// one pairwise cipher, or none we run, leaves the choice as it was.
void FollowAssociationCiphers(CSupplicant& supplicant, std::span<const std::uint8_t> own) {
    SecurityElementInfo info;
    if (own.empty() || ParseSecurityElement(own, info) != 0) return;
    const auto runnable = [](std::uint32_t cipher) {
        return cipher == CIPHER_TKIP || cipher == CIPHER_CCMP;
    };
    if (!runnable(info.pairwiseCiphers) || !runnable(info.groupCipher)) return;
    supplicant.SetCiphers(info.pairwiseCiphers, info.groupCipher);
}

Result UpdateAssociationInformation(CAdapter& adapter, CWpaBridge::Connection& connection) {
    const Result result = adapter.QueryAssociationInformation();
    if (result != 0) {
        LogWarn("Error updating association information, error %u", static_cast<unsigned>(result));
        return result;
    }
    const auto info = ndis::ParseAssociationInformation(adapter.AssociationInformation());
    const std::vector<std::uint8_t> own =
        info ? FirstOwnSecurityElement(info->requestIes, "Truncated IE in assoc_info")
             : std::vector<std::uint8_t>();
    CSupplicant& supplicant = *connection.supplicant;
    if (supplicant.SetOwnElement(own) != 0) supplicant.SetOwnElement({});
    FollowAssociationCiphers(supplicant, own);
    const ApSecurityElements ap =
        FindApSecurityElements(connection.entry.TaggedElements(), "Truncated IE in beacon_ies");
    supplicant.SetApWpaElement(ap.wpa);
    supplicant.SetApRsnElement(ap.rsn);
    return 0;
}

}  // namespace

void CWpaBridge::SendProgress(int state) {
    {
        std::lock_guard lock(waitMutex_);
        if (!armed_) return;
    }
    if (state >= SUPP_STATE_PAIRWISE_1 && state <= SUPP_STATE_PAIRWISE_4) {
        progress_("Perfoming WPA pairwise key exchange...");
    } else if (state == SUPP_STATE_GROUP_1 || state == SUPP_STATE_GROUP_2) {
        progress_("Perfoming WPA group key exchange...");
    }
}

void CWpaBridge::HandleEapol(CAdapter& adapter, std::span<const std::uint8_t> frame) {
    const std::shared_ptr<Connection> connection = Current();
    const std::optional<EapolHandOff> handOff = TakeEapolHandOff(frame);
    if (!connection || !connection->supplicant || !handOff) return;
    std::lock_guard lock(connection->mutex);
    LogInfo("Receive Thread: Received Eapol packet, key info=0x%x", handOff->keyInformation);
    connection->adapter = &adapter;
    connection->keyTarget.adapter = &adapter;
    if (!FindConnectedNetwork(adapter, *connection)) return;
    if (!IsWpaNetwork(connection->security) && !IsWpa2Network(connection->security)) {
        LogError(
            "Receive Thread: Chosen network is neither WPA nor WPA2, skipping eapol "
            "processing");
        return;
    }
    try {
        UpdateAssociationInformation(adapter, *connection);
    } catch (const std::exception&) {
        LogWarn("Exception parsing WPA/RSN ies, continuing anyway");
    }
    SendProgress(GetSupplicantState());
    try {
        connection->supplicant->ReceiveEapol(connection->entry.GetMacAddress(), handOff->eapol);
    } catch (const std::exception& error) {
        LogError("Receive Thread: Exception while processing an EAPOL frame: %s", error.what());
    }
}

}  // namespace tarvik
