// Properties of the primitives that the published vectors do not pin down:
// output lengths and truncation, the RC4 discard, argument checks, random bytes.
#include "connect/Crypto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kCanary = 0x5a;

Bytes Pattern(std::size_t length, std::uint8_t seed) {
    Bytes out(length);
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(seed + 7 * i);
    }
    return out;
}

// The PRF output is HMAC-SHA1(key, label || 0 || data || i) for i = 0, 1, ...
// cut to the requested length, and nothing past that length is written.
TEST(Sha1Prf, BuildsBlocksFromCounterAndTruncatesLastBlock) {
    const Bytes key = Pattern(32, 1);
    const Bytes data = Pattern(76, 9);
    const char* label = "Pairwise key expansion";
    Bytes expected;
    for (std::uint8_t counter = 0; counter < 4; ++counter) {
        const std::uint8_t zero = 0;
        const std::uint8_t* parts[] = {reinterpret_cast<const std::uint8_t*>(label), &zero,
                                       data.data(), &counter};
        const std::size_t lengths[] = {std::strlen(label), 1, data.size(), 1};
        std::uint8_t block[kSha1Length];
        ASSERT_EQ(HmacSha1Vector(key.data(), key.size(), 4, parts, lengths, block), 0);
        expected.insert(expected.end(), block, block + kSha1Length);
    }
    for (std::size_t length : {48u, 64u, 20u, 1u}) {
        SCOPED_TRACE(length);
        Bytes out(length + 8, kCanary);
        ASSERT_EQ(
            Sha1Prf(key.data(), key.size(), label, data.data(), data.size(), out.data(), length),
            0);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + length, expected.begin()));
        EXPECT_TRUE(std::all_of(out.begin() + length, out.end(),
                                [](std::uint8_t b) { return b == kCanary; }));
    }
}

TEST(Sha1Prf, RefusesLengthsThatWouldRepeatTheCounter) {
    const Bytes key = Pattern(16, 3);
    Bytes out(256 * kSha1Length + 1);
    EXPECT_EQ(Sha1Prf(key.data(), key.size(), "x", nullptr, 0, out.data(), out.size() - 1), 0);
    EXPECT_EQ(Sha1Prf(key.data(), key.size(), "x", nullptr, 0, out.data(), out.size()), -1);
    EXPECT_EQ(Sha1Prf(key.data(), key.size(), nullptr, nullptr, 0, out.data(), 16), -1);
}

// 32 bytes are blocks 1 and 2 with 12 bytes of the second kept; the block
// index only ever grows, so a longer output starts with the shorter one.
TEST(Pbkdf2Sha1, TruncatesTheLastBlockOnly) {
    const std::uint8_t ssid[] = {'I', 'E', 'E', 'E'};
    Bytes longer(40);
    ASSERT_EQ(Pbkdf2Sha1("password", ssid, sizeof ssid, 64, longer.data(), longer.size()), 0);
    Bytes psk(32 + 8, kCanary);
    ASSERT_EQ(Pbkdf2Sha1("password", ssid, sizeof ssid, 64, psk.data(), 32), 0);
    EXPECT_TRUE(std::equal(psk.begin(), psk.begin() + 32, longer.begin()));
    EXPECT_TRUE(
        std::all_of(psk.begin() + 32, psk.end(), [](std::uint8_t b) { return b == kCanary; }));
}

TEST(Pbkdf2Sha1, PassphraseEndsAtItsNul) {
    const std::uint8_t salt[] = {'s', 'a', 'l', 't'};
    const char withNul[] = "pass\0word";
    const std::uint8_t pass[] = {'p', 'a', 's', 's'};
    Bytes viaText(20), viaBytes(20);
    ASSERT_EQ(Pbkdf2Sha1(withNul, salt, sizeof salt, 2, viaText.data(), viaText.size()), 0);
    ASSERT_EQ(
        Pbkdf2Sha1Bytes(pass, sizeof pass, salt, sizeof salt, 2, viaBytes.data(), viaBytes.size()),
        0);
    EXPECT_EQ(viaText, viaBytes);
}

