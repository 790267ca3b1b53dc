#include "app/ConnectionManager.h"

#include "networks/NetworkColumns.h"

namespace tarvik {
namespace {

constexpr const char* kPrefix = "Connection Manager: ";
// The result a WPA join reports once it has its address.
constexpr Result kWpaConnected = 1113;

bool IsJoined(Result result) {
    return result == RES_OPEN_CONNECTED || result == RES_WEP_CONNECTED || result == kWpaConnected;
}

// Priorities compare signed: a stored 0xFFFFFFFF is -1, before 0.
std::int32_t SignedPriority(const CNetworkKey& profile) {
    return static_cast<std::int32_t>(profile.priority);
}

}  // namespace

void CConnectionManager::Tick() {
    switch (state_) {
        case CM_SEARCH:
            ChooseProfileNetwork();
            break;
        case CM_WAIT_CONNECT:
            if (seam_.IsConnectionInProgress()) break;
            // Any other result searches again, which also finds an
            // established connection.
            state_ = IsJoined(seam_.LastResult()) ? CM_CONNECTED : CM_SEARCH;
            break;
        case CM_CONNECTED:
            seam_.ShowStatus(std::string(kPrefix) + "Connected to network: " +
                             seam_.CurrentSsidText() + ", " + seam_.CurrentBssidText());
            state_ = CM_SEARCH;
            break;
        default:
            state_ = CM_SEARCH;
            break;
    }
}

bool CConnectionManager::FoundConnection() {
    int addressValid = -1;  // asked once, when a connected record needs it
    for (const BssidRecord& record : seam_.Records()) {
        if (!record) continue;
        if (record->IsConnecting()) {
            const BssidRecord target = seam_.LastTarget();
            seam_.ShowStatus(std::string(kPrefix) +
                             "Connecting to network: " + SsidText(target ? *target : *record));
            state_ = CM_WAIT_CONNECT;
            return true;
        }
        if (!record->IsConnected()) continue;
        if (addressValid < 0) addressValid = seam_.IsAddressValid() ? 1 : 0;
        if (addressValid != 0) {
            state_ = CM_CONNECTED;
            return true;
        }
    }
    return false;
}

// Neither signal strength nor whether a record is still detected counts: of
// the automatic profiles the smallest priority wins, the earlier profile on
// a tie, and for one profile its first matching record in list order.
void CConnectionManager::ChooseProfileNetwork() {
    if (FoundConnection()) return;
    const CNetworkKey* chosenProfile = nullptr;
    BssidRecord chosenRecord;
    for (const CNetworkKey* profile : seam_.Profiles()) {
        if (!profile || profile->autoConnect == 0) continue;
        if (chosenProfile && SignedPriority(*profile) >= SignedPriority(*chosenProfile)) continue;
        for (const BssidRecord& record : seam_.Records()) {
            if (!record || !ProfileMatches(*profile, *record)) continue;
            chosenProfile = profile;
            chosenRecord = record;
            break;
        }
    }
    if (!chosenProfile) {
        seam_.ShowStatus(std::string(kPrefix) + "No usable networks found!");
        state_ = CM_SEARCH;
        return;
    }
    seam_.ConnectToBssid(chosenRecord, chosenProfile);
    state_ = CM_WAIT_CONNECT;
}

}  // namespace tarvik
