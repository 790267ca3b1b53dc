// Frames the supplicant must not act on, each built from a recorded
// handshake: malformed, unsigned or wrongly signed. (Bad MICs, Ack and
// Request bits, cut key data and replays are played end to end over the air
// in WpaAdversaryTest.) A row
// feeds its frames and states how many answers and keys there are in the
// end, what the last frame gave, and a line the debug output must hold.
#include <gtest/gtest.h>

#include <functional>

#include "tests/connect/SupplicantRig.h"

namespace tarvik {
namespace {

using namespace testing_support;

constexpr const char* kWpa = "aircrack-wpa-cap";             // WPA, TKIP, MD5/RC4
constexpr const char* kRsn = "iwd-rsn-ccmp-4way-and-group";  // RSN, CCMP, SHA1/AES
constexpr const char* kOtherANonce = "aircrack-testm1m2m3-anonce-mismatch";

Bytes Set(Bytes frame, std::size_t offset, std::uint8_t value) {
    frame.at(offset) = value;
    return frame;
}

Bytes WithInfo(Bytes frame, std::uint16_t clear, std::uint16_t set) {
    std::uint16_t info = static_cast<std::uint16_t>(frame[5] << 8 | frame[6]);
    info = static_cast<std::uint16_t>((info & ~clear) | set);
    frame[5] = static_cast<std::uint8_t>(info >> 8);
    frame[6] = static_cast<std::uint8_t>(info);
    return frame;
}

// The same frame carrying `keyData` in the clear.
Bytes WithPlainKeyData(Bytes frame, const Bytes& keyData) {
    frame.resize(eapol_layout::kKeyData);
    frame.insert(frame.end(), keyData.begin(), keyData.end());
    const std::size_t body = frame.size() - kEapolHeaderLength;
    frame[2] = static_cast<std::uint8_t>(body >> 8), frame[3] = static_cast<std::uint8_t>(body);
    frame[97] = static_cast<std::uint8_t>(keyData.size() >> 8);
    frame[98] = static_cast<std::uint8_t>(keyData.size());
    return WithInfo(frame, KEY_INFO_ENCRYPTED_DATA, 0);
}

// Feeds the frames in order and gives what the last one returned.
using Steps = std::function<int(SupplicantRig&)>;

struct Rejection {
    const char* name;
    const char* handshake;
    Steps steps;
    int last;  // 0 answered, -1 dropped
    std::size_t sent;
    std::size_t keys;
    const char* logged;
};

void PrintTo(const Rejection& row, std::ostream* os) {
    *os << row.name;
}

int Through3(SupplicantRig& rig) {
    rig.Feed(Message(rig.entry, "msg1"));
    return rig.Feed(Message(rig.entry, "msg3"));
}

// Message 1 answered, then `edit` applied to message 3.
Steps Message3(std::function<Bytes(SupplicantRig&, Bytes)> edit) {
    return [edit](SupplicantRig& rig) {
        rig.Feed(Message(rig.entry, "msg1"));
        return rig.Feed(edit(rig, Message(rig.entry, "msg3")));
    };
}

Steps Message1(std::function<Bytes(Bytes)> edit) {
    return [edit](SupplicantRig& rig) { return rig.Feed(edit(Message(rig.entry, "msg1"))); };
}

Bytes Resigned(SupplicantRig& rig, Bytes frame) {
    return Resign(frame, rig.kck, CounterOf(frame));
}

const Rejection kRejections[] = {
    {"ShortFrame", kRsn, Message1([](Bytes f) { return Bytes(f.begin(), f.begin() + 98); }), -1, 0,
     0, "too short to be a WPA EAPOL-Key (len 98, expecting at least 99)"},
    {"NotAKeyFrame", kRsn, Message1([](Bytes f) { return Set(f, 1, 0); }), -1, 0, 0,
     "EAPOL frame (type 0) discarded"},
    {"UnknownDescriptor", kRsn, Message1([](Bytes f) { return Set(f, 4, 1); }), -1, 0, 0,
     "EAPOL-Key type (1) unknown"},
    {"DescriptorVersion3", kRsn, Message1([](Bytes f) { return WithInfo(f, 7, 3); }), -1, 0, 0,
     "Unsupported EAPOL-Key descriptor version 3."},
    {"PairwiseKeyIndex", kWpa, Message1([](Bytes f) { return WithInfo(f, 0, 0x10); }), -1, 0, 0,
     "Ignored EAPOL-Key (Pairwise) with non-zero key index"},
    {"KeyDataElementPastEnd", kWpa,
     Message3([](SupplicantRig& rig, Bytes f) { return Resigned(rig, Set(f, 100, f[100] + 1)); }),
     -1, 1, 0, "EAPOL-Key Key Data underflow (ie=221 len=23)"},
    {"BadMicWithPtk", kRsn,
     [](SupplicantRig& rig) {
         Through3(rig);
         Bytes group1 = Message(rig.entry, "group1");
         return rig.Feed(Set(group1, 81, group1[81] ^ 0x80));
     },
     -1, 2, 2, "Invalid EAPOL-Key MIC - dropping packet"},
    {"ANonceDiffers", kWpa,
     Message3([](SupplicantRig& rig, Bytes f) { return Resigned(rig, Set(f, 17, f[17] ^ 1)); }), -1,
     1, 0, "ANonce from message 1 of 4-Way Handshake differs from 3 of 4-Way Handshake"},
    {"RecordedMessage1OfOtherANonce", kOtherANonce,
     [](SupplicantRig& rig) {
         rig.Feed(Message(rig.entry, "msg1_other_anonce"));
         return rig.Feed(Message(rig.entry, "msg3"));
     },
     -1, 1, 0, "Could not verify EAPOL-Key MIC - dropping packet"},
    {"GtkInUnencryptedKeyData", kRsn, Message3([](SupplicantRig& rig, Bytes f) {
         return Resigned(rig, WithPlainKeyData(f, Field(rig.entry, "msg3_key_data_plain")));
     }),
     -1, 1, 0, "GTK IE in unencrypted key data"},
    {"CcmpKeyLength32", kRsn,
     Message3([](SupplicantRig& rig, Bytes f) { return Resigned(rig, Set(f, 8, 32)); }), -1, 1, 0,
     "Invalid CCMP key length 32"},
    {"GroupWithoutMic", kWpa,
     [](SupplicantRig& rig) {
         Through3(rig);
         return rig.Feed(WithInfo(Message(rig.entry, "group1"), KEY_INFO_MIC, 0));
     },
     -1, 2, 1, "EAPOL-Key (Group) without Mic bit - dropped"},
    {"NewANonceAfterMessage3", kWpa,
     [](SupplicantRig& rig) {
         const Bytes msg3 = Message(rig.entry, "msg3");
         Through3(rig);
         // A new handshake: answered with a new SNonce. The old message 3,
         // sent again, is signed with the PTK in use, not the pending one, and
         // carries the old ANonce.
         rig.nonces.push_back(Bytes(32, 0x5A));
         Bytes msg1 = Set(Message(rig.entry, "msg1"), 17, 0x42);
         msg1[eapol_layout::kReplayCounter + 7] = static_cast<std::uint8_t>(CounterOf(msg3) + 1);
         EXPECT_EQ(rig.Feed(msg1), 0);
         EXPECT_EQ(rig.sent.size(), 3u);
         EXPECT_EQ(Bytes(rig.sent.back().begin() + 17, rig.sent.back().begin() + 49),
                   Bytes(32, 0x5A));
         const int last = rig.Feed(Resign(msg3, rig.kck, CounterOf(msg3) + 2));
         EXPECT_TRUE(rig.Logged("Invalid EAPOL-Key MIC when using TPTK - ignoring TPTK"));
         return last;
     },
     -1, 3, 1, "ANonce from message 1 of 4-Way Handshake differs from 3 of 4-Way Handshake"},
};

class SupplicantRejection : public testing::TestWithParam<Rejection> {};

TEST_P(SupplicantRejection, DropsAndSaysWhy) {
    const Rejection& row = GetParam();
    SupplicantRig rig(row.handshake);
    EXPECT_EQ(row.steps(rig), row.last);
    EXPECT_EQ(rig.sent.size(), row.sent);
    EXPECT_EQ(rig.keys.size(), row.keys);
    EXPECT_TRUE(rig.Logged(row.logged)) << "no line holds: " << row.logged;
}

INSTANTIATE_TEST_SUITE_P(Frames, SupplicantRejection, testing::ValuesIn(kRejections),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik
