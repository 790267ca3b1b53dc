#include "app/NetworkHopping.h"

#include "core/EventLog.h"
#include "networks/NetworkColumns.h"

namespace tarvik {
namespace {

constexpr const char* kPrefix = "Network Hopping: ";

const char* TraceText(int state) {
    switch (state) {
        case HOP_UNKNOWN:
            return "Hopping State: Unknown";
        case HOP_DETERMINE_CARD_STATE:
            return "Hopping State: Determining the card state";
        case HOP_CONNECTED:
            return "Hopping State: Connected";
        case HOP_WAIT_CONNECT:
            return "Hopping State: Waiting for connect to finish";
        case HOP_NOT_CONNECTED:
            return "Hopping State: Not Connected";
        case HOP_DETERMINE_BEST:
            return "Hopping State: Determining best network";
        default:
            return "Hopping State: Unknown (default)";
    }
}

}  // namespace

void CNetworkHopping::Tick() {
    while (Step()) {
    }
}

bool CNetworkHopping::Step() {
    LogInfo("%s", TraceText(state_));
    switch (state_) {
        case HOP_UNKNOWN:
            state_ = HOP_DETERMINE_CARD_STATE;
            return true;
        case HOP_DETERMINE_CARD_STATE:
            seam_.ShowStatus(std::string(kPrefix) + "Determining current card state...");
            state_ =
                AnyRecordConnected() && seam_.IsAddressValid() ? HOP_CONNECTED : HOP_NOT_CONNECTED;
            return true;
        case HOP_CONNECTED:
            seam_.ShowStatus(std::string(kPrefix) + "Connected to network: " +
                             seam_.CurrentSsidText() + ", " + seam_.CurrentBssidText());
            state_ = HOP_DETERMINE_BEST;
            return false;
        case HOP_WAIT_CONNECT:
            return WaitForConnect();
        case HOP_NOT_CONNECTED:
            seam_.ShowStatus(std::string(kPrefix) + "Not connected to any network...");
            state_ = HOP_DETERMINE_BEST;
            return true;
        case HOP_DETERMINE_BEST:
            ChooseBestOpenNetwork();
            return false;
        default:
            state_ = HOP_DETERMINE_CARD_STATE;
            return false;
    }
}

// The attempt's result is read only once it is known: between the start of
// an attempt and its first message no record is connecting yet, and the last
// result is still the previous attempt's.
bool CNetworkHopping::WaitForConnect() {
    for (const BssidRecord& record : seam_.Records()) {
        if (record && record->IsConnecting()) return false;
    }
    if (seam_.IsConnectionInProgress()) return false;
    if (seam_.LastResult() != RES_OPEN_CONNECTED) {
        if (const BssidRecord target = seam_.LastTarget()) target->SetNotSuitableForHopping(true);
    }
    state_ = HOP_DETERMINE_BEST;
    return false;
}

bool CNetworkHopping::AnyRecordConnected() const {
    for (const BssidRecord& record : seam_.Records()) {
        if (record && record->IsConnected()) return true;
    }
    return false;
}

void CNetworkHopping::SayConnecting(CBssid& record) {
    seam_.ShowStatus(std::string(kPrefix) + "Connecting to network: " + SsidText(record));
}

void CNetworkHopping::ChooseBestOpenNetwork() {
    const std::uint32_t scanCounter = seam_.ScanCounter();
    BssidRecord best;
    int bestScore = 0;
    bool connected = false;
    int addressValid = -1;  // asked once, when a connected record needs it
    for (const BssidRecord& record : seam_.Records()) {
        if (!record) continue;
        if (record->IsConnecting()) {
            const BssidRecord target = seam_.LastTarget();
            SayConnecting(target ? *target : *record);
            state_ = HOP_WAIT_CONNECT;
            return;
        }
        if (record->IsConnected()) {
            if (addressValid < 0) addressValid = seam_.IsAddressValid() ? 1 : 0;
            if (addressValid != 0) {
                connected = true;
            } else {
                record->SetNotSuitableForHopping(true);
            }
        }
        const int score = record->Score(scanCounter);
        if (score > bestScore && !record->NotSuitableForHopping()) {
            best = record;
            bestScore = score;
        }
    }
    state_ = HOP_DETERMINE_CARD_STATE;
    if (connected) return;
    if (!best) {
        seam_.ShowStatus(std::string(kPrefix) + "No usable networks found!");
        return;
    }
    SayConnecting(*best);
    seam_.ConnectToBssid(best, nullptr);
    state_ = HOP_WAIT_CONNECT;
}

}  // namespace tarvik
