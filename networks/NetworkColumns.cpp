#include "networks/NetworkColumns.h"

#include <algorithm>
#include <charconv>
#include <ctime>

#include "core/ApplicationOptions.h"
#include "networks/CoordinateText.h"
#include "networks/OuiVendorCache.h"

namespace tarvik {
namespace {

constexpr std::size_t kMaxSsidLength = 32;
constexpr std::uint8_t kBasicRateBit = 0x80;
constexpr std::int32_t kShowDbm = 1;
constexpr std::uint32_t kPrivacyOff = 0;
constexpr std::uint32_t kPrivacyOn = 1;
constexpr std::uint32_t kKilohertzThreshold = 1000000;  // D * 10^-6 >= 1.0

// A text assembled in a fixed buffer, then copied into a cache string (whose
// storage is reused when the text is not longer than before). Appends that
// would not fit are cut; no column text comes near the capacity.
class TextBuilder {
  public:
    TextBuilder& Add(std::string_view text) {
        const std::size_t n = std::min(text.size(), sizeof buffer_ - size_);
        std::copy_n(text.data(), n, buffer_ + size_);
        size_ += n;
        return *this;
    }
    TextBuilder& Int(std::int64_t value) {
        const auto result = std::to_chars(buffer_ + size_, buffer_ + sizeof buffer_, value);
        if (result.ec == std::errc()) size_ = static_cast<std::size_t>(result.ptr - buffer_);
        return *this;
    }
    TextBuilder& Hex2(std::uint8_t value) {
        static constexpr char kDigits[] = "0123456789abcdef";
        const char pair[2] = {kDigits[value >> 4], kDigits[value & 0x0f]};
        return Add(std::string_view(pair, 2));
    }
    TextBuilder& TwoDigits(int value) {
        const char pair[2] = {static_cast<char>('0' + value / 10 % 10),
                              static_cast<char>('0' + value % 10)};
        return Add(std::string_view(pair, 2));
    }
    // "%.3f" in the C locale, whatever the process locale is.
    TextBuilder& Fixed3(double value) {
        const auto result = std::to_chars(buffer_ + size_, buffer_ + sizeof buffer_, value,
                                          std::chars_format::fixed, 3);
        if (result.ec == std::errc()) size_ = static_cast<std::size_t>(result.ptr - buffer_);
        return *this;
    }
    bool Empty() const { return size_ == 0; }
    void StoreIn(std::string& out) const { out.assign(buffer_, size_); }

