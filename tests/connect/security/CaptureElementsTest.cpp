// WPA and RSN elements of real beacons and probe responses from the reference captures.
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

// The WPA and RSN candidates (ids 221 and 48) of the first beacon or probe
// response of a capture: raw 802.11, Prism headers with the FCS kept, or
// radiotap.
std::vector<Bytes> SecurityCandidates(const std::string& capture) {
    const auto file =
        ndis::testing_support::ReadPcap(TARVIK_TESTDATA_DIR "/wpa/captures/" + capture);
    if (!file) return {};
    for (const Bytes& packet : file->packets) {
        const bool prism = file->linkType == 119, radiotap = file->linkType == 127;
        if (!prism && !radiotap && file->linkType != 105) return {};
        if (packet.size() < 8) continue;
        const std::size_t skip = prism      ? ndis::LoadLe32(packet.data() + 4)
                                 : radiotap ? ndis::LoadLe16(packet.data() + 2)
                                            : 0;
        const std::size_t fcs = prism ? 4 : 0;
        constexpr std::size_t kElements = 24 + 12;  // management header, fixed beacon fields
        if (packet.size() < skip + fcs + kElements) continue;
        const std::span<const std::uint8_t> frame(packet.data() + skip, packet.size() - skip - fcs);
        if (frame[0] != 0x80 && frame[0] != 0x50) continue;  // beacon, probe response
        std::vector<Bytes> candidates;
        ndis::ElementWalker walker(frame.subspan(kElements));
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
    const char* name;
    const char* capture;
    std::optional<SecurityElementInfo> wpa;
    std::optional<SecurityElementInfo> rsn;
    std::size_t otherVendorElements;  // WMM, WPS and the like: not decoded
};

void PrintTo(const CaptureRow& row, std::ostream* os) {
    *os << row.name;
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
    {"LinksysWpa", "wpa-psk-linksys.cap", kWpaPskTkip, std::nullopt, 0},
    {"PrismWpa", "wpa.cap", kWpaPskTkip, std::nullopt, 2},  // with the FCS
    {"LinksysWpa2", "wpa2-psk-linksys.cap", std::nullopt, RsnPskCcmp(0), 0},
    {"EapolWpa2", "wpa2.eapol.cap", std::nullopt, RsnPskCcmp(0x0001), 0},
    {"Wds", "capture_wds-01.cap", std::nullopt, RsnPskCcmp(0x000c), 1},
    {"RadiotapWmm", "zn2i.pcap", std::nullopt, RsnPskCcmp(0x000c), 1},
    {"RadiotapWpsWmmVendor", "testm1m2m3.pcap", std::nullopt, RsnPskCcmp(0), 3},
    {"MixedWpaAndWpa2", "MOM1.cap",
     SecurityElementInfo{1, T | C, T, KEY_MGMT_PSK, 0, 0, PMKID_NONE},
     SecurityElementInfo{2, T | C, T, KEY_MGMT_PSK, 0, 0, PMKID_NONE}, 2},
};
INSTANTIATE_TEST_SUITE_P(Captures, CaptureElementsTest, testing::ValuesIn(kCaptures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik
