#include "ndis/Elements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/HexBytes.h"

namespace tarvik::ndis {
namespace {

using tarvik::testing_support::Bytes;
using tarvik::testing_support::Hex;

// Security elements as real access points send them (the first beacon of the
// reference captures wpa-psk-linksys.cap, wpa2-psk-linksys.cap and MOM1.cap).
TEST(ElementsTest, SecurityElementsMatchRealBeacons) {
    EXPECT_EQ(BuildWpaElement({CipherSuite::Tkip, {CipherSuite::Tkip}, {AkmSuite::Psk}, {}}),
              Hex("dd160050f20101000050f20201000050f20201000050f202"));
    EXPECT_EQ(BuildRsnElement({CipherSuite::Ccmp, {CipherSuite::Ccmp}, {AkmSuite::Psk}, 0}),
              Hex("30140100000fac040100000fac040100000fac020000"));
    // Mixed mode: TKIP group, CCMP then TKIP pairwise, in both elements.
    const SecurityElementSuites mixed{
        CipherSuite::Tkip, {CipherSuite::Ccmp, CipherSuite::Tkip}, {AkmSuite::Psk}, 0};
    EXPECT_EQ(BuildWpaElement(mixed),
              Hex("dd1c0050f20101000050f20202000050f2040050f20201000050f2020000"));
    EXPECT_EQ(BuildRsnElement(mixed), Hex("30180100000fac020200000fac04000fac020100000fac020000"));
}

TEST(ElementsTest, SecurityElementEndsAfterTheLastFieldGivenAndFitsOneElement) {
    EXPECT_EQ(BuildRsnElement({CipherSuite::Wep104, {}, {}, {}}), Hex("30060100000fac05"));
    EXPECT_EQ(BuildWpaElement({CipherSuite::Wep40, {}, {AkmSuite::Ieee8021X}, {}}),
              Hex("dd12 0050f201 0100 0050f201 0000 0100 0050f201"));
    EXPECT_EQ(BuildRsnElement({CipherSuite::Ccmp, {CipherSuite::None}, {}, {}}),
              Hex("300c0100000fac040100000fac00"));
    // An unknown suite type passes through as given.
    EXPECT_EQ(BuildRsnElement({CipherSuite{3}, {}, {}, {}}), Hex("30060100000fac03"));
    SecurityElementSuites suites{CipherSuite::Ccmp, {}, {AkmSuite::Psk}, 0};
    suites.pairwise.assign(60, CipherSuite::Ccmp);  // body 16 + 4 per suite = 256
    EXPECT_FALSE(BuildRsnElement(suites));
    suites.pairwise.resize(59);
    EXPECT_EQ(BuildRsnElement(suites)->size(), 2u + 252);
}

TEST(ElementsTest, BasicElementsAndRates) {
    EXPECT_EQ(BuildSsidElement("test"), Hex("000474657374"));
    EXPECT_EQ(BuildSsidElement(""), Hex("0000"));
    EXPECT_EQ(BuildSsidElement(std::string(32, 'a'))->size(), 34u);
    EXPECT_FALSE(BuildSsidElement(std::string(33, 'a')));
    EXPECT_EQ(BuildDsParameterSetElement(11), Hex("03010b"));
    EXPECT_EQ(BuildSupportedRatesElement(Hex("82848b960c121824")), Hex("0108 82848b960c121824"));
    EXPECT_FALSE(BuildSupportedRatesElement(Hex("82848b960c12182430")));
    EXPECT_EQ(BuildExtendedRatesElement(Hex("30486c")), Hex("32033048 6c"));
    EXPECT_FALSE(BuildElement(221, Bytes(256, 0)));
    EXPECT_EQ(BuildElement(221, Bytes(255, 0))->size(), 257u);
    // Rates beyond eight go to the extended rates element.
    EXPECT_EQ(BuildRateElements(Hex("82848b960c1218243048606c")),
              Hex("010882848b960c121824 32043048606c"));
    EXPECT_EQ(BuildRateElements(Hex("82848b96")), Hex("010482848b96"));
    EXPECT_EQ(BuildRateElements({}), Hex("0100"));
}

}  // namespace
}  // namespace tarvik::ndis
