#include "driver/sim/ScenarioLoader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "driver/sim/ScenarioFields.h"
#include "driver/sim/SimSecurity.h"
#include "ndis/Oids.h"

namespace tarvik::driver::sim {

namespace {

using nlohmann::json;

// Channel numbers as 802.11 numbers them on 2.4 GHz and 5 GHz.
std::uint32_t ChannelToMhz(std::uint32_t channel) {
    if (channel == 14) return 2484;
    if (channel <= 13) return 2407 + 5 * channel;
    return 5000 + 5 * channel;
}

bool MhzToChannel(std::uint32_t mhz, std::uint32_t& channel) {
    if (mhz == 2484) {
        channel = 14;
        return true;
    }
    if (mhz >= 2412 && mhz <= 2472 && (mhz - 2407) % 5 == 0) {
        channel = (mhz - 2407) / 5;
        return true;
    }
    if (mhz >= 5180 && mhz <= 5825 && mhz % 5 == 0) {
        channel = (mhz - 5000) / 5;
        return true;
    }
    return false;
}

std::vector<Rate> DefaultRates(NetworkType type) {
    std::vector<double> mbps;
    std::vector<double> basic;
    switch (type) {
        case NetworkType::FH:
            mbps = {1, 2};
            basic = {1};
            break;
        case NetworkType::DS:
            mbps = {1, 2, 5.5, 11};
            basic = {1, 2};
            break;
        case NetworkType::OFDM5:
            mbps = {6, 9, 12, 18, 24, 36, 48, 54};
            basic = {6, 12, 24};
            break;
        case NetworkType::OFDM24:
            mbps = {1, 2, 5.5, 11, 6, 9, 12, 18, 24, 36, 48, 54};
            basic = {1, 2, 5.5, 11};
            break;
    }
    std::vector<Rate> rates;
    for (double rate : mbps) {
        const bool isBasic = std::find(basic.begin(), basic.end(), rate) != basic.end();
        rates.push_back({static_cast<std::uint8_t>(rate * 2), isBasic});
    }
    return rates;
}

std::vector<double> ReadMbpsList(const JsonNode& node, const std::string& key) {
    std::vector<double> list;
    const JsonNode array = node.Child(key);
    array.RequireArray();
    for (std::size_t i = 0; i < array.Size(); ++i) {
        const json& v = array.Value().at(i);
        const JsonNode item = array.At(i);
        if (!v.is_number()) item.Fail("must be a rate in Mbit/s");
        const double rate = v.get<double>();
        const double units = rate * 2;
        if (!(units >= 1 && units <= 127) || units != std::floor(units)) {
            item.Fail("must be a multiple of 0.5 from 0.5 to 63.5 Mbit/s");
        }
        list.push_back(rate);
    }
    return list;
}

// "rates" and "basicRates" in Mbit/s; at most 16, as a scan entry holds 16.
std::vector<Rate> ReadRates(const JsonNode& node, NetworkType type) {
    if (!node.Has("rates")) {
        if (node.Has("basicRates")) node.FailAt("basicRates", "needs \"rates\" beside it");
        return DefaultRates(type);
    }
    const std::vector<double> mbps = ReadMbpsList(node, "rates");
    if (mbps.empty()) node.FailAt("rates", "must list at least one rate");
    if (mbps.size() > 16) node.FailAt("rates", "must list at most 16 rates");
    std::vector<double> basic;
    if (node.Has("basicRates")) {
        basic = ReadMbpsList(node, "basicRates");
        for (std::size_t i = 0; i < basic.size(); ++i) {
            if (std::find(mbps.begin(), mbps.end(), basic[i]) == mbps.end()) {
                node.Child("basicRates").At(i).Fail("must also be listed in \"rates\"");
            }
        }
    } else {
        basic.push_back(mbps.front());
    }
    std::vector<Rate> rates;
    for (double rate : mbps) {
        const bool isBasic = std::find(basic.begin(), basic.end(), rate) != basic.end();
        rates.push_back({static_cast<std::uint8_t>(rate * 2), isBasic});
    }
    return rates;
}

std::uint32_t ReadCipher(const JsonNode& node, const std::string& key, std::uint32_t fallback) {
    static constexpr std::uint32_t kFlags[] = {kCipherNone, kCipherWep40, kCipherWep104,
                                               kCipherTkip, kCipherCcmp};
    const std::size_t none = 99;
    const std::size_t index = node.Choice(key, {"NONE", "WEP-40", "WEP-104", "TKIP", "CCMP"}, none);
    return index == none ? fallback : kFlags[index];
}

std::uint32_t ReadFlagList(const JsonNode& node, const std::string& key,
                           std::initializer_list<const char*> names,
                           std::initializer_list<std::uint32_t> flags, std::uint32_t fallback) {
    if (!node.Has(key)) return fallback;
    const JsonNode array = node.Child(key);
    array.RequireArray();
    if (array.Size() == 0) array.Fail("must list at least one entry");
    std::uint32_t result = 0;
    for (std::size_t i = 0; i < array.Size(); ++i) {
        const JsonNode item = array.At(i);
        const json& v = item.Value();
        std::string list;
        for (const char* name : names) list += (list.empty() ? "" : ", ") + std::string(name);
        if (!v.is_string()) item.Fail("must be one of " + list);
        std::string text = v.get<std::string>();
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        bool found = false;
        auto flag = flags.begin();
        for (const char* name : names) {
            if (text == name) {
                result |= *flag;
                found = true;
            }
            ++flag;
        }
        if (!found) item.Fail("must be one of " + list);
    }
    return result;
}

// A WPA or RSN element: hex bytes of the whole element, or the parts to build it.
void ReadSecurityElement(const JsonNode& parent, const std::string& key, bool rsn,
                         SecurityElement& element) {
    if (!parent.Has(key)) return;
    const JsonNode node = parent.Child(key);
    element.present = true;
    if (node.Value().is_string()) {
        const auto bytes = parent.Hex(key);
        const std::vector<std::uint8_t>& raw = *bytes;
        const bool header = rsn ? raw.size() >= 4 && raw[0] == 48
                                : raw.size() >= 8 && raw[0] == 221 && raw[2] == 0x00 &&
                                      raw[3] == 0x50 && raw[4] == 0xF2 && raw[5] == 0x01;
        if (!header) {
            node.Fail(rsn ? "must be an RSN element (ID 48)"
                          : "must be a WPA element (ID 221, 00 50 F2 01)");
        }
        if (raw[1] != raw.size() - 2) node.Fail("element length byte does not match its size");
        element.raw = raw;
        if (!DecodeSecurityElement(raw, rsn, element)) node.Fail("malformed cipher suite lists");
        return;
    }
    node.RequireObject({"group", "pairwise", "keyManagement", "capabilities"});
    const std::uint32_t cipher = rsn ? kCipherCcmp : kCipherTkip;
    element.groupCipher = ReadCipher(node, "group", cipher);
    element.pairwiseCiphers = ReadFlagList(node, "pairwise", {"NONE", "TKIP", "CCMP"},
                                           {kCipherNone, kCipherTkip, kCipherCcmp}, cipher);
    element.keyManagement =
        ReadFlagList(node, "keyManagement", {"802.1X", "PSK"}, {kAkm8021X, kAkmPsk}, kAkmPsk);
    element.capabilities = static_cast<std::uint16_t>(node.Integer("capabilities", 0, 0, 65535));
}

void ReadSignal(const JsonNode& parent, SignalTimeline& signal) {
    signal.keyframes = {{0, -60}};
    if (!parent.Has("signal")) return;
    const JsonNode node = parent.Child("signal");
    node.RequireObject({"rssi", "keyframes", "drift", "visible", "repeat"});
    if (node.Has("rssi") && node.Has("keyframes")) {
        node.FailAt("keyframes", "give either \"rssi\" or \"keyframes\", not both");
    }
    signal.keyframes = {{0, node.Number("rssi", -60, -120, 0)}};
    if (node.Has("keyframes")) {
        const JsonNode frames = node.Child("keyframes");
        frames.RequireArray();
        if (frames.Size() == 0) frames.Fail("must list at least one keyframe");
        signal.keyframes.clear();
        for (std::size_t i = 0; i < frames.Size(); ++i) {
            const JsonNode frame = frames.At(i);
            frame.RequireObject({"t", "rssi"});
            if (!frame.Has("t")) frame.FailAt("t", "is required");
            if (!frame.Has("rssi")) frame.FailAt("rssi", "is required");
            SignalKeyframe key{frame.Number("t", 0, 0, 1e9), frame.Number("rssi", 0, -120, 0)};
            if (i > 0 && key.time <= signal.keyframes.back().time) {
                frame.FailAt("t", "must be later than the previous keyframe");
            }
            signal.keyframes.push_back(key);
        }
    }
    if (node.Has("drift")) {
        const JsonNode drift = node.Child("drift");
        drift.RequireObject({"amplitude", "period", "phase"});
        signal.driftAmplitude = drift.Number("amplitude", 3, 0, 40);
        signal.driftPeriod = drift.Number("period", 60, 0.1, 1e9);
        signal.driftPhase = drift.Number("phase", 0, 0, 1e9);
    }
    if (node.Has("visible")) {
        const JsonNode windows = node.Child("visible");
        windows.RequireArray();
        for (std::size_t i = 0; i < windows.Size(); ++i) {
            const JsonNode window = windows.At(i);
            window.RequireObject({"from", "to"});
            VisibleWindow visible;
            visible.from = window.Number("from", 0, 0, 1e9);
            if (window.Has("to")) {
                visible.to = window.Number("to", 0, 0, 1e9);
                if (*visible.to <= visible.from) window.FailAt("to", "must be later than \"from\"");
            }
            signal.visible.push_back(visible);
        }
    }
    signal.repeat = node.Number("repeat", 0, 0, 1e9);
    if (signal.repeat > 0 && signal.repeat < signal.keyframes.back().time) {
        node.FailAt("repeat", "must not be shorter than the last keyframe's time");
    }
}

void ReadDhcp(const JsonNode& parent, const std::string& key, DhcpConfig& dhcp) {
    if (!parent.Has(key)) {
        if (dhcp.server.empty()) dhcp.server = dhcp.gateway;
        return;
    }
    const JsonNode node = parent.Child(key);
    node.RequireObject({"enabled", "address", "mask", "gateway", "server", "dns", "wins",
                        "leaseSeconds", "delayMs", "fail"});
    dhcp.enabled = node.Bool("enabled", dhcp.enabled);
    dhcp.address = node.Ipv4("address").value_or(dhcp.address);
    dhcp.mask = node.Ipv4("mask").value_or(dhcp.mask);
    dhcp.gateway = node.Ipv4("gateway").value_or(dhcp.gateway);
    dhcp.server = node.Ipv4("server").value_or(dhcp.gateway);
    if (node.Has("dns")) dhcp.dns = node.Ipv4List("dns");
    if (node.Has("wins")) {
        const std::vector<std::string> wins = node.Ipv4List("wins");
        if (wins.size() > 2) node.FailAt("wins", "must list at most 2 servers");
        dhcp.primaryWins = wins.size() > 0 ? wins[0] : "";
        dhcp.secondaryWins = wins.size() > 1 ? wins[1] : "";
    }
    dhcp.leaseSeconds =
        static_cast<std::uint32_t>(node.Integer("leaseSeconds", dhcp.leaseSeconds, 60, 31536000));
    dhcp.delayMs = static_cast<std::uint32_t>(node.Integer("delayMs", dhcp.delayMs, 0, 600000));
    dhcp.fail = node.Bool("fail", dhcp.fail);
}

void ReadTraffic(const JsonNode& parent, TrafficConfig& traffic) {
    if (!parent.Has("traffic")) return;
    const JsonNode node = parent.Child("traffic");
    node.RequireObject({"framesPerSecond", "arpShare", "receiveErrorShare"});
    traffic.framesPerSecond = node.Number("framesPerSecond", 1, 0, 1000);
    traffic.arpShare = node.Number("arpShare", traffic.arpShare, 0, 1);
    traffic.receiveErrorShare = node.Number("receiveErrorShare", 0, 0, 1);
}

void ReadChannel(const JsonNode& node, AccessPoint& ap) {
    if (node.Has("channel")) {
        const std::int64_t channel = node.Integer("channel", 6, INT32_MIN, INT32_MAX);
        if (!((channel >= 1 && channel <= 14) || (channel >= 36 && channel <= 165))) {
            node.FailAt("channel", "must be 1-14 or 36-165");
        }
        ap.channel = static_cast<std::uint32_t>(channel);
    }
    if (node.Has("frequencyMHz")) {
        const auto mhz = static_cast<std::uint32_t>(node.Integer("frequencyMHz", 0, 0, 100000));
        std::uint32_t channel = 0;
        if (!MhzToChannel(mhz, channel)) {
            node.FailAt("frequencyMHz", "must be a 2.4 GHz or 5 GHz channel's frequency");
        }
        if (node.Has("channel") && channel != ap.channel) {
            node.FailAt("frequencyMHz", "does not match \"channel\"");
        }
        ap.channel = channel;
    }
    ap.frequencyKhz = ChannelToMhz(ap.channel) * 1000;
}

NetworkType ReadNetworkType(const JsonNode& node, std::size_t fallback) {
    return static_cast<NetworkType>(
        node.Choice("networkType", {"FH", "DS", "OFDM5", "OFDM24"}, fallback));
}

// "security" is a shorthand that presets privacy and the WPA/RSN elements.
void ApplySecurityShorthand(const JsonNode& node, AccessPoint& ap) {
    const std::size_t kind = node.Choice(
        "security", {"open", "wep", "wpa-psk", "wpa2-psk", "wpa-wpa2-psk", "wpa2-eap"}, 0);
    ap.privacy = kind != 0;
    if (kind == 2 || kind == 4) {
        ap.wpa.present = true;
        ap.wpa.groupCipher = kCipherTkip;
        ap.wpa.pairwiseCiphers = kCipherTkip;
        ap.wpa.keyManagement = kAkmPsk;
    }
    if (kind == 3 || kind == 4 || kind == 5) {
        ap.rsn.present = true;
        ap.rsn.groupCipher = kind == 4 ? kCipherTkip : kCipherCcmp;
        ap.rsn.pairwiseCiphers = kind == 4 ? (kCipherCcmp | kCipherTkip) : kCipherCcmp;
        ap.rsn.keyManagement = kind == 5 ? kAkm8021X : kAkmPsk;
    }
}

bool IsHexKey(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return std::isxdigit(c) != 0; });
}

void ReadPassphrase(const JsonNode& node, AccessPoint& ap) {
    ap.passphrase = node.String("passphrase", "");
    if (!ap.passphrase.empty() && (ap.passphrase.size() < 8 || ap.passphrase.size() > 63) &&
        !IsHexKey(ap.passphrase)) {
        node.FailAt("passphrase", "must be 8 to 63 characters, or 64 hex digits");
    }
}

// The group cipher the handshakes hand out: RSN's when the network has it.
std::uint32_t GroupCipherOf(const AccessPoint& ap) {
    return ap.rsn.present ? ap.rsn.groupCipher : ap.wpa.groupCipher;
}

void ReadAuthenticator(const JsonNode& parent, AccessPoint& ap) {
    if (!parent.Has("authenticator")) return;
    const JsonNode node = parent.Child("authenticator");
    node.RequireObject({"anonce", "gtk", "replayCounter", "groupRekeySeconds", "external"});
    AuthenticatorConfig& config = ap.authenticator;
    config.external = node.String("external", "");
    if (node.Has("external") && !config.external.starts_with('/')) {
        node.FailAt("external", "must be an absolute socket path");
    }
    if (!config.external.empty() && !ap.wpa.present && !ap.rsn.present) {
        node.FailAt("external", "needs a WPA or RSN network");
    }
    if (const auto anonce = node.Hex("anonce")) {
        if (anonce->size() != 32) node.FailAt("anonce", "must be 64 hex digits");
        config.anonce = *anonce;
    }
    if (const auto gtk = node.Hex("gtk")) {
        const std::size_t wanted = GroupCipherOf(ap) == kCipherCcmp ? 16 : 32;
        if (gtk->size() != wanted) {
            node.FailAt("gtk", wanted == 16 ? "must be 32 hex digits (a CCMP group key)"
                                            : "must be 64 hex digits (a TKIP group key)");
        }
        config.gtk = *gtk;
    }
    config.replayCounter =
        static_cast<std::uint64_t>(node.Integer("replayCounter", 1, 0, 1LL << 48));
    config.groupRekeySeconds =
        static_cast<std::uint32_t>(node.Integer("groupRekeySeconds", 0, 0, 86400 * 366));
}

AccessPoint ReadAccessPoint(const JsonNode& node) {
    node.RequireObject({"bssid",       "ssid",         "hiddenSsid", "channel", "frequencyMHz",
                        "networkType", "mode",         "security",   "privacy", "wpa",
                        "rsn",         "beaconPeriod", "atimWindow", "fh",      "rates",
                        "basicRates",  "passphrase",   "wepKeys",    "signal",  "dhcp",
                        "traffic",     "authenticator"});
    AccessPoint ap;
    const auto bssid = node.Mac("bssid");
    if (!bssid) node.FailAt("bssid", "is required");
    ap.bssid = *bssid;
    ap.ssid = node.String("ssid", "");
    if (ap.ssid.size() > 32) node.FailAt("ssid", "must be at most 32 bytes");
    ap.hiddenSsid = node.Bool("hiddenSsid", false);
    ReadChannel(node, ap);

    const bool fiveGhz = ap.channel >= 36;
    std::size_t defaultType = fiveGhz ? 2 : 3;
    if (!fiveGhz && node.Has("rates")) {
        const std::vector<double> mbps = ReadMbpsList(node, "rates");
        const bool ofdm = std::any_of(mbps.begin(), mbps.end(), [](double r) {
            return r != 1 && r != 2 && r != 5.5 && r != 11;
        });
        defaultType = ofdm ? 3 : 1;
    }
    ap.networkType = ReadNetworkType(node, defaultType);
    if ((ap.networkType == NetworkType::OFDM5) != fiveGhz) {
        node.FailAt("networkType",
                    fiveGhz ? "must be OFDM5 on a 5 GHz channel" : "OFDM5 needs a 5 GHz channel");
    }
    ap.rates = ReadRates(node, ap.networkType);
    ap.adHoc = node.Choice("mode", {"infrastructure", "adhoc"}, 0) == 1;

    ApplySecurityShorthand(node, ap);
    ReadSecurityElement(node, "wpa", false, ap.wpa);
    ReadSecurityElement(node, "rsn", true, ap.rsn);
    ReadPassphrase(node, ap);
    ReadAuthenticator(node, ap);
    if (node.Has("wepKeys")) {
        const JsonNode keys = node.Child("wepKeys");
        keys.RequireArray();
        if (keys.Size() > 4) keys.Fail("must list at most 4 keys");
        for (std::size_t i = 0; i < keys.Size(); ++i) {
            std::vector<std::uint8_t> key;
            const json& v = keys.Value().at(i);
            if (!v.is_string() || !ParseHex(v.get<std::string>(), key) ||
                (key.size() != 5 && key.size() != 13)) {
                keys.At(i).Fail("must be 10 or 26 hex digits (WEP-40 or WEP-104)");
            }
            ap.wepKeys.push_back(key);
        }
    }
    const bool secured = ap.privacy || ap.wpa.present || ap.rsn.present || !ap.wepKeys.empty();
    ap.privacy = node.Bool("privacy", secured);

    ap.beaconPeriod = static_cast<std::uint32_t>(node.Integer("beaconPeriod", 100, 1, 65535));
    ap.atimWindow = static_cast<std::uint32_t>(node.Integer("atimWindow", 0, 0, 65535));
    if (node.Has("fh")) {
        const JsonNode fh = node.Child("fh");
        fh.RequireObject({"hopPattern", "hopSet", "dwellTime"});
        ap.hopPattern = static_cast<std::uint32_t>(fh.Integer("hopPattern", 0, 0, 255));
        ap.hopSet = static_cast<std::uint32_t>(fh.Integer("hopSet", 1, 0, 255));
        ap.dwellTime = static_cast<std::uint32_t>(fh.Integer("dwellTime", 0, 0, 65535));
    }
    ReadSignal(node, ap.signal);
    ReadDhcp(node, "dhcp", ap.dhcp);
    ReadTraffic(node, ap.traffic);
    return ap;
}

