// The NDIS_802_11_KEY descriptors the installer hands to the adapter.
#include <gtest/gtest.h>

#include "connect/KeyInstaller.h"
#include "connect/SupplicantCallbacks.h"
#include "ndis/Keys.h"
#include "tests/support/HexBytes.h"

namespace tarvik {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

struct Recorder : IAddKeyTarget {
    Result AddKey(std::span<const std::uint8_t> descriptor) override {
        keys.push_back(ndis::ParseKey(descriptor).value());
        return answer;
    }
    Result answer = 0;
    std::vector<ndis::Key80211> keys;
};

const ndis::MacAddress kBssid = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const ndis::MacAddress kPeer = {0x02, 0, 0, 0, 0, 1};

ndis::Key80211 Key(std::uint32_t index, const ndis::MacAddress& bssid, std::uint64_t rsc,
                   Bytes material) {
    return {index, bssid, rsc, std::move(material)};
}

TEST(KeyInstaller, BuildsTheAdapterDescriptor) {
    const Bytes tkip = Hex("000102030405060708090a0b0c0d0e0f 1011121314151617 18191a1b1c1d1e1f");
    const struct {
        const char* name;
        Result answer;  // the adapter's; a refusal is only logged
        int algorithm;
        ndis::MacAddress address;
        int index;
        bool transmit;
        Bytes sequence, key;
        ndis::Key80211 expected;
    } rows[] = {
        {"pairwise TKIP: MIC keys swapped, RSC little-endian", 0, KEY_ALG_TKIP, kPeer, 0, true,
         Hex("010203040506"), tkip,
         Key(0xE0000000, kPeer, 0x060504030201,
             Hex("000102030405060708090a0b0c0d0e0f 18191a1b1c1d1e1f 1011121314151617"))},
        {"group CCMP under the network's BSSID", 0, KEY_ALG_CCMP, kBroadcastAddress, 2, false,
         Hex("110000000000"), Bytes(16, 7), Key(0x20000002, kBssid, 0x11, Bytes(16, 7))},
        {"no sequence, no RSC bit; a short TKIP key as it is; refused", 87, KEY_ALG_TKIP,
         kBroadcastAddress, 1, false, Bytes(), Bytes(16, 9), Key(1, kBssid, 0, Bytes(16, 9))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Recorder recorder;
        recorder.answer = row.answer;
        CKeyInstaller installer(recorder, kBssid);
        EXPECT_EQ(installer.SetKey(row.algorithm, row.address, row.index, row.transmit,
                                   row.sequence, row.key),
                  0);
        ASSERT_EQ(recorder.keys.size(), 1u);
        EXPECT_EQ(recorder.keys[0], row.expected);
    }
}

}  // namespace
}  // namespace tarvik
