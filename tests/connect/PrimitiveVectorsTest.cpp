// The primitives against published vectors (RFC 2202, RFC 6070, RFC 3394,
// RFC 6229, IEEE 802.11 annex J), read from the shared reference data.
#include "connect/Crypto.h"
#include "tests/connect/WpaVectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tarvik {
namespace {

using test::Bytes;
using test::FromHex;
using test::FromText;
using test::Primitives;
using test::TextOrHex;
using test::ToHex;

std::string Hex(const nlohmann::json& entry, const char* field) {
    return entry.at(field).get<std::string>();
}

// The data split into three elements, one of them empty and null, so the
// vector forms must really hash the concatenation.
struct SplitVector {
    explicit SplitVector(const Bytes& data) {
        const std::size_t cut = data.size() / 3;
        addresses[0] = data.data();
        lengths[0] = cut;
        addresses[1] = nullptr;
        lengths[1] = 0;
        addresses[2] = data.data() + cut;
        lengths[2] = data.size() - cut;
    }
    const std::uint8_t* addresses[3];
    std::size_t lengths[3];
};

TEST(HmacVectors, Rfc2202Sha1) {
    const auto entries = Primitives("hmac_sha1");
    ASSERT_EQ(entries.size(), 7u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes key = TextOrHex(entry, "key");
        const Bytes data = TextOrHex(entry, "data");
        Bytes mac(kSha1Length);
        ASSERT_EQ(HmacSha1(key.data(), key.size(), data.data(), data.size(), mac.data()), 0);
        EXPECT_EQ(ToHex(mac), Hex(entry, "digest"));

        const SplitVector split(data);
        Bytes vectorMac(kSha1Length);
        ASSERT_EQ(HmacSha1Vector(key.data(), key.size(), 3, split.addresses, split.lengths,
                                 vectorMac.data()),
                  0);
        EXPECT_EQ(vectorMac, mac);
    }
}

TEST(HmacVectors, Rfc2202Md5) {
    const auto entries = Primitives("hmac_md5");
    ASSERT_EQ(entries.size(), 7u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes key = TextOrHex(entry, "key");
        const Bytes data = TextOrHex(entry, "data");
        Bytes mac(kMd5Length);
        ASSERT_EQ(HmacMd5(key.data(), key.size(), data.data(), data.size(), mac.data()), 0);
        EXPECT_EQ(ToHex(mac), Hex(entry, "digest"));

        const SplitVector split(data);
        Bytes vectorMac(kMd5Length);
        ASSERT_EQ(HmacMd5Vector(key.data(), key.size(), 3, split.addresses, split.lengths,
                                vectorMac.data()),
                  0);
        EXPECT_EQ(vectorMac, mac);
    }
}

// RFC 2104 built by hand from a digest function: H(K ^ opad || H(K ^ ipad || m)),
// a key longer than the 64-byte block being hashed first. Checks the plain
// digests against the published HMAC values.
template <typename DigestFn>
Bytes HandMadeHmac(DigestFn digest, std::size_t digestLength, Bytes key, const Bytes& data) {
    constexpr std::size_t kBlock = 64;
    if (key.size() > kBlock) {
        Bytes hashed(digestLength);
        const std::uint8_t* address = key.data();
        const std::size_t length = key.size();
        EXPECT_EQ(digest(1, &address, &length, hashed.data()), 0);
        key = hashed;
    }
    key.resize(kBlock, 0);
    Bytes ipad(kBlock), opad(kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) {
        ipad[i] = key[i] ^ 0x36;
        opad[i] = key[i] ^ 0x5c;
    }
    Bytes inner(digestLength), outer(digestLength);
    const std::uint8_t* innerParts[] = {ipad.data(), data.data()};
    const std::size_t innerLengths[] = {kBlock, data.size()};
    EXPECT_EQ(digest(2, innerParts, innerLengths, inner.data()), 0);
    const std::uint8_t* outerParts[] = {opad.data(), inner.data()};
    const std::size_t outerLengths[] = {kBlock, digestLength};
    EXPECT_EQ(digest(2, outerParts, outerLengths, outer.data()), 0);
    return outer;
}

TEST(DigestVectors, Sha1AndMd5RebuildRfc2202Hmacs) {
    for (const char* type : {"hmac_sha1", "hmac_md5"}) {
        const bool sha1 = std::strcmp(type, "hmac_sha1") == 0;
        const auto entries = Primitives(type);
        ASSERT_FALSE(entries.empty()) << type;
        for (const auto& entry : entries) {
            SCOPED_TRACE(Hex(entry, "name"));
            const Bytes mac = sha1 ? HandMadeHmac(Sha1Vector, kSha1Length, TextOrHex(entry, "key"),
                                                  TextOrHex(entry, "data"))
                                   : HandMadeHmac(Md5Vector, kMd5Length, TextOrHex(entry, "key"),
                                                  TextOrHex(entry, "data"));
            EXPECT_EQ(ToHex(mac), Hex(entry, "digest"));
        }
    }
}

// The RFC 6070 cases marked slow (2^24 iterations) run as a test of their own
// so that they overlap the rest of the suite.
void CheckRfc6070(bool slow) {
    const auto entries = Primitives("pbkdf2_hmac_sha1");
    ASSERT_EQ(entries.size(), 6u);
    std::size_t checked = 0;
    for (const auto& entry : entries) {
        if (entry.value("slow", false) != slow) {
            continue;
        }
        ++checked;
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes salt = TextOrHex(entry, "salt");
        const auto iterations = entry.at("iterations").get<unsigned>();
        Bytes dk(entry.at("dklen").get<std::size_t>());
        if (entry.contains("password")) {
            const std::string password = entry.at("password");
            ASSERT_EQ(Pbkdf2Sha1(password.c_str(), salt.data(), salt.size(), iterations, dk.data(),
                                 dk.size()),
                      0);
        } else {
            const Bytes password = FromHex(Hex(entry, "password_hex"));
            ASSERT_EQ(Pbkdf2Sha1Bytes(password.data(), password.size(), salt.data(), salt.size(),
                                      iterations, dk.data(), dk.size()),
                      0);
        }
        EXPECT_EQ(ToHex(dk), Hex(entry, "dk"));
    }
    EXPECT_GE(checked, 1u);
}

TEST(Pbkdf2Vectors, Rfc6070) {
    CheckRfc6070(false);
}

TEST(Pbkdf2Vectors, Rfc6070SixteenMillionIterations) {
    CheckRfc6070(true);
}

TEST(Pbkdf2Vectors, PassphraseToPsk) {
    const auto entries = Primitives("wpa_passphrase_to_psk");
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const std::string passphrase = entry.at("passphrase");
        const Bytes ssid = TextOrHex(entry, "ssid");
        Bytes psk(32);
        ASSERT_EQ(
            Pbkdf2Sha1(passphrase.c_str(), ssid.data(), ssid.size(), 4096, psk.data(), psk.size()),
            0);
        EXPECT_EQ(ToHex(psk), Hex(entry, "psk"));
    }
}

