// The recorded handshakes replayed against the supplicant: with the
// recording's SNonce as the random source, the authenticator's frames give
// the station's answers byte for byte, MIC included, and the keys handed to
// the adapter are the recording's TK and GTK. Where the recorded station
// chose differently in a field the standard leaves open, that field is taken
// from our answer and its MIC is checked against the recording's KCK.
#include <gtest/gtest.h>

#include "connect/PmkDerivation.h"
#include "ndis/ByteOrder.h"
#include "tests/connect/SupplicantRig.h"

namespace tarvik {
namespace {

using namespace testing_support;

// Fields in which a recorded station differs from ours.
enum Differs : unsigned {
    kSame = 0,
    kEapolVersion = 1,  // version byte 2 where we send 1
    kKeyLength = 2,     // key length other than 0 (RSN) or the received one (WPA)
    kKeyInfo = 4,       // Secure in 2/4, or no key index in group 2/2
    kNonce = 8,         // the SNonce repeated in 4/4
};

std::string HexText(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t b : bytes)
        text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    return text;
}

struct Recording {
    const char* name;
    const char* handshake;
    unsigned differs;
};

void PrintTo(const Recording& row, std::ostream* os) {
    *os << row.name;
}

class HandshakeReplay : public testing::TestWithParam<Recording> {};

void ExpectAnswer(const SupplicantRig& rig, const Bytes& ours, Bytes expected, unsigned differs) {
    const struct {
        unsigned flag;
        std::size_t offset, length;
    } fields[] = {{kEapolVersion, 0, 1},
                  {kKeyLength, eapol_layout::kKeyLength, 2},
                  {kKeyInfo, eapol_layout::kKeyInformation, 2},
                  {kNonce, eapol_layout::kKeyNonce, kEapolKeyNonceLength},
                  {~0u, eapol_layout::kKeyMic, kEapolKeyMicLength}};
    for (const auto& field : fields) {
        if (differs & field.flag)
            std::copy_n(&ours[field.offset], field.length, &expected[field.offset]);
    }
    if (differs != kSame) {
        const auto view = EapolKeyView::Parse(ours);
        ASSERT_TRUE(view);
        EXPECT_TRUE(EapolMicMatches(view->DescriptorVersion(),
                                    std::span<const std::uint8_t, 16>(rig.kck.data(), 16), *view));
    }
    EXPECT_EQ(HexText(ours), HexText(expected));
}

std::uint64_t RscOf(const Bytes& frame) {
    return ndis::LoadLe64(&frame[eapol_layout::kKeyRsc]) & 0xFFFFFFFFFFFF;  // six bytes
}

void ExpectGroupKey(const ndis::Key80211& key, const Json& entry, const char* gtk,
                    const char* index, const Bytes& frame) {
    EXPECT_EQ(key.keyMaterial, Field(entry, gtk));
    EXPECT_EQ(key.keyIndex, ndis::kKeyIndexRscValid | entry.at(index).get<std::uint32_t>());
    EXPECT_EQ(key.bssid, Mac(entry, "aa"));
    EXPECT_EQ(key.keyRsc, RscOf(frame));
}

TEST_P(HandshakeReplay, AnswersAsRecordedAndInstallsTheRecordedKeys) {
    const Recording& row = GetParam();
    SupplicantRig rig(row.handshake);
    const Json& entry = rig.entry;
    const Json& frames = entry.at("frames");
    const bool rsn = entry.at("descriptor_type") == EAPOL_KEY_TYPE_RSN;

    // The PMK from the profile's passphrase, through the per-process cache.
    const std::string ssid = entry.at("ssid");
    std::array<std::uint8_t, kPmkLength> pmk{};
    ASSERT_EQ(
        DerivePmk(entry.at("passphrase").get<std::string>(),
                  std::span(reinterpret_cast<const std::uint8_t*>(ssid.data()), ssid.size()), pmk),
        0);
    EXPECT_EQ(Bytes(pmk.begin(), pmk.end()), Field(entry, "pmk"));

    // Trailing bytes (an FCS, padding) are not part of the frame.
    auto feed = [&rig](Bytes frame) {
        frame.insert(frame.end(), {0xDE, 0xAD, 0xBE, 0xEF});
        return rig.Feed(frame);
    };
    ASSERT_EQ(feed(Message(entry, "msg1")), 0);
    ASSERT_EQ(rig.sent.size(), 1u);
    ExpectAnswer(rig, rig.sent[0], Message(entry, "msg2"), row.differs);
    if (!frames.contains("msg3")) return;

    const Bytes msg3 = Message(entry, "msg3");
    ASSERT_EQ(feed(msg3), 0);
    ASSERT_EQ(rig.sent.size(), 2u);
    ExpectAnswer(rig, rig.sent[1], Message(entry, "msg4"), row.differs);
    ASSERT_GE(rig.keys.size(), 1u);
    const ndis::Key80211& ptk = rig.keys[0];
    EXPECT_EQ(ptk.keyMaterial, Field(entry, "tk"));
    EXPECT_EQ(ptk.keyIndex,
              ndis::kKeyIndexTransmit | ndis::kKeyIndexPairwise | ndis::kKeyIndexRscValid);
    EXPECT_EQ(ptk.bssid, rig.aa);
    EXPECT_EQ(ptk.keyRsc, rsn ? 0 : RscOf(msg3));

    std::size_t groupKeys = 0;
    if (entry.at("gtk_source") == "msg3") {
        ASSERT_EQ(rig.keys.size(), 2u);
        ExpectGroupKey(rig.keys[1], entry, "gtk", "gtk_index", msg3);
        groupKeys = 1;
    }
    if (frames.contains("group1")) {
        const Bytes group1 = Message(entry, "group1");
        ASSERT_EQ(feed(group1), 0);
        ASSERT_EQ(rig.sent.size(), 3u);
        ExpectAnswer(rig, rig.sent[2], Message(entry, "group2"), row.differs);
        ASSERT_EQ(rig.keys.size(), 2 + groupKeys);
        const bool rekey = entry.contains("group1_gtk");
        ExpectGroupKey(rig.keys.back(), entry, rekey ? "group1_gtk" : "gtk",
                       rekey ? "group1_gtk_index" : "gtk_index", group1);
    }
    ASSERT_FALSE(rig.states.empty());
    EXPECT_EQ(rig.states.back(), 11);
}

const Recording kRecordings[] = {
    {"IwdRsnCcmp", "iwd-rsn-ccmp-4way", kSame},
    {"IwdRsnCcmpGroupRekey", "iwd-rsn-ccmp-4way-and-group", kEapolVersion},
    {"IwdWpaTkipGroup", "iwd-wpa-tkip-4way-and-group", kEapolVersion | kKeyLength},
    {"IwdWpaTkipGroup2", "iwd-wpa-tkip-4way-and-group-2", kKeyLength},
    {"IwdRsnTkipRc4KeyData", "iwd-rsn-tkip-keyver1-igtk", kSame},
    {"LinksysWpa", "aircrack-wpa-psk-linksys", kKeyLength | kKeyInfo},
    {"WpaCap", "aircrack-wpa-cap", kNonce},
    {"LinksysWpa2First", "aircrack-wpa2-psk-linksys-1", kSame},
    {"LinksysWpa2SecureMsg2", "aircrack-wpa2-psk-linksys-2", kKeyInfo},
    {"LinksysWpa2Third", "aircrack-wpa2-psk-linksys-3", kSame},
    {"Harkonen", "aircrack-wpa2-eapol-harkonen", kKeyLength},
    {"Wds", "aircrack-capture-wds-test1", kSame},
    {"Dlink", "aircrack-zn2i-dlink", kNonce},
    {"Mom1PmkidInMessage1", "aircrack-mom1-msg1-msg2", kSame},
};

INSTANTIATE_TEST_SUITE_P(Captures, HandshakeReplay, testing::ValuesIn(kRecordings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik
