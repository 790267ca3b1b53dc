// RFC 3394 key wrap over AES-128 block encryption (libcrypto's EVP
// AES-128-ECB without padding), the inverse of AesUnwrap.
#include "connect/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>
#include <limits>

namespace tarvik {
namespace {

constexpr std::uint8_t kIntegrityByte = 0xA6;
constexpr std::size_t kAesBlock = 16;
constexpr std::size_t kWrapRounds = 6;

bool EncryptBlock(EVP_CIPHER_CTX* ctx, const std::uint8_t* in, std::uint8_t* out) {
    int written = 0;
    return EVP_EncryptUpdate(ctx, out, &written, in, static_cast<int>(kAesBlock)) == 1 &&
           written == static_cast<int>(kAesBlock);
}

}  // namespace

int AesWrap(const std::uint8_t* kek, std::size_t n, const std::uint8_t* plain,
            std::uint8_t* wrapped) {
    if (kek == nullptr || plain == nullptr || wrapped == nullptr || n < 2 ||
        n > std::numeric_limits<std::size_t>::max() / kWrapRounds / kAesWrapBlockLength - 1) {
        return -1;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr) return -1;
    if (EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kek, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        return -1;
    }
    // A lives in wrapped[0..7], R[1..n] after it.
    std::memmove(wrapped + kAesWrapBlockLength, plain, n * kAesWrapBlockLength);
    std::memset(wrapped, kIntegrityByte, kAesWrapBlockLength);
    std::uint8_t block[kAesBlock];
    bool ok = true;
    for (std::size_t j = 0; ok && j < kWrapRounds; ++j) {
        for (std::size_t i = 1; ok && i <= n; ++i) {
            // B = AES(K, A | R[i]); A = MSB(B) ^ t with t = n * j + i; R[i] = LSB(B).
            std::uint8_t* r = wrapped + i * kAesWrapBlockLength;
            std::memcpy(block, wrapped, kAesWrapBlockLength);
            std::memcpy(block + kAesWrapBlockLength, r, kAesWrapBlockLength);
            ok = EncryptBlock(ctx, block, block);
            std::uint64_t t = static_cast<std::uint64_t>(n) * j + i;
            for (std::size_t k = kAesWrapBlockLength; k-- > 0; t >>= 8) {
                block[k] ^= static_cast<std::uint8_t>(t);
            }
            std::memcpy(wrapped, block, kAesWrapBlockLength);
            std::memcpy(r, block + kAesWrapBlockLength, kAesWrapBlockLength);
        }
    }
    EVP_CIPHER_CTX_free(ctx);
    OPENSSL_cleanse(block, sizeof block);
    return ok ? 0 : -1;
}

}  // namespace tarvik
