// The PMK from a profile's key: 64 hexadecimal digits are the PSK itself,
// 8 to 63 characters a passphrase (IEEE 802.11 J.4.2 values), anything else
// refused. Rows run in order, so a cache keyed on less than (SSID, key)
// hands a later row an earlier row's PMK.
#include <gtest/gtest.h>

#include <cstring>

#include "connect/Crypto.h"
#include "connect/PmkDerivation.h"
#include "tests/support/HexBytes.h"

namespace tarvik {
namespace {

using testing_support::Bytes;
using testing_support::Hex;

Bytes Passphrase(const char* key, const char* ssid) {
    Bytes psk(32);
    EXPECT_EQ(Pbkdf2Sha1(key, reinterpret_cast<const std::uint8_t*>(ssid), std::strlen(ssid), 4096,
                         psk.data(), psk.size()),
              0);
    return psk;
}

const std::string kHexPsk = "f42c6fc52df0ebef9ebb4b90b38a5f902e83fe1b135a70e23aed762e9710a12e";

TEST(PmkDerivation, HexIsThePskOtherKeysArePassphrases) {
    std::string upper = kHexPsk;
    for (char& c : upper) c = static_cast<char>(std::toupper(c));
    const struct {
        std::string key;
        const char* ssid;
        Bytes pmk;  // empty: refused
    } rows[] = {
        {"password", "IEEE", Hex(kHexPsk)},
        {"password", "ThisIsASSID", Passphrase("password", "ThisIsASSID")},
        {"ThisIsAPassword", "ThisIsASSID",
         Hex("0dc0d6eb90555ed6419756b9a15ec3e3209b63df707dd508d14581f8982721af")},
        {"password", "IEEE", Hex(kHexPsk)},
        {kHexPsk, "any", Hex(kHexPsk)},
        {upper, "other", Hex(kHexPsk)},
        {std::string(63, 'a'), "IEEE", Passphrase(std::string(63, 'a').c_str(), "IEEE")},
        {"1234567", "IEEE", {}},
        {std::string(64, 'g'), "IEEE", {}},
        {std::string(65, 'a'), "IEEE", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key + " / " + row.ssid);
        std::array<std::uint8_t, kPmkLength> pmk{};
        const int result = DerivePmk(
            row.key,
            std::span(reinterpret_cast<const std::uint8_t*>(row.ssid), std::strlen(row.ssid)), pmk);
        EXPECT_EQ(result, row.pmk.empty() ? -1 : 0);
        EXPECT_EQ(Bytes(pmk.begin(), pmk.end()), row.pmk.empty() ? Bytes(32, 0) : row.pmk);
    }
}

}  // namespace
}  // namespace tarvik
