#include "ndis/Elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ndis/ElementWalker.h"
#include "tests/ndis/PcapReader.h"
#include "tests/support/HexBytes.h"

namespace tarvik::ndis {
namespace {

using tarvik::testing_support::Bytes;
using tarvik::testing_support::Hex;

std::string CapturePath(const std::string& capture) {
    return std::string(TARVIK_TESTDATA_DIR) + "/wpa/captures/" + capture;
}

Bytes BeaconElement(const std::string& capture, std::uint8_t id) {
    const auto file = testing_support::ReadPcap(CapturePath(capture));
    if (!file) return {};
    const auto elements = testing_support::FirstBeaconElements(*file);
    if (!elements) return {};
    const auto element = id == kElementVendorSpecific
                             ? FindVendorElement(*elements, kWpaOui, kWpaVendorType)
                             : FindElement(*elements, id);
    return element ? Bytes(element->whole.begin(), element->whole.end()) : Bytes{};
}

TEST(ElementsTest, WpaPskTkipMatchesARealBeacon) {
    const Bytes captured = BeaconElement("wpa-psk-linksys.cap", kElementVendorSpecific);
    ASSERT_EQ(captured, Hex("dd160050f20101000050f20201000050f20201000050f202"));
    SecurityElementSuites suites{CipherSuite::Tkip, {CipherSuite::Tkip}, {AkmSuite::Psk}, {}};
    EXPECT_EQ(BuildWpaElement(suites), captured);
}

TEST(ElementsTest, RsnPskCcmpMatchesARealBeacon) {
    const Bytes captured = BeaconElement("wpa2-psk-linksys.cap", kElementRsn);
    ASSERT_EQ(captured, Hex("30140100000fac040100000fac040100000fac020000"));
    SecurityElementSuites suites{CipherSuite::Ccmp, {CipherSuite::Ccmp}, {AkmSuite::Psk}, 0};
    EXPECT_EQ(BuildRsnElement(suites), captured);
}

TEST(ElementsTest, MixedModeElementsMatchARealBeacon) {
    // TKIP group, CCMP then TKIP pairwise, in both elements of one beacon.
    SecurityElementSuites suites{
        CipherSuite::Tkip, {CipherSuite::Ccmp, CipherSuite::Tkip}, {AkmSuite::Psk}, 0};
    EXPECT_EQ(BuildWpaElement(suites), BeaconElement("MOM1.cap", kElementVendorSpecific));
    EXPECT_EQ(BuildRsnElement(suites), BeaconElement("MOM1.cap", kElementRsn));
}

TEST(ElementsTest, SecurityElementEndsAfterTheLastFieldGiven) {
    EXPECT_EQ(BuildRsnElement({CipherSuite::Wep104, {}, {}, {}}), Hex("30060100000fac05"));
    EXPECT_EQ(BuildWpaElement({CipherSuite::Wep40, {}, {AkmSuite::Ieee8021X}, {}}),
              Hex("dd12 0050f201 0100 0050f201 0000 0100 0050f201"));
    EXPECT_EQ(BuildRsnElement({CipherSuite::Ccmp, {CipherSuite::None}, {}, {}}),
              Hex("300c0100000fac040100000fac00"));
    // An unknown suite type passes through as given.
    EXPECT_EQ(BuildRsnElement({CipherSuite{3}, {}, {}, {}}), Hex("30060100000fac03"));
}

TEST(ElementsTest, SecurityElementTooLongForOneElementIsRefused) {
    SecurityElementSuites suites{CipherSuite::Ccmp, {}, {AkmSuite::Psk}, 0};
    suites.pairwise.assign(61, CipherSuite::Ccmp);  // body 16 + 4 per suite = 260
    EXPECT_FALSE(BuildRsnElement(suites));
    suites.pairwise.resize(60);  // 256 - still one byte too long
    EXPECT_FALSE(BuildRsnElement(suites));
    suites.pairwise.resize(59);
    EXPECT_EQ(BuildRsnElement(suites)->size(), 2u + 252);
}

TEST(ElementsTest, BasicElements) {
    EXPECT_EQ(BuildSsidElement("test"), Hex("000474657374"));
    EXPECT_EQ(BuildSsidElement(""), Hex("0000"));
    EXPECT_EQ(BuildSsidElement(std::string(32, 'a'))->size(), 34u);
    EXPECT_FALSE(BuildSsidElement(std::string(33, 'a')));
    EXPECT_EQ(BuildDsParameterSetElement(11), Hex("03010b"));
    const Bytes eight = Hex("82848b960c121824");
    EXPECT_EQ(BuildSupportedRatesElement(eight), Hex("0108 82848b960c121824"));
    EXPECT_FALSE(BuildSupportedRatesElement(Hex("82848b960c12182430")));
    EXPECT_EQ(BuildExtendedRatesElement(Hex("30486c")), Hex("32033048 6c"));
    EXPECT_FALSE(BuildElement(221, Bytes(256, 0)));
    EXPECT_EQ(BuildElement(221, Bytes(255, 0))->size(), 257u);
}

TEST(ElementsTest, RatesBeyondEightGoToExtendedRates) {
    EXPECT_EQ(BuildRateElements(Hex("82848b960c1218243048606c")), Hex("010882848b960c121824"
                                                                      "32043048606c"));
    EXPECT_EQ(BuildRateElements(Hex("82848b96")), Hex("010482848b96"));
    EXPECT_EQ(BuildRateElements({}), Hex("0100"));
}

}  // namespace
}  // namespace tarvik::ndis