std::string ReadGuid(const JsonNode& node, std::size_t index) {
    char fallback[48];
    std::snprintf(fallback, sizeof fallback, "{5E1A0C3D-7B2F-4C11-9A8E-%012zX}", index + 1);
    std::string guid = node.String("guid", fallback);
    if (!guid.empty() && guid.front() != '{') guid = "{" + guid + "}";
    static constexpr std::size_t kGroups[] = {8, 4, 4, 4, 12};
    bool valid = guid.size() == 38 && guid.back() == '}';
    std::size_t pos = 1;
    for (std::size_t g = 0; valid && g < 5; ++g) {
        for (std::size_t i = 0; i < kGroups[g]; ++i, ++pos) {
            if (!std::isxdigit(static_cast<unsigned char>(guid[pos]))) valid = false;
        }
        if (g < 4 && valid && guid[pos++] != '-') valid = false;
    }
    if (!valid) node.FailAt("guid", "must be a GUID like {4D36E972-E325-11CE-BFC1-08002BE10318}");
    std::transform(guid.begin(), guid.end(), guid.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return guid;
}

void ReadCapabilities(const JsonNode& parent, AdapterCapabilities& caps) {
    caps.rates = DefaultRates(NetworkType::OFDM24);
    caps.networkTypes = {NetworkType::DS, NetworkType::OFDM24};
    if (!parent.Has("capabilities")) return;
    const JsonNode node = parent.Child("capabilities");
    node.RequireObject({"wpa", "wpa2", "bestEncryption", "rates", "basicRates", "networkTypes",
                        "txPowerMw", "linkSpeedMbps"});
    caps.wpa = node.Bool("wpa", true);
    const std::size_t best = node.Choice("bestEncryption", {"AES", "TKIP", "WEP", "none"}, 0);
    static constexpr BestEncryption kBest[] = {BestEncryption::AES, BestEncryption::TKIP,
                                               BestEncryption::WEP, BestEncryption::None};
    caps.bestEncryption = kBest[best];
    caps.wpa2 = node.Bool("wpa2", caps.wpa && caps.bestEncryption == BestEncryption::AES);
    if (caps.wpa2 && !caps.wpa) node.FailAt("wpa2", "needs \"wpa\" true");
    if (node.Has("rates")) caps.rates = ReadRates(node, NetworkType::OFDM24);
    if (node.Has("networkTypes")) {
        const JsonNode types = node.Child("networkTypes");
        types.RequireArray();
        caps.networkTypes.clear();
        static constexpr const char* kNames[] = {"FH", "DS", "OFDM5", "OFDM24"};
        for (std::size_t i = 0; i < types.Size(); ++i) {
            const JsonNode item = types.At(i);
            const json& v = item.Value();
            std::size_t type = 0;
            while (type < 4 && !(v.is_string() && v.get<std::string>() == kNames[type])) ++type;
            if (type == 4) item.Fail("must be one of FH, DS, OFDM5, OFDM24");
            caps.networkTypes.push_back(static_cast<NetworkType>(type));
        }
    }
    caps.txPowerMw = static_cast<std::uint32_t>(node.Integer("txPowerMw", 30, 0, 10000));
    caps.linkSpeedMbps = static_cast<std::uint32_t>(node.Integer("linkSpeedMbps", 54, 0, 100000));
}

// "replies": {"OID_NAME" or "0x0D010118": [values] or value}; each value a
// 4-byte reply, negative ones as their two's complement.
void ReadReplies(const JsonNode& parent, Adapter& adapter) {
    if (!parent.Has("replies")) return;
    const JsonNode replies = parent.Child("replies");
    if (!replies.Value().is_object()) replies.Fail("must be an object");
    for (const auto& [name, value] : replies.Value().items()) {
        const auto oid = ndis::ParseOidText(name);
        if (!oid) replies.FailAt(name, "must name an OID");
        const JsonNode list(value, replies.PathOf(name));
        const bool single = !value.is_array();
        const std::size_t count = single ? 1 : list.Size();
        if (count == 0 || count > 64) list.Fail("must hold 1 to 64 replies");
        std::vector<std::uint32_t>& out = adapter.replies[*oid];
        for (std::size_t i = 0; i < count; ++i) {
            const json& item = single ? value : value[i];
            const bool fits = item.is_number_unsigned() ? item.get<std::uint64_t>() <= UINT32_MAX
                                                        : item.is_number_integer() &&
                                                              item.get<std::int64_t>() >= INT32_MIN;
            if (!fits) list.Fail("replies must be integers from -2147483648 to 4294967295");
            out.push_back(static_cast<std::uint32_t>(item.get<std::int64_t>()));
        }
    }
}

Adapter ReadAdapter(const JsonNode& node, std::size_t index) {
    node.RequireObject({"guid", "permanentMac", "currentMac", "vendorDescription", "type",
                        "capabilities", "association", "registry", "staticIp", "dhcp", "options",
                        "counters", "replies"});
    Adapter adapter;
    adapter.guid = ReadGuid(node, index);
    adapter.deviceName = "\\DEVICE\\" + adapter.guid;
    adapter.wireless = node.Choice("type", {"wireless", "wired"}, 0) == 0;
    MacAddress fallbackMac{0x00, 0x0f, 0xb5, 0x5a, 0x00, static_cast<std::uint8_t>(index + 1)};
    adapter.permanentMac = node.Mac("permanentMac").value_or(fallbackMac);
    adapter.currentMac = node.Mac("currentMac").value_or(adapter.permanentMac);
    adapter.vendorDescription =
        node.String("vendorDescription", adapter.wireless ? "Simulated 802.11g Wireless LAN Card"
                                                          : "Simulated Fast Ethernet Adapter");
    if (adapter.vendorDescription.empty() || adapter.vendorDescription.size() > 2000) {
        node.FailAt("vendorDescription", "must be 1 to 2000 characters");
    }
    ReadCapabilities(node, adapter.capabilities);
    if (!adapter.wireless && !node.Has("capabilities")) adapter.capabilities.linkSpeedMbps = 100;

    adapter.registryServiceName = adapter.guid;
    adapter.registryDescription = adapter.vendorDescription;
    if (node.Has("registry")) {
        const JsonNode registry = node.Child("registry");
        registry.RequireObject({"serviceName", "description"});
        adapter.registryServiceName = registry.String("serviceName", adapter.guid);
        adapter.registryDescription = registry.String("description", adapter.vendorDescription);
    }
    if (node.Has("association")) {
        if (!adapter.wireless) node.FailAt("association", "only a wireless adapter associates");
        const JsonNode association = node.Child("association");
        association.RequireObject({"bssid"});
        const auto bssid = association.Mac("bssid");
        if (!bssid) association.FailAt("bssid", "is required");
        adapter.association = InitialAssociation{*bssid};
    }
    if (node.Has("staticIp")) {
        const JsonNode ip = node.Child("staticIp");
        ip.RequireObject({"address", "mask", "gateway", "dns"});
        StaticIpConfig config;
        const auto address = ip.Ipv4("address");
        if (!address) ip.FailAt("address", "is required");
        config.address = *address;
        config.mask = ip.Ipv4("mask").value_or(config.mask);
        config.gateway = ip.Ipv4("gateway").value_or("");
        config.dns = ip.Ipv4List("dns");
        adapter.staticIp = config;
    }
    if (node.Has("dhcp") && adapter.wireless) {
        node.FailAt("dhcp", "a wireless adapter gets DHCP from its access point");
    }
    adapter.wiredDhcp.address = "10.0.0.23";
    adapter.wiredDhcp.gateway = "10.0.0.1";
    adapter.wiredDhcp.dns = {"10.0.0.1"};
    adapter.wiredDhcp.delayMs = 0;
    ReadDhcp(node, "dhcp", adapter.wiredDhcp);
    if (node.Has("options")) {
        const JsonNode options = node.Child("options");
        options.RequireObject({"associationDelayMs", "autoRescanSeconds", "sensitivityDbm"});
        adapter.options.associationDelayMs =
            static_cast<std::uint32_t>(options.Integer("associationDelayMs", 800, 0, 60000));
        adapter.options.autoRescanSeconds =
            static_cast<std::uint32_t>(options.Integer("autoRescanSeconds", 0, 0, 86400));
        adapter.options.sensitivityDbm =
            static_cast<std::int32_t>(options.Integer("sensitivityDbm", -92, -120, -20));
    }
    if (node.Has("counters")) {
        const JsonNode counters = node.Child("counters");
        counters.RequireObject({"xmitOk", "rcvOk", "xmitError", "rcvError", "rcvNoBuffer"});
        auto read = [&](const char* key) {
            return static_cast<std::uint32_t>(counters.Integer(key, 0, 0, UINT32_MAX));
        };
        adapter.counters = {read("xmitOk"), read("rcvOk"), read("xmitError"), read("rcvError"),
                            read("rcvNoBuffer")};
    }
    ReadReplies(node, adapter);
    return adapter;
}

void ReadScenario(const json& document, Scenario& scenario) {
    const JsonNode root(document, "");
    root.RequireObject({"description", "adapters", "accessPoints", "competingService"});
    scenario = Scenario{};
    if (root.Has("competingService")) {
        const JsonNode service = root.Child("competingService");
        service.RequireObject({"running"});
        scenario.competingServiceRunning = service.Bool("running", true);
    }
    std::map<MacAddress, std::size_t> bssids;
    if (root.Has("accessPoints")) {
        const JsonNode aps = root.Child("accessPoints");
        aps.RequireArray();
        for (std::size_t i = 0; i < aps.Size(); ++i) {
            scenario.accessPoints.push_back(ReadAccessPoint(aps.At(i)));
            const auto [it, fresh] = bssids.emplace(scenario.accessPoints.back().bssid, i);
            if (!fresh) {
                aps.At(i).FailAt("bssid",
                                 "repeats accessPoints[" + std::to_string(it->second) + "].bssid");
            }
        }
    }
    if (root.Has("adapters")) {
        const JsonNode adapters = root.Child("adapters");
        adapters.RequireArray();
        std::set<std::string> guids;
        for (std::size_t i = 0; i < adapters.Size(); ++i) {
            const JsonNode node = adapters.At(i);
            scenario.adapters.push_back(ReadAdapter(node, i));
            const Adapter& adapter = scenario.adapters.back();
            if (!guids.insert(adapter.guid).second)
                node.FailAt("guid", "repeats another adapter's");
            if (adapter.association && !bssids.count(adapter.association->bssid)) {
                node.Child("association").FailAt("bssid", "no access point has this BSSID");
            }
        }
    }
}

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error) {
    json document;
    try {
        document = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        // A syntax error, or a number too large for any type (out_of_range);
        // nlohmann's text names the place.
        error = std::string("not valid JSON: ") + e.what();
        return false;
    }
    try {
        ReadScenario(document, scenario);
    } catch (const ScenarioError& e) {
        error = e.what();
        return false;
    } catch (const json::exception& e) {
        // Every field is type-checked before use; this is a safety net.
        error = std::string("unusable scenario: ") + e.what();
        return false;
    }
    return true;
}

bool LoadScenario(const std::string& path, Scenario& scenario, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open the scenario file";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!file.good() && !file.eof()) {
        error = path + ": cannot read the scenario file";
        return false;
    }
    if (!ParseScenario(text.str(), scenario, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace tarvik::driver::sim
