// The connection worker: the OID sets of the open, WEP and WPA/WPA2
// procedures, the media wait, the key handshake's wait and the address wait,
// each step told on the status line.
#include <algorithm>

#include "adapter/Adapter.h"
#include "app/ConnectionProcedure.h"
#include "app/MainDialog.h"
#include "app/WepKeyBlock.h"
#include "core/EventLog.h"
#include "platform/driverio/ReplyDeadline.h"

namespace tarvik {
namespace {

constexpr std::uint32_t kAuthOpen = 0;
constexpr std::uint32_t kAuthShared = 1;
constexpr std::uint32_t kAuthWpaPsk = 4;
constexpr std::uint32_t kAuthWpa2Psk = 7;

// Seconds of a timeout setting; a negative value waits not at all.
std::uint32_t Seconds(std::int32_t setting) {
    return static_cast<std::uint32_t>(std::max(setting, 0));
}

// True when the adapter's IP configuration was read and has DHCP off; an
// unreadable one is not taken for a manual address.
bool HasManualAddress(const CAdapter& adapter) {
    return adapter.HasIpConfig() && !adapter.IsDhcpEnabled();
}

constexpr const char* kAddressNotWatchedText =
    "Connected to the server, but address changes could not be watched; no IP address was "
    "received.";

}  // namespace

void CConnectionProcedure::RunWorker(ConnectParameters params) {
    CMainDialog* window = window_;
    Deliver([window] { window->SendConnectionStarted(); });
    {
        const driverio::CReplyDeadline bound(driverWaitBound_);
        params.adapter->ReadIpHelperData();
    }
    Result result = RES_FAILURE;
    switch (params.kind) {
        case ConnectKind::Open:
            result = ConnectOpen(params);
            break;
        case ConnectKind::Wep:
            result = ConnectWep(params);
            break;
        case ConnectKind::Wpa:
            result = ConnectWpa(params);
            break;
    }
    Deliver([window] { window->SendConnectionEnded(); });
    lastResult_ = result;
    running_ = false;
}

Result CConnectionProcedure::ConnectOpen(ConnectParameters& params) {
    const std::uint32_t mode = settings_.UseSharedModeInsteadOfOpen != 0 ? kAuthShared : kAuthOpen;
    Result result = SetModes(params, mode);
    if (result == RES_SUCCESS) result = SetEncryptionAndSsid(params, CIPHER_LEVEL_OPEN);
    if (result == RES_SUCCESS) result = WaitForMedia(params);
    if (result == RES_SUCCESS) result = FinishWithAddress(params, RES_OPEN_CONNECTED);
    params.result = result;
    return result;
}

Result CConnectionProcedure::ConnectWep(ConnectParameters& params) {
    Result result = SetModes(params, kAuthOpen);
    if (result == RES_SUCCESS) result = AddWepKey(params);
    if (result == RES_SUCCESS) result = SetEncryptionAndSsid(params, CIPHER_LEVEL_WEP);
    if (result == RES_SUCCESS) result = WaitForMedia(params);
    if (result == RES_SUCCESS) result = FinishWithAddress(params, RES_WEP_CONNECTED);
    params.result = result;
    return result;
}

Result CConnectionProcedure::ConnectWpa(ConnectParameters& params) {
    const bool wpa2 = IsWpa2Network(params.security);
    Result result = SetModes(params, wpa2 ? kAuthWpa2Psk : kAuthWpaPsk);
    if (result != RES_SUCCESS) return result;
    std::uint32_t level = CIPHER_LEVEL_WEP;
    ChooseCipherLevel(params.encryption, params.security, level);
    LogInfo("Determined best encryption level: %d", static_cast<int>(level));
    result = SetEncryptionAndSsid(params, level);
    if (result == RES_SUCCESS) result = WaitForMedia(params);
    if (result == RES_SUCCESS) result = FinishWpaHandshake(params);
    return result;
}

Result CConnectionProcedure::SetModes(ConnectParameters& params, std::uint32_t authenticationMode) {
    CAdapter& adapter = *params.adapter;
    const std::uint32_t infrastructure = params.entry.InfrastructureMode();
    Result result = RunSet([&] { return adapter.SetInfrastructureMode(infrastructure); },
                           "infrastructure", RES_SET_INFRASTRUCTURE_FAILED);
    if (result != RES_SUCCESS) return result;
    return RunSet([&] { return adapter.SetAuthenticationMode(authenticationMode); },
                  "authentication", RES_SET_AUTHENTICATION_FAILED);
}

Result CConnectionProcedure::SetEncryptionAndSsid(ConnectParameters& params,
                                                  std::uint32_t encryptionStatus) {
    CAdapter& adapter = *params.adapter;
    const Result result = RunSet([&] { return adapter.SetEncryptionStatus(encryptionStatus); },
                                 "encryption", RES_SET_ENCRYPTION_FAILED);
    if (result != RES_SUCCESS) return result;
    const auto ssid = params.entry.Ssid();
    const std::string text(ssid.begin(), ssid.end());
    return RunSet([&] { return adapter.SetSsid(text); }, "SSID", RES_SET_SSID_FAILED);
}

Result CConnectionProcedure::AddWepKey(ConnectParameters& params) {
    if (Ending() || !params.profile) return RES_ADD_KEY_FAILED;
    const CNetworkKey& profile = *params.profile;
    const std::size_t length = std::min<std::size_t>(profile.keyLength, profile.key.size());
    const auto block = BuildWepKeyBlock(std::span(profile.key.data(), length));
    Result status = RES_FAILURE;
    if (block) {
        const driverio::CReplyDeadline bound(driverWaitBound_);
        status = params.adapter->AddKey(*block);
    }
    if (status == RES_SUCCESS) return RES_SUCCESS;
    // Said, so the last text is not the authentication step's success.
    Say("Could not add the WEP key on the selected adapter.");
    return RES_ADD_KEY_FAILED;
}

Result CConnectionProcedure::RunSet(const std::function<Result()>& set, const char* what,
                                    Result failure) {
    if (Ending()) return failure;
    Result status = RES_FAILURE;
    {
        const driverio::CReplyDeadline bound(driverWaitBound_);
        status = set();
    }
    if (status != RES_SUCCESS) {
        Say(std::string("Could not set ") + what + " OID on the selected adapter.");
        return failure;
    }
    Say(std::string("Successfully set ") + what + " OID on the selected adapter.");
    return RES_SUCCESS;
}

Result CConnectionProcedure::WaitForMedia(ConnectParameters& params) {
    if (Ending()) return RES_MEDIA_DISCONNECTED;
    Say("Waiting to receive 'Connect' notification from the adapter...");
    const std::uint32_t seconds = Seconds(settings_.MediaStatusNotificationTimeout);
    {
        const driverio::CReplyDeadline bound(std::chrono::seconds(seconds) + driverWaitBound_);
        params.adapter->WaitForMediaConnect(seconds);
    }
    if (params.adapter->MediaStatus() == kMediaConnected) return RES_SUCCESS;
    Say("Adapter reports media as disconnected despite applying network settings, unable to "
        "connect.");
    return RES_MEDIA_DISCONNECTED;
}

Result CConnectionProcedure::FinishWithAddress(ConnectParameters& params, Result joined) {
    if (Ending()) return RES_CONNECTED_NO_ADDRESS;
    CAdapter& adapter = *params.adapter;
    if (HasManualAddress(adapter)) {
        Say("Network configuration applied, manual IP address configured, connected to the "
            "network.");
        if (params.kind == ConnectKind::Wep) {
            // The record belongs to the GUI thread.
            const BssidRecord record = params.record;
            Deliver([record] { record->SetConnectionStatus(STATUS_CONNECTED_MANUAL); });
        }
        return joined;
    }
    Say("Waiting for an IP address...");
    const std::uint32_t seconds = Seconds(settings_.DhcpAddressAquisitionTimeout);
    Result wait = RES_FAILURE;
    {
        const driverio::CReplyDeadline bound(std::chrono::seconds(seconds) + driverWaitBound_);
        wait = adapter.WaitForAddress(seconds);
    }
    if (wait == RES_ADDRESS_WAIT_TIMEOUT) {
        Say("Connected to the server, but timed out waiting for an IP address.");
        return RES_CONNECTED_NO_ADDRESS;
    }
    if (wait != RES_ADDRESS_OBTAINED) {
        Say(kAddressNotWatchedText);
        return RES_CONNECTED_NO_ADDRESS;
    }
    Say("Network configuration applied, IP address received, connected to the network.");
    return joined;
}

Result CConnectionProcedure::FinishWpaHandshake(ConnectParameters& params) {
    if (Ending() || !bridge_ || !params.profile) return RES_KEY_EXCHANGE_FAILED;
    CAdapter& adapter = *params.adapter;
    const std::uint32_t seconds = Seconds(settings_.EapolNegotiationTimeout);
    bridge_->Prepare(adapter, params.entry, params.security, *params.profile);
    bridge_->SetState(kSupplicantStateAssociated);
    const BridgeWaitResult wait = bridge_->Wait(std::chrono::milliseconds(seconds * 1000ull));
    Result result = wait.code;
    switch (wait.kind) {
        case BridgeWaitKind::Failed:
            LogError("WPA wait failed %d", static_cast<int>(wait.lastError));
            Say(wait.text.empty()
                    ? "Error occured while performing EAPOL negotiation, connect aborted."
                    : wait.text);
            result = RES_KEY_EXCHANGE_FAILED;
            break;
        case BridgeWaitKind::Timeout:
            Say("Key exchange timed out, unable to connect.");
            result = RES_KEY_EXCHANGE_TIMEOUT;
            break;
        case BridgeWaitKind::Other:
            Say("The key exchange was interrupted, unable to connect.");
            break;
        case BridgeWaitKind::Event:
            result = WaitForWpaAddress(params);
            break;
    }
    bridge_->Disarm();
    return result;
}

Result CConnectionProcedure::WaitForWpaAddress(ConnectParameters& params) {
    CAdapter& adapter = *params.adapter;
    const std::uint32_t seconds = Seconds(settings_.EapolNegotiationTimeout);
    const driverio::CReplyDeadline bound(std::chrono::seconds(seconds) + driverWaitBound_);
    adapter.ReadIpHelperData();
    if (HasManualAddress(adapter)) {
        Say("Key negotiations completed, connected with a manual IP to the network.");
        return RES_SUCCESS;
    }
    const Result wait = adapter.WaitForAddress(seconds);
    if (wait == RES_ADDRESS_OBTAINED) {
        Say("Network configuration applied, keys exchanged, IP address received, connected to "
            "the network.");
    } else if (wait == RES_ADDRESS_WAIT_TIMEOUT) {
        Say("Keys exchanged, but timed out waiting or an IP address.");
    } else {
        Say(kAddressNotWatchedText);
    }
    return wait;
}

}  // namespace tarvik
