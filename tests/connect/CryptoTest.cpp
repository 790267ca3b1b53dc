// The primitives against published vectors (RFC 2202, RFC 6070, RFC 3394,
// RFC 6229, IEEE 802.11 annex J) and real WPA/WPA2-PSK handshakes from the
// shared reference data; then what the vectors do not pin down: truncated
// outputs, argument checks, random bytes.
#include "connect/Crypto.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>

#include "tests/support/HexBytes.h"

namespace tarvik {
namespace {

using testing_support::Bytes;
using testing_support::Hex;
using Json = nlohmann::json;

const Json& Vectors() {
    static const Json vectors = Json::parse(std::ifstream(TARVIK_TESTDATA_DIR "/wpa/vectors.json"));
    return vectors;
}

std::vector<Json> Primitives(const std::string& type) {
    std::vector<Json> out;
    for (const Json& entry : Vectors().at("primitives")) {
        if (entry.at("type") == type) out.push_back(entry);
    }
    return out;
}

Bytes HexField(const Json& entry, const std::string& field) {
    return Hex(entry.at(field).get<std::string>());
}

// A field stored as text under `field` or as hex under `field + "_hex"`.
Bytes TextOrHex(const Json& entry, const std::string& field) {
    if (!entry.contains(field)) return HexField(entry, field + "_hex");
    const std::string text = entry.at(field);
    return Bytes(text.begin(), text.end());
}

struct HmacKind {
    const char* type;
    decltype(&HmacSha1) plain;
    decltype(&HmacSha1Vector) vector;
    decltype(&Sha1Vector) digest;
    const char* digestOfAbc;  // FIPS 180 and RFC 1321 test suites
};

void PrintTo(const HmacKind& kind, std::ostream* os) {
    *os << kind.type;
}

class HmacVectors : public testing::TestWithParam<HmacKind> {};

// The data is also given in pieces, one of them empty and null: the vector
// forms work on the whole.
TEST_P(HmacVectors, Rfc2202AndTheDigest) {
    const HmacKind& kind = GetParam();
    const std::uint8_t a[] = {'a'}, bc[] = {'b', 'c'};
    const std::uint8_t* abcParts[] = {a, nullptr, bc};
    const std::size_t abcLengths[] = {1, 0, 2};
    Bytes digest(Hex(kind.digestOfAbc).size());
    ASSERT_EQ(kind.digest(3, abcParts, abcLengths, digest.data()), 0);
    EXPECT_EQ(digest, Hex(kind.digestOfAbc));

    const auto entries = Primitives(kind.type);
    ASSERT_EQ(entries.size(), 7u);
    for (const Json& entry : entries) {
        SCOPED_TRACE(entry.value("name", ""));
        const Bytes key = TextOrHex(entry, "key"), data = TextOrHex(entry, "data");
        const Bytes expected = HexField(entry, "digest");
        Bytes mac(expected.size());
        ASSERT_EQ(kind.plain(key.data(), key.size(), data.data(), data.size(), mac.data()), 0);
        EXPECT_EQ(mac, expected);
        const std::size_t cut = data.size() / 3;
        const std::uint8_t* parts[] = {data.data(), nullptr, data.data() + cut};
        const std::size_t lengths[] = {cut, 0, data.size() - cut};
        mac.assign(mac.size(), 0);
        ASSERT_EQ(kind.vector(key.data(), key.size(), 3, parts, lengths, mac.data()), 0);
        EXPECT_EQ(mac, expected);
    }
}

const HmacKind kHmacKinds[] = {
    {"hmac_sha1", HmacSha1, HmacSha1Vector, Sha1Vector, "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"hmac_md5", HmacMd5, HmacMd5Vector, Md5Vector, "900150983cd24fb0d6963f7d28e17f72"}};
INSTANTIATE_TEST_SUITE_P(Digests, HmacVectors, testing::ValuesIn(kHmacKinds),
                         [](const auto& info) { return std::string(info.param.type); });

// The case of 2^24 iterations is a row of its own so that it runs beside the
// rest of the suite.
class Pbkdf2Vectors : public testing::TestWithParam<bool> {};

TEST_P(Pbkdf2Vectors, Rfc6070) {
    std::size_t checked = 0;
    for (const Json& entry : Primitives("pbkdf2_hmac_sha1")) {
        if (entry.value("slow", false) != GetParam()) continue;
        ++checked;
        SCOPED_TRACE(entry.value("name", ""));
        const Bytes salt = TextOrHex(entry, "salt");
        const unsigned iterations = entry.at("iterations");
        Bytes dk(entry.at("dklen").get<std::size_t>());
        const Bytes password = TextOrHex(entry, "password");
        ASSERT_EQ(Pbkdf2Sha1Bytes(password.data(), password.size(), salt.data(), salt.size(),
                                  iterations, dk.data(), dk.size()),
                  0);
        EXPECT_EQ(dk, HexField(entry, "dk"));
    }
    EXPECT_EQ(checked, GetParam() ? 1u : 5u);
}

INSTANTIATE_TEST_SUITE_P(Iterations, Pbkdf2Vectors, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "SixteenMillion" : "UpTo4096");
});

// PSK = PBKDF2(passphrase, SSID, 4096, 32 bytes).
Bytes PassphraseToPsk(const Json& entry) {
    const std::string passphrase = entry.at("passphrase");
    const Bytes ssid = TextOrHex(entry, "ssid");
    Bytes psk(32);
    EXPECT_EQ(
        Pbkdf2Sha1(passphrase.c_str(), ssid.data(), ssid.size(), 4096, psk.data(), psk.size()), 0);
    return psk;
}

// PTK = PRF(PMK, "Pairwise key expansion", min(AA,SPA) || max(AA,SPA) ||
// min(ANonce,SNonce) || max(ANonce,SNonce)).
Bytes DerivePtk(const Json& entry, std::size_t length) {
    const Bytes pmk = HexField(entry, "pmk");
    const Bytes aa = HexField(entry, "aa"), spa = HexField(entry, "spa");
    const Bytes anonce = HexField(entry, "anonce"), snonce = HexField(entry, "snonce");
    Bytes data;
    for (const Bytes* part : {&std::min(aa, spa), &std::max(aa, spa), &std::min(anonce, snonce),
                              &std::max(anonce, snonce)}) {
        data.insert(data.end(), part->begin(), part->end());
    }
    Bytes ptk(length);
    EXPECT_EQ(Sha1Prf(pmk.data(), pmk.size(), "Pairwise key expansion", data.data(), data.size(),
                      ptk.data(), ptk.size()),
              0);
    return ptk;
}

TEST(KeyDerivationVectors, PrfPskAndTheHandshakesPmkAndPtk) {
    const auto prfs = Primitives("prf_sha1"), psks = Primitives("wpa_passphrase_to_psk");
    ASSERT_EQ(prfs.size() + psks.size() + Vectors().at("handshakes").size(), 7u + 3u + 15u);
    for (const Json& entry : prfs) {
        SCOPED_TRACE(entry.value("name", ""));
        const Bytes key = TextOrHex(entry, "key"), data = TextOrHex(entry, "data");
        const std::string prefix = entry.at("prefix");
        Bytes output(entry.at("bits").get<std::size_t>() / 8);
        ASSERT_EQ(Sha1Prf(key.data(), key.size(), prefix.c_str(), data.data(), data.size(),
                          output.data(), output.size()),
                  0);
        EXPECT_EQ(output, HexField(entry, "output"));
    }
    for (const Json& entry : psks) {
        SCOPED_TRACE(entry.value("name", ""));
        EXPECT_EQ(PassphraseToPsk(entry), HexField(entry, "psk"));
    }
    for (const Json& hs : Vectors().at("handshakes")) {
        SCOPED_TRACE(hs.value("name", ""));
        EXPECT_EQ(PassphraseToPsk(hs), HexField(hs, "pmk"));
        EXPECT_EQ(DerivePtk(hs, HexField(hs, "ptk").size()), HexField(hs, "ptk"));
    }
}

TEST(AesUnwrapVectors, Rfc3394With128BitKekInPlaceOrNot) {
    std::size_t valid = 0, invalid = 0;
    for (const Json& entry : Primitives("aes_key_wrap")) {
        if (entry.at("kek_bits") != 128) continue;  // the unwrap is AES-128 only
        SCOPED_TRACE(entry.value("name", ""));
        const Bytes kek = HexField(entry, "kek"), wrapped = HexField(entry, "ciphertext");
        const std::size_t n = wrapped.size() / 8 - 1;
        Bytes plain(8 * n, 0x5a), inPlace = wrapped;
        const int result = AesUnwrap(kek.data(), n, wrapped.data(), plain.data());
        EXPECT_EQ(AesUnwrap(kek.data(), n, inPlace.data(), inPlace.data()), result);
        inPlace.resize(8 * n);
        if (entry.value("valid", true)) {
            ++valid;
            ASSERT_EQ(result, 0);
            EXPECT_EQ(plain, HexField(entry, "plaintext"));
            EXPECT_EQ(inPlace, plain);
        } else {
            ++invalid;
            EXPECT_EQ(result, -1);
            EXPECT_NE(plain, Bytes(8 * n, 0x5a));  // partial results, not the input
        }
    }
    EXPECT_EQ(valid, 1u);
    EXPECT_EQ(invalid, 2u);
}

TEST(Rc4Vectors, Rfc6229KeystreamAtOffsets) {
    const auto entries = Primitives("rc4_keystream");
    ASSERT_EQ(entries.size(), 14u);
    for (const Json& entry : entries) {
        SCOPED_TRACE(entry.value("name", ""));
        const Bytes key = HexField(entry, "key");
        ASSERT_FALSE(entry.at("keystream").empty());
        for (const auto& [offset, expected] : entry.at("keystream").items()) {
            Bytes stream(16, 0);  // encrypting zeros yields the keystream
            ASSERT_EQ(
                Rc4Skip(key.data(), key.size(), std::stoul(offset), stream.data(), stream.size()),
                0);
            EXPECT_EQ(stream, Hex(expected.get<std::string>())) << "offset " << offset;
        }
    }
}

// Every RSN msg3 of the handshakes is an AES-128 unwrap with a known KEK and
// plaintext; WPA group messages are RC4 keyed with
// key IV || KEK, 256 bytes discarded. Offsets are from the EAPOL version byte.
TEST(HandshakeVectors, KeyDataDecryption) {
    constexpr std::size_t kKeyInfo = 5, kKeyIv = 49, kKeyDataLength = 97, kKeyData = 99;
    std::size_t unwrapped = 0, rc4 = 0;
    for (const Json& hs : Vectors().at("handshakes")) {
        SCOPED_TRACE(hs.value("name", ""));
        const int version = hs.at("key_version");
        for (const std::string name : {"msg3", "group1"}) {
            if (!hs.at("frames").contains(name) || !hs.contains(name + "_key_data_plain")) continue;
            const Bytes frame = HexField(hs.at("frames"), name);
            if (name == "msg3" && (frame.at(kKeyInfo) & 0x10) == 0) continue;  // WPA: in the clear
            const Bytes expected = HexField(hs, name + "_key_data_plain");
            const std::size_t length = frame.at(kKeyDataLength) << 8 | frame.at(kKeyDataLength + 1);
            ASSERT_GE(frame.size(), kKeyData + length);
            Bytes data(frame.begin() + kKeyData, frame.begin() + kKeyData + length);
            const Bytes kek = HexField(hs, "kek");
            if (version == 1) {
                Bytes key(frame.begin() + kKeyIv, frame.begin() + kKeyIv + 16);
                key.insert(key.end(), kek.begin(), kek.end());
                ASSERT_EQ(Rc4Skip(key.data(), key.size(), 256, data.data(), data.size()), 0);
                EXPECT_EQ(data, expected) << name;
                ++rc4;
            } else {
                const std::size_t n = data.size() / 8 - 1;
                Bytes plain(8 * n);
                ASSERT_EQ(AesUnwrap(kek.data(), n, data.data(), plain.data()), 0) << name;
                EXPECT_EQ(plain, expected) << name;
                ++unwrapped;
            }
        }
    }
    EXPECT_EQ(unwrapped, 10u);
    EXPECT_EQ(rc4, 5u);
}

// A short output is the start of a long one, and nothing past the requested
// length is written.
TEST(KeyDerivation, ShortOutputIsThePrefixOfALongOneAndStaysInItsLength) {
    const Bytes key(32, 0x0b), data(76, 0xcd);
    const std::function<int(std::uint8_t*, std::size_t)> derivations[] = {
        [&](std::uint8_t* out, std::size_t n) {
            return Sha1Prf(key.data(), key.size(), "label", data.data(), data.size(), out, n);
        },
        [&](std::uint8_t* out, std::size_t n) {
            return Pbkdf2Sha1("password", data.data(), data.size(), 3, out, n);
        },
    };
    for (const auto& derive : derivations) {
        Bytes full(80);
        ASSERT_EQ(derive(full.data(), full.size()), 0);
        for (std::size_t length : {1u, 20u, 32u, 48u, 64u}) {
            SCOPED_TRACE(length);
            Bytes out(length + 8, 0x5a);
            ASSERT_EQ(derive(out.data(), length), 0);
            EXPECT_EQ(Bytes(out.begin(), out.begin() + length),
                      Bytes(full.begin(), full.begin() + length));
            EXPECT_EQ(Bytes(out.begin() + length, out.end()), Bytes(8, 0x5a));
        }
    }
}

TEST(KeyDerivation, PassphraseEndsAtItsNul) {
    const std::uint8_t salt[] = {'s', 'a', 'l', 't'};
    const std::uint8_t pass[] = {'p', 'a', 's', 's'};
    Bytes viaText(20), viaBytes(20);
    ASSERT_EQ(Pbkdf2Sha1("pass\0word", salt, sizeof salt, 2, viaText.data(), viaText.size()), 0);
    ASSERT_EQ(
        Pbkdf2Sha1Bytes(pass, sizeof pass, salt, sizeof salt, 2, viaBytes.data(), viaBytes.size()),
        0);
    EXPECT_EQ(viaText, viaBytes);
}

TEST(Arguments, AreCheckedBeforeUse) {
    const Bytes key(257, 0x0b);
    Bytes out(256 * kSha1Length + 1);
    // The PRF counter is one byte: 256 blocks at most.
    EXPECT_EQ(Sha1Prf(key.data(), 16, "x", nullptr, 0, out.data(), out.size() - 1), 0);
    EXPECT_EQ(Sha1Prf(key.data(), 16, "x", nullptr, 0, out.data(), out.size()), -1);
    EXPECT_EQ(Sha1Prf(key.data(), 16, nullptr, nullptr, 0, out.data(), 16), -1);
    EXPECT_EQ(Pbkdf2Sha1("password", key.data(), 3, 0, out.data(), 32), -1);  // no iterations
    EXPECT_EQ(Pbkdf2Sha1(nullptr, key.data(), 3, 1, out.data(), 32), -1);
    EXPECT_EQ(Pbkdf2Sha1("password", nullptr, 3, 1, out.data(), 32), -1);
    EXPECT_EQ(Pbkdf2Sha1("password", key.data(), 3, 1, nullptr, 32), -1);
    EXPECT_EQ(Pbkdf2Sha1("", key.data(), 3, 1, out.data(), 32), 0);  // still a passphrase
    EXPECT_EQ(Rc4Skip(key.data(), 0, 0, out.data(), 4), -1);
    EXPECT_EQ(Rc4Skip(key.data(), 257, 0, out.data(), 4), -1);
    EXPECT_EQ(Rc4Skip(key.data(), 256, 0, out.data(), 4), 0);
    EXPECT_EQ(Rc4Skip(nullptr, 16, 0, out.data(), 4), -1);
    // Eight 0xA6 bytes alone would otherwise pass the integrity check.
    const Bytes bare(16, 0xA6);
    EXPECT_EQ(AesUnwrap(key.data(), 0, bare.data(), out.data()), -1);
    EXPECT_EQ(AesUnwrap(key.data(), 1, bare.data(), out.data()), -1);
    EXPECT_EQ(AesUnwrap(nullptr, 2, bare.data(), out.data()), -1);
    const std::uint8_t* none[] = {nullptr};
    const std::size_t zero[] = {0}, one[] = {1};
    Bytes a(kSha1Length), b(kSha1Length);
    ASSERT_EQ(Sha1Vector(0, nullptr, nullptr, a.data()), 0);
    ASSERT_EQ(Sha1Vector(1, none, zero, b.data()), 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(Sha1Vector(1, none, one, a.data()), -1);
    EXPECT_EQ(Md5Vector(1, none, one, a.data()), -1);
    EXPECT_EQ(HmacSha1(nullptr, 4, a.data(), 1, b.data()), -1);
    EXPECT_EQ(HmacSha1(nullptr, 0, a.data(), 1, b.data()), 0);  // an empty key is legal
    EXPECT_EQ(HmacMd5(nullptr, 0, a.data(), 1, b.data()), 0);
}

TEST(GetRandomBytes, FillsDistinctNonZeroBuffers) {
    std::set<Bytes> seen;
    for (int i = 0; i < 8; ++i) {
        Bytes nonce(32, 0);
        ASSERT_EQ(GetRandomBytes(nonce.data(), nonce.size()), 0);
        EXPECT_NE(nonce, Bytes(32, 0));
        EXPECT_TRUE(seen.insert(nonce).second);
    }
    // Large requests come back in pieces; every piece must be filled.
    Bytes big(3 << 20, 0);
    ASSERT_EQ(GetRandomBytes(big.data(), big.size()), 0);
    EXPECT_NE(Bytes(big.end() - 64, big.end()), Bytes(64, 0));
    EXPECT_EQ(GetRandomBytes(nullptr, 1), -1);
    EXPECT_EQ(GetRandomBytes(nullptr, 0), 0);
}

}  // namespace
}  // namespace tarvik
