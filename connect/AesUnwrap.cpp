// RFC 3394 key unwrap, written over AES-128 block decryption (libcrypto's
// EVP AES-128-ECB without padding) so that the integrity rule and the state of
// the output on failure are ours.
#include "connect/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>
#include <limits>

namespace tarvik {
namespace {

constexpr std::uint8_t kIntegrityByte = 0xA6;
constexpr std::size_t kAesBlock = 16;
constexpr std::size_t kUnwrapRounds = 6;

// One AES-128 block decryption; the context holds the key schedule.
bool DecryptBlock(EVP_CIPHER_CTX* ctx, const std::uint8_t* in, std::uint8_t* out) {
    int written = 0;
    return EVP_DecryptUpdate(ctx, out, &written, in, static_cast<int>(kAesBlock)) == 1 &&
           written == static_cast<int>(kAesBlock);
}

}  // namespace

int AesUnwrap(const std::uint8_t* kek, std::size_t n, const std::uint8_t* wrapped,
              std::uint8_t* plain) {
    // RFC 3394 wraps at least two 64-bit blocks; fewer would let eight 0xA6
    // bytes "unwrap" to nothing.
    if (kek == nullptr || wrapped == nullptr || plain == nullptr || n < 2 ||
        n > std::numeric_limits<std::size_t>::max() / kUnwrapRounds / kAesWrapBlockLength - 1) {
        return -1;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr) {
        return -1;
    }
    if (EVP_DecryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kek, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        return -1;
    }

    // a = A, the integrity register; R[1..n] live in `plain`.
    std::uint8_t a[kAesWrapBlockLength];
    std::memcpy(a, wrapped, sizeof a);
    std::memmove(plain, wrapped + kAesWrapBlockLength, n * kAesWrapBlockLength);

    std::uint8_t block[kAesBlock];
    bool ok = true;
    for (std::size_t j = kUnwrapRounds; ok && j-- > 0;) {
        for (std::size_t i = n; ok && i >= 1; --i) {
            // B = AES-1(K, (A ^ t) | R[i]) with t = n * j + i, 64-bit big-endian.
            std::uint64_t t = static_cast<std::uint64_t>(n) * j + i;
            std::uint8_t* r = plain + (i - 1) * kAesWrapBlockLength;
            std::memcpy(block, a, kAesWrapBlockLength);
            for (std::size_t k = kAesWrapBlockLength; k-- > 0; t >>= 8) {
                block[k] ^= static_cast<std::uint8_t>(t);
            }
            std::memcpy(block + kAesWrapBlockLength, r, kAesWrapBlockLength);
            ok = DecryptBlock(ctx, block, block);
            std::memcpy(a, block, kAesWrapBlockLength);
            std::memcpy(r, block + kAesWrapBlockLength, kAesWrapBlockLength);
        }
    }
    EVP_CIPHER_CTX_free(ctx);  // cleanses the key schedule

    for (std::uint8_t byte : a) {
        ok = ok && byte == kIntegrityByte;
    }
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(a, sizeof a);
    return ok ? 0 : -1;
}

}  // namespace tarvik