  private:
    char buffer_[96];
    std::size_t size_ = 0;
};

// "%d" of a 32-bit field prints its signed reading.
std::int64_t AsSigned(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

void AddSignal(TextBuilder& text, std::int32_t dbm, const CApplicationOptions& options) {
    if (options.UseDbmOrPercentage.Get() == kShowDbm) {
        text.Int(dbm).Add(" dBm");
    } else {
        // 100 plus half of the value, rounded toward zero; wide enough for
        // any 32-bit value.
        text.Int(100 + std::int64_t{dbm} * 100 / 200).Add("%");
    }
}

struct CipherName {
    std::uint32_t flag;
    std::string_view name;
};

// The first name present starts the text, every later one is appended after ", ".
void AddFlagNames(TextBuilder& text, std::uint32_t flags, std::span<const CipherName> names) {
    for (const CipherName& entry : names) {
        if ((flags & entry.flag) == 0) continue;
        if (!text.Empty()) text.Add(", ");
        text.Add(entry.name);
    }
}

constexpr CipherName kCipherNames[] = {
    {CIPHER_NONE, "None"}, {CIPHER_WEP40, "WEP-40"}, {CIPHER_WEP104, "WEP-104"},
    {CIPHER_TKIP, "TKIP"}, {CIPHER_CCMP, "CCMP"},
};

// Bits 4 and 8 are not flags of the decoder; the texts name them all the same.
constexpr CipherName kKeyManagementNames[] = {
    {KEY_MGMT_IEEE8021X, "IEEE 802.1X/EAP"},
    {KEY_MGMT_PSK, "PSK"},
    {4, "None"},
    {8, "IEEE 802.1X"},
};

struct Frequency {
    std::uint32_t mhz;
    double ghz;
};

// DSConfig is normally kHz; small values are taken as 100 kHz units.
Frequency FrequencyOf(std::uint32_t dsConfig) {
    if (dsConfig >= kKilohertzThreshold) return {dsConfig / 1000, dsConfig * 1e-6};
    return {dsConfig / 10, dsConfig * 1e-4};
}

void AddTime(TextBuilder& text, std::int32_t seconds) {
    static constexpr std::string_view kWeekdays[] = {"Sun", "Mon", "Tue", "Wed",
                                                     "Thu", "Fri", "Sat"};
    static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t time = seconds;
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return;
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11) return;
    text.Add(kWeekdays[local.tm_wday]).Add(" ").Add(kMonths[local.tm_mon]).Add(" ");
    text.TwoDigits(local.tm_mday).Add(" ").TwoDigits(local.tm_hour).Add(":");
    text.TwoDigits(local.tm_min).Add(":").TwoDigits(local.tm_sec).Add(" ");
    text.Int(std::int64_t{local.tm_year} + 1900);
}

// ---- One builder per column. Each replaces `out`, or leaves it alone where
// the rule keeps the previous text.

using Builder = void (*)(CBssid&, const ColumnContext&, std::string&);

template <class Build>
void WithEntry(CBssid& record, std::string& out, Build build) {
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) {
        out.clear();
        return;
    }
    build(*entry);
}

void StoreSsid(CBssid& record, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const std::uint32_t length = entry.SsidLength();
        if (length == 0 || length > kMaxSsidLength) {
            out.clear();
            return;
        }
        const std::span<const std::uint8_t> ssid = entry.Ssid();
        const auto end = std::find(ssid.begin(), ssid.end(), std::uint8_t{0});
        out.assign(reinterpret_cast<const char*>(ssid.data()),
                   static_cast<std::size_t>(end - ssid.begin()));
    });
}

void BuildSsid(CBssid& record, const ColumnContext&, std::string& out) {
    StoreSsid(record, out);
}

void BuildSpeed(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        std::uint32_t maxRate = 0;
        for (std::uint8_t rate : entry.SupportedRates()) {
            if (rate == 0) break;
            maxRate = std::max<std::uint32_t>(maxRate, rate & ~kBasicRateBit);
        }
        record.TextCache().maxRate = maxRate;
        TextBuilder text;
        text.Int(maxRate / 2).Add(" Mbps").StoreIn(out);
    });
}

void BuildMacAddress(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const ndis::MacAddress mac = entry.GetMacAddress();
        TextBuilder text;
        for (std::size_t i = 0; i < mac.size(); ++i) {
            if (i != 0) text.Add(":");
            text.Hex2(mac[i]);
        }
        text.StoreIn(out);
    });
}

void BuildSignal(CBssid& record, const ColumnContext& context, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        TextBuilder text;
        AddSignal(text, entry.Rssi(), context.options);
        text.StoreIn(out);
    });
}

void BuildMode(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        switch (entry.InfrastructureMode()) {
            case ndis::Ndis802_11IBSS:
                out.assign("Ad Hoc");
                break;
            case ndis::Ndis802_11Infrastructure:
                out.assign("Infrastructure");
                break;
            case ndis::Ndis802_11AutoUnknown:
                out.assign("Auto");
                break;
            default:
                out.assign("Unknown");
                break;
        }
    });
}

// Every rule that applies replaces the text, so the last one wins; when none
// applies the text stays as it was.
void BuildEncryption(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const char* text = nullptr;
        if (entry.Privacy() == kPrivacyOff) text = "None";
        if (record.IsWep()) text = "WEP";
        if (record.IsWpa()) text = "WPA";
        if (record.IsWpa2()) text = "WPA2";
        if (text != nullptr) out.assign(text);
    });
}

