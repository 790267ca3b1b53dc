#include "ndis/Oids.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tarvik::ndis {
namespace {

TEST(OidsTest, NumbersAreThePublishedOnesAndTheTableMapsBothWays) {
    EXPECT_EQ(OID_802_11_BSSID_LIST, 0x0D010217u);
    EXPECT_EQ(OID_802_11_BSSID_LIST_SCAN, 0x0D01011Au);
    EXPECT_EQ(OID_802_11_ADD_KEY, 0x0D01011Du);
    EXPECT_EQ(OID_802_11_ENCRYPTION_STATUS, 0x0D01011Bu);
    EXPECT_EQ(OID_802_11_ASSOCIATION_INFORMATION, 0x0D01011Fu);
    EXPECT_EQ(OID_GEN_MEDIA_CONNECT_STATUS, 0x00010114u);
    EXPECT_EQ(OID_GEN_PHYSICAL_MEDIUM, 0x00010202u);
    EXPECT_EQ(OID_802_3_CURRENT_ADDRESS, 0x01010102u);
    std::set<std::string_view> names;
    for (const OidInfo& info : KnownOids()) {
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_EQ(OidFromName(info.name), info.number);
        EXPECT_EQ(OidFromName(OidName(info.number)), info.number) << info.name;
    }
    // The shared number reads back under its current name.
    EXPECT_EQ(OidName(OID_802_11_WEP_STATUS), "OID_802_11_ENCRYPTION_STATUS");
    EXPECT_EQ(OidName(0x12345678), "");
    EXPECT_FALSE(OidFromName("oid_802_11_ssid"));
}

TEST(OidsTest, ParsesNamesAndNumbers) {
    EXPECT_EQ(ParseOidText("OID_802_11_BSSID_LIST"), 0x0D010217u);
    EXPECT_EQ(ParseOidText("0x0D010217"), 0x0D010217u);
    EXPECT_EQ(ParseOidText("0X10114"), 0x00010114u);
    EXPECT_EQ(ParseOidText("65812"), 0x00010114u);
    for (const char* bad : {"", "0x", "0x1G", "12 ", "0x100000000"}) {
        EXPECT_FALSE(ParseOidText(bad)) << bad;
    }
}

}  // namespace
}  // namespace tarvik::ndis