TEST(PrfVectors, Ieee80211) {
    const auto entries = Primitives("prf_sha1");
    ASSERT_EQ(entries.size(), 7u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes key = TextOrHex(entry, "key");
        const Bytes data = TextOrHex(entry, "data");
        const std::string prefix = entry.at("prefix");
        Bytes output(entry.at("bits").get<std::size_t>() / 8);
        ASSERT_EQ(Sha1Prf(key.data(), key.size(), prefix.c_str(), data.data(), data.size(),
                          output.data(), output.size()),
                  0);
        EXPECT_EQ(ToHex(output), Hex(entry, "output"));
    }
}

// PTK = PRF(PMK, "Pairwise key expansion", seed), as the handshake calls it.
Bytes DerivePtk(const nlohmann::json& entry, std::size_t length) {
    const Bytes pmk = FromHex(Hex(entry, "pmk"));
    const Bytes data = test::PairwiseExpansionData(entry);
    Bytes ptk(length);
    EXPECT_EQ(Sha1Prf(pmk.data(), pmk.size(), "Pairwise key expansion", data.data(), data.size(),
                      ptk.data(), ptk.size()),
              0);
    return ptk;
}

TEST(PrfVectors, PtkDerivation) {
    const auto entries = Primitives("ptk_derivation");
    ASSERT_EQ(entries.size(), 5u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes ptk = DerivePtk(entry, entry.at("ptk_bits").get<std::size_t>() / 8);
        if (entry.contains("ptk")) {
            EXPECT_EQ(ToHex(ptk), Hex(entry, "ptk"));
        } else {
            EXPECT_EQ(ToHex(Bytes(ptk.begin(), ptk.begin() + 16)), Hex(entry, "kck"));
            EXPECT_EQ(ToHex(Bytes(ptk.begin() + 16, ptk.begin() + 32)), Hex(entry, "kek"));
            EXPECT_EQ(ToHex(Bytes(ptk.begin() + 32, ptk.end())), Hex(entry, "tk"));
        }
    }
}

TEST(HmacVectors, Pmkid) {
    const auto entries = Primitives("pmkid");
    ASSERT_EQ(entries.size(), 1u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const std::string passphrase = entry.at("passphrase");
        const Bytes ssid = TextOrHex(entry, "ssid");
        Bytes pmk(32);
        ASSERT_EQ(
            Pbkdf2Sha1(passphrase.c_str(), ssid.data(), ssid.size(), 4096, pmk.data(), pmk.size()),
            0);
        EXPECT_EQ(ToHex(pmk), Hex(entry, "pmk"));

        const Bytes label = FromText("PMK Name");
        const Bytes aa = FromHex(Hex(entry, "aa"));
        const Bytes spa = FromHex(Hex(entry, "spa"));
        const std::uint8_t* parts[] = {label.data(), aa.data(), spa.data()};
        const std::size_t lengths[] = {label.size(), aa.size(), spa.size()};
        Bytes mac(kSha1Length);
        ASSERT_EQ(HmacSha1Vector(pmk.data(), pmk.size(), 3, parts, lengths, mac.data()), 0);
        mac.resize(16);
        EXPECT_EQ(ToHex(mac), Hex(entry, "pmkid"));
    }
}

TEST(AesUnwrapVectors, Rfc3394With128BitKek) {
    std::size_t valid = 0, invalid = 0;
    for (const auto& entry : Primitives("aes_key_wrap")) {
        if (entry.at("kek_bits") != 128) {
            continue;  // the unwrap is AES-128 only
        }
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes kek = FromHex(Hex(entry, "kek"));
        const Bytes wrapped = FromHex(Hex(entry, "ciphertext"));
        const std::size_t n = wrapped.size() / 8 - 1;
        Bytes plain(8 * n);
        const int result = AesUnwrap(kek.data(), n, wrapped.data(), plain.data());
        if (entry.value("valid", true)) {
            ++valid;
            ASSERT_EQ(result, 0);
            EXPECT_EQ(ToHex(plain), Hex(entry, "plaintext"));
        } else {
            ++invalid;
            EXPECT_EQ(result, -1);
        }
    }
    EXPECT_EQ(valid, 1u);
    EXPECT_EQ(invalid, 2u);
}

// The output may overlap the input, as when a caller unwraps a frame's key
// data where it lies; a failed check leaves partial results, not the input.
TEST(AesUnwrapVectors, InPlaceAndFailedOutput) {
    const auto entries = Primitives("aes_key_wrap");
    const auto rfc41 = std::find_if(entries.begin(), entries.end(), [](const auto& entry) {
        return entry.at("kek_bits") == 128 && entry.value("valid", true);
    });
    ASSERT_NE(rfc41, entries.end());
    const Bytes kek = FromHex(Hex(*rfc41, "kek"));
    const Bytes wrapped = FromHex(Hex(*rfc41, "ciphertext"));
    ASSERT_GE(wrapped.size(), 24u);
    const std::size_t n = wrapped.size() / 8 - 1;
    Bytes inPlace = wrapped;
    ASSERT_EQ(AesUnwrap(kek.data(), n, inPlace.data(), inPlace.data()), 0);
    EXPECT_EQ(ToHex(Bytes(inPlace.begin(), inPlace.begin() + 8 * n)), Hex(*rfc41, "plaintext"));

    Bytes damaged = wrapped;
    damaged.at(8) ^= 0x01;
    Bytes out(8 * n, 0x5a);
    EXPECT_EQ(AesUnwrap(kek.data(), n, damaged.data(), out.data()), -1);
    EXPECT_NE(out, Bytes(8 * n, 0x5a));
    EXPECT_NE(ToHex(out), Hex(*rfc41, "plaintext"));
}

TEST(Rc4Vectors, Rfc6229KeystreamAtOffsets) {
    const auto entries = Primitives("rc4_keystream");
    ASSERT_EQ(entries.size(), 14u);
    for (const auto& entry : entries) {
        SCOPED_TRACE(Hex(entry, "name"));
        const Bytes key = FromHex(Hex(entry, "key"));
        ASSERT_FALSE(entry.at("keystream").empty());
        for (const auto& [offset, expected] : entry.at("keystream").items()) {
            // Encrypting zeros yields the keystream itself.
            Bytes stream(16, 0);
            ASSERT_EQ(
                Rc4Skip(key.data(), key.size(), std::stoul(offset), stream.data(), stream.size()),
                0);
            EXPECT_EQ(ToHex(stream), expected.get<std::string>()) << "offset " << offset;
        }
    }
}

}  // namespace
}  // namespace tarvik