void BuildStatus(CBssid& record, const ColumnContext& context, std::string& out) {
    const std::uint32_t status = record.ConnectionStatus();
    switch (status) {
        case STATUS_UNAVAILABLE:
            out.assign("Unavailable");
            return;
        case STATUS_CONNECTING:
            out.assign("Connecting...");
            return;
        case STATUS_CONNECTED:
        case STATUS_CONNECTED_MANUAL:
            out.assign("Connected, ");
            for (std::size_t i = 0; i < context.adapterAddresses.size(); ++i) {
                if (i != 0) out.append(", ");
                out.append(context.adapterAddresses[i]);
            }
            if (status == STATUS_CONNECTED_MANUAL) out.append(" (Manual)");
            return;
        case STATUS_CONNECTED_INVALID_IP:
            out.assign("Connected, Invalid IP");
            return;
        case STATUS_DISCONNECTING:
            out.assign("Disconnecting");
            return;
        case STATUS_NOT_CONNECTED:
            out.assign("Not Connected");
            return;
        case STATUS_NOT_DETECTED:
            out.assign("Not Detected");
            return;
        default:
            out.assign("Unknown");
            return;
    }
}

void BuildHits(CBssid& record, const ColumnContext&, std::string& out) {
    TextBuilder().Int(AsSigned(record.LastSeenScan())).StoreIn(out);
}

void BuildScore(CBssid& record, const ColumnContext& context, std::string& out) {
    TextBuilder().Int(record.Score(context.scanCounter)).Add("%").StoreIn(out);
}

void BuildFrequency(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const Frequency frequency = FrequencyOf(entry.GetConfiguration().dsConfig);
        const std::uint32_t channel = UpdateChannel(record);
        TextBuilder text;
        text.Fixed3(frequency.ghz).Add(" Ghz (").Int(AsSigned(channel)).Add(")").StoreIn(out);
    });
}

void BuildPhy(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        switch (entry.NetworkTypeInUse()) {
            case ndis::Ndis802_11FH:
                out.assign("FH");
                break;
            case ndis::Ndis802_11DS:
                out.assign("DS");
                break;
            case ndis::Ndis802_11OFDM5:
                out.assign("OFDM5");
                break;
            case ndis::Ndis802_11OFDM24:
                out.assign("OFDM");
                break;
            default:
                out.assign("Unknown");
                break;
        }
    });
}

// "%d" or "%d ms" of a configuration field.
template <std::uint32_t ndis::Configuration80211::*Field>
void BuildConfigurationValue(CBssid& record, std::string& out, std::string_view unit) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const ndis::Configuration80211 configuration = entry.GetConfiguration();
        TextBuilder().Int(AsSigned(configuration.*Field)).Add(unit).StoreIn(out);
    });
}

template <std::uint32_t ndis::FhConfiguration::*Field>
void BuildHopValue(CBssid& record, std::string& out, std::string_view unit) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const ndis::Configuration80211 configuration = entry.GetConfiguration();
        TextBuilder().Int(AsSigned(configuration.fh.*Field)).Add(unit).StoreIn(out);
    });
}

void BuildBeacon(CBssid& record, const ColumnContext&, std::string& out) {
    BuildConfigurationValue<&ndis::Configuration80211::beaconPeriod>(record, out, " ms");
}

void BuildAtimWindow(CBssid& record, const ColumnContext&, std::string& out) {
    BuildConfigurationValue<&ndis::Configuration80211::atimWindow>(record, out, " ms");
}

void BuildHopPattern(CBssid& record, const ColumnContext&, std::string& out) {
    BuildHopValue<&ndis::FhConfiguration::hopPattern>(record, out, "");
}

void BuildHopSet(CBssid& record, const ColumnContext&, std::string& out) {
    BuildHopValue<&ndis::FhConfiguration::hopSet>(record, out, "");
}

void BuildDwellTime(CBssid& record, const ColumnContext&, std::string& out) {
    BuildHopValue<&ndis::FhConfiguration::dwellTime>(record, out, " ms");
}

void BuildSignalStatistic(std::int32_t dbm, const ColumnContext& context, std::string& out) {
    TextBuilder text;
    AddSignal(text, dbm, context.options);
    text.StoreIn(out);
}

// "Best" is the weakest signal recorded and "Lowest" the strongest.
void BuildBestRssi(CBssid& record, const ColumnContext& context, std::string& out) {
    BuildSignalStatistic(record.RssiMin(), context, out);
}

void BuildLowestRssi(CBssid& record, const ColumnContext& context, std::string& out) {
    BuildSignalStatistic(record.RssiMax(), context, out);
}

void BuildAverageRssi(CBssid& record, const ColumnContext& context, std::string& out) {
    BuildSignalStatistic(record.RssiAverage(), context, out);
}

void BuildFirstSeen(CBssid& record, const ColumnContext&, std::string& out) {
    TextBuilder text;
    AddTime(text, record.FirstSeen());
    text.StoreIn(out);
}

void BuildLastSeen(CBssid& record, const ColumnContext&, std::string& out) {
    TextBuilder text;
    AddTime(text, record.LastSeen());
    text.StoreIn(out);
}

void BuildOui(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const ndis::MacAddress mac = entry.GetMacAddress();
        TextBuilder().Hex2(mac[0]).Hex2(mac[1]).Hex2(mac[2]).StoreIn(out);
    });
}

// The record's vendor text is replaced under its lock (a failed lookup on a
// worker thread may set "Error. Try again?" at any time); the column cache
// keeps a copy for the main thread's sort.
void BuildVendor(CBssid& record, const ColumnContext& context, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        const bool adHoc = entry.InfrastructureMode() == ndis::Ndis802_11IBSS;
        std::optional<std::string_view> stored;
        if (!adHoc) stored = context.vendors.Find(entry.GetMacAddress());
        record.UpdateVendorText([&](std::string& vendor) {
            if (adHoc) {
                vendor.assign(kVendorAdHocText);
            } else if (stored) {
                vendor.assign(*stored);
            } else if (vendor != kVendorErrorText) {
                vendor.assign(kVendorLookupText);
            }
            out.assign(vendor);
        });
    });
}

void BuildChannel(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry&) {
        TextBuilder().Int(AsSigned(UpdateChannel(record))).StoreIn(out);
    });
}

void BuildType(CBssid& record, const ColumnContext&, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        switch (entry.NetworkTypeInUse()) {
            case ndis::Ndis802_11OFDM5:
                out.assign("802.11a");
                break;
            case ndis::Ndis802_11FH:
            case ndis::Ndis802_11DS:
                out.assign("802.11b");
                break;
            case ndis::Ndis802_11OFDM24:
                out.assign("802.11g");
                break;
            default:
                break;  // keeps the previous text
        }
    });
}

void BuildCoordinate(CBssid& record, const ColumnContext& context, bool latitude,
                     std::string& out) {
    const OptionalPosition& position = record.PositionAtMinRssi();
    if (!position) {
        out.assign("Not Available");
        return;
    }
    const double degrees = latitude ? PositionLatitude(*position) : PositionLongitude(*position);
    FormatCoordinate(degrees, latitude, context.options.GpsAngleFormat.Get(), out);
}

void BuildLatitude(CBssid& record, const ColumnContext& context, std::string& out) {
    BuildCoordinate(record, context, true, out);
}

void BuildLongitude(CBssid& record, const ColumnContext& context, std::string& out) {
    BuildCoordinate(record, context, false, out);
}

void BuildCipherColumn(CBssid& record, std::uint32_t ciphers, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        if (record.HasSecurityElement()) {
            TextBuilder text;
            AddFlagNames(text, ciphers, kCipherNames);
            text.StoreIn(out);
        } else if (entry.Privacy() == kPrivacyOff) {
            out.assign("None");
        } else if (entry.Privacy() == kPrivacyOn) {
            out.assign("WEP");
        } else {
            out.assign("Unknown");
        }
    });
}

void BuildPairwiseCiphers(CBssid& record, const ColumnContext&, std::string& out) {
    BuildCipherColumn(record, record.Security().pairwiseCiphers, out);
}

void BuildGroupCiphers(CBssid& record, const ColumnContext&, std::string& out) {
    BuildCipherColumn(record, record.Security().groupCipher, out);
}

void StoreKeyManagement(CBssid& record, std::string& out) {
    WithEntry(record, out, [&](const ndis::BssidEntry& entry) {
        if (record.HasSecurityElement()) {
            TextBuilder text;
            AddFlagNames(text, record.Security().keyManagement, kKeyManagementNames);
            text.StoreIn(out);
        } else if (entry.Privacy() == kPrivacyOff) {
            out.assign("None");
        } else if (entry.Privacy() == kPrivacyOn) {
            out.assign("Not known");
        }  // any other Privacy keeps the previous text
    });
}

void BuildKeyManagement(CBssid& record, const ColumnContext&, std::string& out) {
    StoreKeyManagement(record, out);
}

constexpr Builder kBuilders[kNetworkColumnCount] = {
    BuildSsid,         BuildSpeed,         BuildMacAddress,  BuildSignal,
    BuildMode,         BuildEncryption,    BuildStatus,      BuildHits,
    BuildScore,        BuildFrequency,     BuildPhy,         BuildBeacon,
    BuildBestRssi,     BuildLowestRssi,    BuildAverageRssi, BuildFirstSeen,
    BuildLastSeen,     BuildAtimWindow,    BuildHopPattern,  BuildHopSet,
    BuildDwellTime,    BuildOui,           BuildVendor,      BuildChannel,
    BuildType,         BuildLatitude,      BuildLongitude,   BuildPairwiseCiphers,
    BuildGroupCiphers, BuildKeyManagement,
};

}  // namespace

std::uint32_t MegahertzOf(std::uint32_t dsConfig) {
    return FrequencyOf(dsConfig).mhz;
}

std::string_view RefreshColumnText(CBssid& record, int column, const ColumnContext& context) {
    if (!IsNetworkColumn(column)) return {};
    std::string& cache = record.TextCache().texts[static_cast<std::size_t>(column)];
    kBuilders[column](record, context, cache);
    return cache;
}

std::string ColumnText(CBssid& record, int column, const ColumnContext& context) {
    return std::string(RefreshColumnText(record, column, context));
}

std::string SsidText(CBssid& record) {
    std::string& cache = record.TextCache().texts[COLUMN_SSID];
    StoreSsid(record, cache);
    return cache;
}

std::string KeyManagementText(CBssid& record) {
    std::string& cache = record.TextCache().texts[COLUMN_KEY_MANAGEMENT];
    StoreKeyManagement(record, cache);
    return cache;
}

std::uint32_t ChannelOf(const CBssid& record) {
    const std::uint32_t stored = record.TextCache().channel;
    const ndis::BssidEntry* entry = record.Entry();
    if (entry == nullptr) return stored;
    // Unsigned arithmetic throughout: frequencies below the band's first
    // channel wrap around, as they always have.
    const std::uint32_t mhz = FrequencyOf(entry->GetConfiguration().dsConfig).mhz;
    switch (entry->NetworkTypeInUse()) {
        case ndis::Ndis802_11FH:
        case ndis::Ndis802_11DS:
        case ndis::Ndis802_11OFDM24:
            return (mhz - 2412) / 5 + 1;
        case ndis::Ndis802_11OFDM5:
            return ((mhz - 5170) / 10) * 2 + 34;
        default:
            return stored;
    }
}

std::uint32_t UpdateChannel(CBssid& record) {
    record.TextCache().channel = ChannelOf(record);
    return record.TextCache().channel;
}

std::string SignalText(std::int32_t dbm, const CApplicationOptions& options) {
    TextBuilder text;
    AddSignal(text, dbm, options);
    std::string out;
    text.StoreIn(out);
    return out;
}

std::string CipherSetText(std::uint32_t ciphers) {
    TextBuilder text;
    AddFlagNames(text, ciphers, kCipherNames);
    std::string out;
    text.StoreIn(out);
    return out;
}

std::string KeyManagementSetText(std::uint32_t keyManagement) {
    TextBuilder text;
    AddFlagNames(text, keyManagement, kKeyManagementNames);
    std::string out;
    text.StoreIn(out);
    return out;
}

std::string RecordTimeText(std::int32_t time) {
    TextBuilder text;
    AddTime(text, time);
    std::string out;
    text.StoreIn(out);
    return out;
}

bool NeedsOuiLookup(CBssid& record, const ColumnContext& context) {
    return IsOuiLookupText(RefreshColumnText(record, COLUMN_VENDOR, context));
}

}  // namespace tarvik
