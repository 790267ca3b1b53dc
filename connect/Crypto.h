// Cryptographic primitives for the key handshake and the PMK derivation:
// plain functions over byte buffers, no state kept between calls.
//
// Every operation returns 0 on success and -1 on failure (bad arguments, a
// library failure, or a failed integrity check for AesUnwrap). On failure the
// output holds no usable result.
//
// "Vector" forms take a list of buffers and work on their concatenation:
// `addresses[i]` points at `lengths[i]` bytes; an element may be null when its
// length is 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvik {

inline constexpr std::size_t kSha1Length = 20;
inline constexpr std::size_t kMd5Length = 16;
inline constexpr std::size_t kAesUnwrapKekLength = 16;
inline constexpr std::size_t kAesWrapBlockLength = 8;

// Fills `buffer` with bytes from the kernel's cryptographic generator
// (getrandom(2)); -1 when the generator is unavailable or fails.
[[nodiscard]] int GetRandomBytes(std::uint8_t* buffer, std::size_t length);

// SHA-1 (FIPS 180) of the concatenated elements into `digest` (20 bytes).
[[nodiscard]] int Sha1Vector(std::size_t count, const std::uint8_t* const* addresses,
                             const std::size_t* lengths, std::uint8_t* digest);

// MD5 (RFC 1321) of the concatenated elements into `digest` (16 bytes).
[[nodiscard]] int Md5Vector(std::size_t count, const std::uint8_t* const* addresses,
                            const std::size_t* lengths, std::uint8_t* digest);

// HMAC-SHA1 (RFC 2104) into `mac` (20 bytes, full length).
[[nodiscard]] int HmacSha1Vector(const std::uint8_t* key, std::size_t keyLength, std::size_t count,
                                 const std::uint8_t* const* addresses, const std::size_t* lengths,
                                 std::uint8_t* mac);
[[nodiscard]] int HmacSha1(const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* data,
                           std::size_t dataLength, std::uint8_t* mac);

// HMAC-MD5 (RFC 2104) into `mac` (16 bytes, full length).
[[nodiscard]] int HmacMd5Vector(const std::uint8_t* key, std::size_t keyLength, std::size_t count,
                                const std::uint8_t* const* addresses, const std::size_t* lengths,
                                std::uint8_t* mac);
[[nodiscard]] int HmacMd5(const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* data,
                          std::size_t dataLength, std::uint8_t* mac);

// The IEEE 802.11i PRF: output block i (from 0) is
// HMAC-SHA1(key, label || 0x00 || data || i), the counter being one byte; the
// last block is cut to `outputLength`. `label` is NUL-terminated text. Lengths
// beyond 256 blocks (5120 bytes) would repeat the counter and are refused.
[[nodiscard]] int Sha1Prf(const std::uint8_t* key, std::size_t keyLength, const char* label,
                          const std::uint8_t* data, std::size_t dataLength, std::uint8_t* output,
                          std::size_t outputLength);

// PBKDF2 (RFC 2898) with HMAC-SHA1: the passphrase runs up to its NUL; blocks
// are numbered from 1 (32-bit big-endian index); the last block is cut to
// `outputLength`. A WPA PSK is Pbkdf2Sha1(passphrase, ssid, ssidLength, 4096,
// psk, 32). `iterations` must be at least 1.
[[nodiscard]] int Pbkdf2Sha1(const char* passphrase, const std::uint8_t* salt,
                             std::size_t saltLength, unsigned iterations, std::uint8_t* output,
                             std::size_t outputLength);
// The same for a password given as bytes (it may then contain NULs).
[[nodiscard]] int Pbkdf2Sha1Bytes(const std::uint8_t* password, std::size_t passwordLength,
                                  const std::uint8_t* salt, std::size_t saltLength,
                                  unsigned iterations, std::uint8_t* output,
                                  std::size_t outputLength);

// AES-128 key unwrap (RFC 3394, default integrity value A6A6A6A6A6A6A6A6).
// `wrapped` holds 8 * (n + 1) bytes, `plain` receives 8 * n bytes; n >= 2.
// Returns -1 when the unwrapped integrity value is not eight 0xA6 bytes; the
// output then holds the partial results of the unwrap, so callers unwrap into
// a buffer of their own and use it only on success. `plain` may overlap
// `wrapped`.
[[nodiscard]] int AesUnwrap(const std::uint8_t* kek, std::size_t n, const std::uint8_t* wrapped,
                            std::uint8_t* plain);

// AES-128 key wrap (RFC 3394, integrity value A6A6A6A6A6A6A6A6): `plain`
// holds 8 * n bytes, `wrapped` receives 8 * (n + 1); n >= 2. `wrapped` may
// overlap `plain` only when they start at the same byte.
[[nodiscard]] int AesWrap(const std::uint8_t* kek, std::size_t n, const std::uint8_t* plain,
                          std::uint8_t* wrapped);

// RC4 over `data` in place, after generating and dropping the first `skip`
// keystream bytes (WPA key data: key = key IV || KEK, skip 256). The key is
// 1 to 256 bytes long.
[[nodiscard]] int Rc4Skip(const std::uint8_t* key, std::size_t keyLength, std::size_t skip,
                          std::uint8_t* data, std::size_t dataLength);

}  // namespace tarvik
