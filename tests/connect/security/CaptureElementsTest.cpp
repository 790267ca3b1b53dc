// WPA and RSN elements of real beacons and probe responses, taken from the
// reference captures, decoded with the system's decoder.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "connect/SecurityElement.h"
#include "ndis/ByteOrder.h"
#include "ndis/ElementWalker.h"
#include "tests/connect/security/SecurityTestSupport.h"
#include "tests/support/PcapReader.h"

namespace tarvik {
namespace {

using testing_support::Bytes;
using testing_support::DebugRecorder;

constexpr std::uint32_t kLinkIeee80211 = 105;
constexpr std::uint32_t kLinkPrism = 119;
constexpr std::uint32_t kLinkRadiotap = 127;
constexpr std::size_t kManagementHeader = 24;
constexpr std::size_t kFixedBody = 12;  // timestamp, beacon interval, capability
constexpr std::uint8_t kBeacon = 0x80;
constexpr std::uint8_t kProbeResponse = 0x50;

std::string CapturePath(const std::string& capture) {
    return std::string(TARVIK_TESTDATA_DIR) + "/wpa/captures/" + capture;
}

// The 802.11 frame inside one captured packet, or nothing.
std::optional<Bytes> Frame(std::uint32_t linkType, const Bytes& packet) {
    std::size_t skip = 0;
    std::size_t fcs = 0;
    if (linkType == kLinkPrism) {
        if (packet.size() < 8) return std::nullopt;
        skip = ndis::LoadLe32(packet.data() + 4);  // message length
        fcs = 4;                                   // these captures keep the FCS
    } else if (linkType == kLinkRadiotap) {
        if (packet.size() < 4) return std::nullopt;
        skip = ndis::LoadLe16(packet.data() + 2);
    } else if (linkType != kLinkIeee80211) {
        return std::nullopt;
    }
    if (packet.size() < skip + fcs) return std::nullopt;
    return Bytes(packet.begin() + skip, packet.end() - fcs);
}

// Every element with id 221 or 48 of the first beacon or probe response.
std::vector<Bytes> SecurityCandidates(const std::string& capture) {
    const auto file = ndis::testing_support::ReadPcap(CapturePath(capture));
    if (!file) return {};
    for (const Bytes& packet : file->packets) {
        const std::optional<Bytes> frame = Frame(file->linkType, packet);
        if (!frame || frame->size() < kManagementHeader + kFixedBody) continue;
        if ((*frame)[0] != kBeacon && (*frame)[0] != kProbeResponse) continue;
        std::vector<Bytes> candidates;
        const std::span<const std::uint8_t> elements(*frame);
        ndis::ElementWalker walker(elements.subspan(kManagementHeader + kFixedBody));
        while (const auto element = walker.Next()) {
            if (element->id == ELEMENT_ID_VENDOR || element->id == ELEMENT_ID_RSN) {
                candidates.emplace_back(element->whole.begin(), element->whole.end());
            }
        }
        return candidates;
    }
    return {};
}

struct CaptureRow {
    const char* capture;
    std::optional<SecurityElementInfo> wpa;
    std::optional<SecurityElementInfo> rsn;
    std::size_t otherVendorElements;  // WMM, WPS and the like: not decoded
};

void PrintTo(const CaptureRow& row, std::ostream* os) {
    *os << row.capture;
}

class CaptureElementsTest : public testing::TestWithParam<CaptureRow> {};

TEST_P(CaptureElementsTest, DecodesTheAdvertisedSecurity) {
    const CaptureRow& row = GetParam();
    const std::vector<Bytes> candidates = SecurityCandidates(row.capture);
    ASSERT_FALSE(candidates.empty()) << "no beacon in " << row.capture;

    DebugRecorder debug;
    std::optional<SecurityElementInfo> wpa, rsn;
    std::size_t undecoded = 0;
    for (const Bytes& element : candidates) {
        SecurityElementInfo info;
        if (ParseSecurityElement(element, info) != 0) {
            ++undecoded;
        } else if (element[0] == ELEMENT_ID_RSN) {
            rsn = info;
        } else {
            wpa = info;
        }
    }
    EXPECT_EQ(wpa, row.wpa);
    EXPECT_EQ(rsn, row.rsn);
    EXPECT_EQ(undecoded, row.otherVendorElements);
    // Well-formed real elements decode silently; other vendor elements are
    // skipped silently.
    EXPECT_EQ(debug.Text(), "");
}

constexpr std::uint32_t T = CIPHER_TKIP;
constexpr std::uint32_t C = CIPHER_CCMP;
constexpr SecurityElementInfo kWpaPskTkip{1, T, T, KEY_MGMT_PSK, 0, 0, PMKID_NONE};
constexpr SecurityElementInfo RsnPskCcmp(std::uint32_t capabilities) {
    return {2, C, C, KEY_MGMT_PSK, capabilities, 0, PMKID_NONE};
}

const CaptureRow kCaptures[] = {
    {"wpa-psk-linksys.cap", kWpaPskTkip, std::nullopt, 0},
    {"wpa.cap", kWpaPskTkip, std::nullopt, 2},  // Prism headers and FCS
    {"wpa2-psk-linksys.cap", std::nullopt, RsnPskCcmp(0), 0},
    {"wpa2.eapol.cap", std::nullopt, RsnPskCcmp(0x0001), 0},
    {"capture_wds-01.cap", std::nullopt, RsnPskCcmp(0x000c), 1},
    {"zn2i.pcap", std::nullopt, RsnPskCcmp(0x000c), 1},   // radiotap; WMM
    {"testm1m2m3.pcap", std::nullopt, RsnPskCcmp(0), 3},  // radiotap; WPS, WMM, vendor
    {"MOM1.cap", SecurityElementInfo{1, T | C, T, KEY_MGMT_PSK, 0, 0, PMKID_NONE},
     SecurityElementInfo{2, T | C, T, KEY_MGMT_PSK, 0, 0, PMKID_NONE}, 2},
};
INSTANTIATE_TEST_SUITE_P(Captures, CaptureElementsTest, testing::ValuesIn(kCaptures),
                         [](const auto& info) {
                             std::string name = info.param.capture;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace tarvik
