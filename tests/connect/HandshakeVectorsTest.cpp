// The primitives as the key handshake uses them, on real and published
// WPA/WPA2-PSK handshakes: PMK, PTK, frame MICs and key-data decryption.
#include "connect/Crypto.h"
#include "tests/connect/WpaVectors.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvik {
namespace {

using test::Bytes;
using test::FromHex;
using test::Handshakes;
using test::TextOrHex;
using test::ToHex;

// EAPOL-Key layout, offsets from the EAPOL protocol-version byte.
constexpr std::size_t kKeyInfoOffset = 5;
constexpr std::size_t kKeyIvOffset = 49;
constexpr std::size_t kMicOffset = 81;
constexpr std::size_t kKeyDataLengthOffset = 97;
constexpr std::size_t kKeyDataOffset = 99;
constexpr std::size_t kKeyIvLength = 16;
constexpr std::size_t kMicLength = 16;
constexpr unsigned kInfoMic = 0x0100;
constexpr unsigned kInfoEncryptedKeyData = 0x1000;

unsigned ReadBigEndian16(const Bytes& frame, std::size_t offset) {
    return static_cast<unsigned>(frame.at(offset) << 8 | frame.at(offset + 1));
}

Bytes KeyData(const Bytes& frame) {
    const std::size_t length = ReadBigEndian16(frame, kKeyDataLengthOffset);
    if (frame.size() < kKeyDataOffset + length) {
        throw std::out_of_range("key data runs past the frame");
    }
    return Bytes(frame.begin() + kKeyDataOffset, frame.begin() + kKeyDataOffset + length);
}

std::string Field(const nlohmann::json& entry, const char* name) {
    return entry.at(name).get<std::string>();
}

// Version 1: HMAC-MD5; version 2: HMAC-SHA1 cut to 16 bytes; over the frame
// with its MIC field zeroed.
Bytes FrameMic(const Bytes& kck, Bytes frame, int keyVersion) {
    std::fill_n(frame.begin() + kMicOffset, kMicLength, 0);
    Bytes mac(std::max(kSha1Length, kMd5Length));
    const int result =
        keyVersion == 1 ? HmacMd5(kck.data(), kck.size(), frame.data(), frame.size(), mac.data())
                        : HmacSha1(kck.data(), kck.size(), frame.data(), frame.size(), mac.data());
    EXPECT_EQ(result, 0);
    mac.resize(kMicLength);
    return mac;
}

// Version 1: RC4 keyed with key IV || KEK, 256 bytes discarded; version 2:
// AES key unwrap with the KEK. Empty when the unwrap fails.
Bytes DecryptKeyData(const Bytes& kek, const Bytes& frame, int keyVersion) {
    Bytes data = KeyData(frame);
    if (keyVersion == 1) {
        Bytes key(frame.begin() + kKeyIvOffset, frame.begin() + kKeyIvOffset + kKeyIvLength);
        key.insert(key.end(), kek.begin(), kek.end());
        EXPECT_EQ(Rc4Skip(key.data(), key.size(), 256, data.data(), data.size()), 0);
        return data;
    }
    const std::size_t n = data.size() / 8 - 1;
    Bytes plain(8 * n);
    if (AesUnwrap(kek.data(), n, data.data(), plain.data()) != 0) {
        return {};
    }
    return plain;
}

TEST(HandshakeVectors, PmkAndPtk) {
    ASSERT_EQ(Handshakes().size(), 15u);
    for (const auto& hs : Handshakes()) {
        SCOPED_TRACE(Field(hs, "name"));
        const std::string passphrase = hs.at("passphrase");
        const Bytes ssid = TextOrHex(hs, "ssid");
        Bytes pmk(32);
        ASSERT_EQ(
            Pbkdf2Sha1(passphrase.c_str(), ssid.data(), ssid.size(), 4096, pmk.data(), pmk.size()),
            0);
        EXPECT_EQ(ToHex(pmk), Field(hs, "pmk"));

        const Bytes data = test::PairwiseExpansionData(hs);
        const Bytes expected = FromHex(Field(hs, "ptk"));
        Bytes ptk(expected.size());
        ASSERT_EQ(Sha1Prf(pmk.data(), pmk.size(), "Pairwise key expansion", data.data(),
                          data.size(), ptk.data(), ptk.size()),
                  0);
        EXPECT_EQ(ptk, expected);
    }
}

TEST(HandshakeVectors, FrameMics) {
    std::size_t checked = 0;
    for (const auto& hs : Handshakes()) {
        SCOPED_TRACE(Field(hs, "name"));
        const Bytes kck = FromHex(Field(hs, "kck"));
        const int version = hs.at("key_version");
        for (const auto& [name, hex] : hs.at("frames").items()) {
            const Bytes frame = FromHex(hex.get<std::string>());
            if ((ReadBigEndian16(frame, kKeyInfoOffset) & kInfoMic) == 0) {
                continue;
            }
            const Bytes mic(frame.begin() + kMicOffset, frame.begin() + kMicOffset + kMicLength);
            EXPECT_EQ(FrameMic(kck, frame, version), mic) << name;
            ++checked;
        }
    }
    EXPECT_GE(checked, 40u);
}

// Every RSN msg3 is an AES-128 unwrap with a known KEK and plaintext; WPA
// group messages are RC4 with the 256-byte discard.
TEST(HandshakeVectors, KeyDataDecryption) {
    std::size_t unwrapped = 0, rc4 = 0;
    for (const auto& hs : Handshakes()) {
        SCOPED_TRACE(Field(hs, "name"));
        const Bytes kek = FromHex(Field(hs, "kek"));
        const int version = hs.at("key_version");
        const auto& frames = hs.at("frames");
        for (const char* name : {"msg3", "group1"}) {
            const std::string plainField = std::string(name) + "_key_data_plain";
            if (!frames.contains(name) || !hs.contains(plainField)) {
                continue;
            }
            const Bytes frame = FromHex(frames.at(name).get<std::string>());
            if ((ReadBigEndian16(frame, kKeyInfoOffset) & kInfoEncryptedKeyData) == 0 &&
                std::string(name) == "msg3") {
                continue;  // WPA msg3 carries its element in the clear
            }
            EXPECT_EQ(ToHex(DecryptKeyData(kek, frame, version)), Field(hs, plainField.c_str()))
                << name;
            ++(version == 1 ? rc4 : unwrapped);
        }
    }
    EXPECT_EQ(unwrapped, 10u);
    EXPECT_EQ(rc4, 5u);
}

TEST(HandshakeVectors, UnwrapWithWrongKekFails) {
    for (const auto& hs : Handshakes()) {
        if (hs.at("key_version") != 2 || !hs.contains("msg3_key_data_plain")) {
            continue;
        }
        SCOPED_TRACE(Field(hs, "name"));
        Bytes kek = FromHex(Field(hs, "kek"));
        kek[15] ^= 0x01;
        EXPECT_TRUE(
            DecryptKeyData(kek, FromHex(hs.at("frames").at("msg3").get<std::string>()), 2).empty());
    }
}

}  // namespace
}  // namespace tarvik