TEST(Pbkdf2Sha1, RejectsZeroIterationsAndMissingArguments) {
    const std::uint8_t salt[] = {1, 2, 3};
    Bytes out(32);
    EXPECT_EQ(Pbkdf2Sha1("password", salt, sizeof salt, 0, out.data(), out.size()), -1);
    EXPECT_EQ(Pbkdf2Sha1(nullptr, salt, sizeof salt, 1, out.data(), out.size()), -1);
    EXPECT_EQ(Pbkdf2Sha1("password", nullptr, 3, 1, out.data(), out.size()), -1);
    EXPECT_EQ(Pbkdf2Sha1("password", salt, sizeof salt, 1, nullptr, out.size()), -1);
    // An empty passphrase is still a passphrase.
    EXPECT_EQ(Pbkdf2Sha1("", salt, sizeof salt, 1, out.data(), out.size()), 0);
}

// Plain RC4 generated the obvious way, for comparison.
Bytes PlainRc4(const Bytes& key, Bytes data) {
    std::array<std::uint8_t, 256> s;
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < data.size(); ++k) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xff];
    }
    return data;
}

TEST(Rc4Skip, DiscardZeroIsPlainRc4AndDiscardShiftsTheKeystream) {
    const Bytes key = Pattern(32, 11);
    const Bytes message = Pattern(300, 200);
    Bytes data = message;
    ASSERT_EQ(Rc4Skip(key.data(), key.size(), 0, data.data(), data.size()), 0);
    EXPECT_EQ(data, PlainRc4(key, message));

    // Skipping 256 bytes equals encrypting 256 bytes first and dropping them.
    Bytes padded(256, 0);
    padded.insert(padded.end(), message.begin(), message.end());
    const Bytes reference = PlainRc4(key, padded);
    data = message;
    ASSERT_EQ(Rc4Skip(key.data(), key.size(), 256, data.data(), data.size()), 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), reference.begin() + 256));

    // Decryption is the same operation.
    ASSERT_EQ(Rc4Skip(key.data(), key.size(), 256, data.data(), data.size()), 0);
    EXPECT_EQ(data, message);
}

TEST(Rc4Skip, RejectsEmptyOrOversizedKey) {
    std::uint8_t data[4] = {};
    const Bytes longKey(257, 1);
    EXPECT_EQ(Rc4Skip(longKey.data(), 0, 0, data, sizeof data), -1);
    EXPECT_EQ(Rc4Skip(longKey.data(), longKey.size(), 0, data, sizeof data), -1);
    EXPECT_EQ(Rc4Skip(longKey.data(), 256, 0, data, sizeof data), 0);
    EXPECT_EQ(Rc4Skip(nullptr, 16, 0, data, sizeof data), -1);
}

TEST(AesUnwrap, RejectsFewerThanTwoBlocks) {
    const Bytes kek = Pattern(16, 4);
    // Eight 0xA6 bytes alone would otherwise pass the integrity check.
    const Bytes bare(8, 0xA6);
    Bytes out(8);
    EXPECT_EQ(AesUnwrap(kek.data(), 0, bare.data(), out.data()), -1);
    const Bytes one(16, 0xA6);
    EXPECT_EQ(AesUnwrap(kek.data(), 1, one.data(), out.data()), -1);
    EXPECT_EQ(AesUnwrap(nullptr, 2, bare.data(), out.data()), -1);
}

TEST(Digests, EmptyVectorAndBadElements) {
    std::uint8_t a[kSha1Length], b[kSha1Length];
    ASSERT_EQ(Sha1Vector(0, nullptr, nullptr, a), 0);
    const std::uint8_t* none[] = {nullptr};
    const std::size_t zero[] = {0};
    ASSERT_EQ(Sha1Vector(1, none, zero, b), 0);
    EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
    const std::size_t one[] = {1};
    EXPECT_EQ(Sha1Vector(1, none, one, a), -1);
    EXPECT_EQ(Md5Vector(1, none, one, a), -1);
    EXPECT_EQ(HmacSha1(nullptr, 4, a, 1, b), -1);
    // An empty HMAC key is legal.
    EXPECT_EQ(HmacSha1(nullptr, 0, a, 1, b), 0);
    EXPECT_EQ(HmacMd5(nullptr, 0, a, 1, b), 0);
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
    const Bytes tail(big.end() - 64, big.end());
    EXPECT_NE(tail, Bytes(64, 0));
    EXPECT_EQ(GetRandomBytes(nullptr, 1), -1);
    EXPECT_EQ(GetRandomBytes(nullptr, 0), 0);
}

}  // namespace
}  // namespace tarvik
