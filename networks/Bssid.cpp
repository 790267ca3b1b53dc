#include "networks/Bssid.h"

#include <new>
#include <vector>

#include "core/EventLog.h"
#include "ndis/ElementWalker.h"

namespace tarvik {
namespace {

constexpr const char* kRecordSignature = "BSSID";
constexpr const char* kRecordVersion = "1.21";
constexpr const char* kOlderRecordVersion = "1.2";

constexpr std::uint32_t kPrivacyOff = 0;
// Stands for "no entry" in classification: neither open (0) nor private (1).
constexpr std::uint32_t kPrivacyUnknown = 0xFFFFFFFF;

// A record last matched more than this many scans ago scores 0.
constexpr std::uint32_t kScoreMaxAge = 10;

}  // namespace

std::int32_t CurrentRecordTime() {
    return static_cast<std::int32_t>(std::time(nullptr));
}

CBssid::CBssid(const ndis::BssidEntry& entry, std::uint32_t scanCounter, std::int32_t now) {
    UpdateFromEntry(entry, now);
    lastSeenScan_ = scanCounter;
}

bool CBssid::MatchesEntry(const ndis::BssidEntry& entry, std::uint32_t scanCounter) {
    if (!entry_ || entry_->GetMacAddress() != entry.GetMacAddress()) return false;
    lastSeenScan_ = scanCounter;
    return true;
}

bool CBssid::UpdateFromEntry(const ndis::BssidEntry& entry, std::int32_t now) {
    if (!entry_) firstSeen_ = now;
    lastSeen_ = now;
    entry_.reset();

    if (entry.Length() > kLargeEntryLength) {
        LogWarn("pBssid reported to be over 10000 bytes long, ignoring");
    }
    try {
        entry_.emplace(entry);
    } catch (const std::bad_alloc&) {
        return false;
    }

    UpdateSignal(entry_->Rssi());
    DecodeSecurityElements();
    return true;
}

void CBssid::UpdateSignal(std::int32_t rssi) {
    // A halving running average, not a mean; 0 stands for "no sample yet".
    if (rssiAverage_ == 0) {
        rssiAverage_ = rssi;
    } else {
        rssiAverage_ = static_cast<std::int32_t>((std::int64_t{rssi} + rssiAverage_) / 2);
    }
    if (rssi < rssiMin_) rssiMin_ = rssi;
    if (rssi > rssiMax_) rssiMax_ = rssi;
}

// Walks the tagged elements. A decoded RSN element ends the walk, so it wins
// over any WPA element; of two decoded WPA elements the later one wins. The
// walk stops at the first element that runs past the element list.
void CBssid::DecodeSecurityElements() {
    hasSecurityElement_ = false;
    ndis::ElementWalker walker(entry_->TaggedElements());
    while (const std::optional<ndis::Element> element = walker.Next()) {
        if (element->id != ELEMENT_ID_VENDOR && element->id != ELEMENT_ID_RSN) continue;
        SecurityElementInfo scratch;
        if (ParseSecurityElement(element->whole, scratch) != 0) continue;
        security_ = scratch;
        hasSecurityElement_ = true;
        if (element->id == ELEMENT_ID_RSN) break;
    }
}

bool CBssid::IsConnected() const {
    return connectionStatus_ == STATUS_CONNECTED || connectionStatus_ == STATUS_CONNECTED_MANUAL ||
           connectionStatus_ == STATUS_CONNECTED_INVALID_IP;
}

NetworkSecurity CBssid::SecuritySummary() const {
    NetworkSecurity summary;
    summary.privacy = entry_ ? entry_->Privacy() : kPrivacyUnknown;
    summary.hasSecurityElement = hasSecurityElement_;
    summary.info = security_;
    return summary;
}

bool CBssid::IsKeyManagementSupported() const {
    return entry_ && tarvik::IsKeyManagementSupported(SecuritySummary());
}

int CBssid::SecurityClass() const {
    if (IsOpen()) return SECURITY_CLASS_OPEN;
    if (IsWep()) return SECURITY_CLASS_WEP;
    if (IsWpa()) return SECURITY_CLASS_WPA;
    if (IsWpa2()) return SECURITY_CLASS_WPA2;
    return SECURITY_CLASS_NONE;
}

bool CBssid::Is80211a() const {
    return entry_ && entry_->NetworkTypeInUse() == ndis::Ndis802_11OFDM5;
}

bool CBssid::Is80211b() const {
    return entry_ && (entry_->NetworkTypeInUse() == ndis::Ndis802_11FH ||
                      entry_->NetworkTypeInUse() == ndis::Ndis802_11DS);
}

bool CBssid::Is80211g() const {
    return entry_ && entry_->NetworkTypeInUse() == ndis::Ndis802_11OFDM24;
}

// 0 for a network excluded from hopping, with privacy, or not matched in the
// last 10 scans; otherwise (average + 10) * 100 / 190 + 100, halved for a
// network that is not in infrastructure mode.
int CBssid::Score(std::uint32_t scanCounter) const {
    if (!entry_ || notSuitableForHopping_ || entry_->Privacy() != kPrivacyOff ||
        scanCounter - lastSeenScan_ > kScoreMaxAge) {
        return 0;
    }
    const std::int64_t s = (std::int64_t{rssiAverage_} + 10) * 100 / 190 + 100;
    const std::int64_t score = entry_->InfrastructureMode() == ndis::Ndis802_11Infrastructure
                                   ? s
                                   : s / 2;  // s * 0.5 truncated toward zero
    return static_cast<int>(score);
}

std::string CBssid::VendorText() const {
    std::lock_guard<std::mutex> lock(vendorMutex_);
    return vendorText_;
}

void CBssid::SetVendorText(std::string text) {
    std::lock_guard<std::mutex> lock(vendorMutex_);
    vendorText_ = std::move(text);
}

// An absent network is drawn as a gap: a made-up 0 dBm would plot it as the
// strongest signal there is.
void CBssid::SampleRssi(bool scanning, std::uint32_t maxSamples) {
    std::optional<std::int32_t> dbm;
    if (scanning && entry_ && connectionStatus_ != STATUS_NOT_DETECTED) dbm = entry_->Rssi();
    rssiHistory_.Append(dbm, maxSamples);
}

int CBssid::Serialize(Archive& archive) {
    if (archive.IsStoring()) {
        Store(archive);
        return 0;
    }
    return Load(archive);
}

namespace {

void StorePosition(Archive& archive, const OptionalPosition& position) {
    archive.WriteU32(position ? 1 : 0);
    if (position) archive.WriteBytes(position->fix);
}

// False when the input ran out.
bool LoadPosition(Archive& archive, OptionalPosition& position) {
    position.reset();
    if (archive.ReadU32() == 0) return !archive.Failed();
    PositionSnapshot snapshot;
    if (!archive.ReadBytes(snapshot.fix)) return false;
    position = snapshot;
    return true;
}

}  // namespace

void CBssid::Store(Archive& archive) const {
    archive.WriteString(kRecordSignature);
    archive.WriteString(kRecordVersion);
    archive.WriteU32(lastSeenScan_);
    archive.WriteI32(firstSeen_);
    archive.WriteI32(lastSeen_);
    archive.WriteI32(rssiMin_);
    archive.WriteI32(rssiMax_);
    archive.WriteI32(rssiAverage_);
    archive.WriteU32(connectionStatus_);
    archive.WriteU32(security_.protocol);
    archive.WriteU32(security_.pairwiseCiphers);
    archive.WriteU32(security_.groupCipher);
    archive.WriteU32(security_.keyManagement);
    archive.WriteU32(security_.capabilities);
    archive.WriteU32(security_.pmkidCount);
    archive.WriteU32(0);  // the in-memory PMKID position means nothing on disk
    archive.WriteU32(hasSecurityElement_ ? 1 : 0);
    archive.WriteU32(notSuitableForHopping_ ? 1 : 0);
    if (entry_) {
        archive.WriteU32(entry_->Length());
        archive.WriteBytes(entry_->Bytes());
    } else {
        archive.WriteU32(0);
    }
    StorePosition(archive, positionAtMinRssi_);
    StorePosition(archive, positionAtMaxRssi_);
}

int CBssid::Load(Archive& archive) {
    // Running out of input is the archive's failure, reported by its reader.
    const std::string signature = archive.ReadString();
    if (archive.Failed()) return -1;
    if (signature != kRecordSignature) {
        LogError("File signature does not match %s, cannot parse buffer", signature.c_str());
        return -1;
    }
    const std::string version = archive.ReadString();
    if (archive.Failed()) return -1;
    const bool current = version == kRecordVersion;
    if (version == kOlderRecordVersion) {
        LogWarn("Older version of bssid, upgrading");
    } else if (!current) {
        LogError("BSSID version is incorrect, cannot parse buffer");
        return -1;
    }

    lastSeenScan_ = archive.ReadU32();
    firstSeen_ = archive.ReadI32();
    lastSeen_ = archive.ReadI32();
    rssiMin_ = archive.ReadI32();
    rssiMax_ = archive.ReadI32();
    rssiAverage_ = archive.ReadI32();
    connectionStatus_ = archive.ReadU32();
    security_.protocol = archive.ReadU32();
    security_.pairwiseCiphers = archive.ReadU32();
    security_.groupCipher = archive.ReadU32();
    security_.keyManagement = archive.ReadU32();
    security_.capabilities = archive.ReadU32();
    security_.pmkidCount = archive.ReadU32();
    archive.ReadU32();  // stored PMKID position: ignored
    security_.firstPmkid = PMKID_NONE;
    hasSecurityElement_ = archive.ReadU32() != 0;
    notSuitableForHopping_ = archive.ReadU32() != 0;
    rssiHistory_.Clear();

    if (archive.Failed() || !LoadEntry(archive)) return -1;
    if (!LoadPosition(archive, positionAtMinRssi_)) return -1;
    if (current) {
        if (!LoadPosition(archive, positionAtMaxRssi_)) return -1;
    } else {
        positionAtMaxRssi_.reset();
    }
    return 0;
}

// A stored length of 0 keeps whatever entry the record has. A length below
// the entry's fixed part or beyond the remaining input is nonsense: the
// stream cannot be trusted after it, so the archive fails too. Bytes that do
// not form a consistent entry fail the record only.
bool CBssid::LoadEntry(Archive& archive) {
    const std::uint32_t length = archive.ReadU32();
    if (archive.Failed()) return false;
    if (length == 0) return true;
    if (length < ndis::bssid_ex_layout::kFixedSize || length > archive.Remaining()) {
        LogError("Stored network entry length %u is not valid, cannot parse buffer", length);
        archive.Fail();
        return false;
    }
    entry_.reset();
    std::vector<std::uint8_t> bytes(length);
    if (!archive.ReadBytes(bytes)) return false;
    entry_ = ndis::BssidEntry::FromBytes(bytes);
    if (!entry_) LogError("Stored network entry is damaged, cannot parse buffer");
    return entry_.has_value();
}

}  // namespace tarvik
