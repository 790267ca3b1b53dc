// The IEEE 802.11i PRF over HMAC-SHA1, and PBKDF2-HMAC-SHA1 over libcrypto's
// EVP_KDF.
#include "connect/Crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tarvik {
namespace {

// The PRF's block counter is one byte.
constexpr std::size_t kPrfMaxBlocks = 256;

// PBKDF2 numbers its blocks with 32 bits.
constexpr std::uint64_t kPbkdf2MaxBlocks = 0xffffffffULL;

}  // namespace

int Sha1Prf(const std::uint8_t* key, std::size_t keyLength, const char* label,
            const std::uint8_t* data, std::size_t dataLength, std::uint8_t* output,
            std::size_t outputLength) {
    if (label == nullptr || (output == nullptr && outputLength != 0) ||
        outputLength > kPrfMaxBlocks * kSha1Length) {
        return -1;
    }
    const std::uint8_t zero = 0;
    std::uint8_t counter = 0;
    const std::uint8_t* addresses[] = {reinterpret_cast<const std::uint8_t*>(label), &zero, data,
                                       &counter};
    const std::size_t lengths[] = {std::strlen(label), 1, dataLength, 1};

    std::uint8_t block[kSha1Length];
    int result = 0;
    for (std::size_t done = 0; done < outputLength; done += kSha1Length, ++counter) {
        const std::size_t take = std::min(kSha1Length, outputLength - done);
        if (take == kSha1Length) {
            result = HmacSha1Vector(key, keyLength, 4, addresses, lengths, output + done);
        } else {
            result = HmacSha1Vector(key, keyLength, 4, addresses, lengths, block);
            std::memcpy(output + done, block, take);
        }
        if (result != 0) {
            break;
        }
    }
    OPENSSL_cleanse(block, sizeof block);
    return result;
}

int Pbkdf2Sha1(const char* passphrase, const std::uint8_t* salt, std::size_t saltLength,
               unsigned iterations, std::uint8_t* output, std::size_t outputLength) {
    if (passphrase == nullptr) {
        return -1;
    }
    return Pbkdf2Sha1Bytes(reinterpret_cast<const std::uint8_t*>(passphrase),
                           std::strlen(passphrase), salt, saltLength, iterations, output,
                           outputLength);
}

int Pbkdf2Sha1Bytes(const std::uint8_t* password, std::size_t passwordLength,
                    const std::uint8_t* salt, std::size_t saltLength, unsigned iterations,
                    std::uint8_t* output, std::size_t outputLength) {
    if ((password == nullptr && passwordLength != 0) || (salt == nullptr && saltLength != 0) ||
        iterations == 0 || output == nullptr || outputLength == 0 ||
        outputLength / kSha1Length >= kPbkdf2MaxBlocks) {
        return -1;
    }
    // libcrypto copies the octet parameters; empty ones still need an address.
    static const std::uint8_t kEmpty = 0;
    EVP_KDF* pbkdf2 = EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr);
    EVP_KDF_CTX* ctx = pbkdf2 != nullptr ? EVP_KDF_CTX_new(pbkdf2) : nullptr;
    EVP_KDF_free(pbkdf2);  // the context holds its own reference
    if (ctx == nullptr) {
        return -1;
    }
    std::uint64_t iter = iterations;
    int noLowerBoundChecks = 1;  // WPA salts (SSIDs) may be shorter than SP 800-132 wants
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_PASSWORD,
            const_cast<std::uint8_t*>(password != nullptr ? password : &kEmpty), passwordLength),
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt != nullptr ? salt : &kEmpty),
            saltLength),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &iter),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST,
                                         const_cast<char*>(OSSL_DIGEST_NAME_SHA1), 0),
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &noLowerBoundChecks),
        OSSL_PARAM_construct_end(),
    };
    const bool ok = EVP_KDF_derive(ctx, output, outputLength, params) == 1;
    EVP_KDF_CTX_free(ctx);  // cleanses the copied password and HMAC state
    return ok ? 0 : -1;
}

}  // namespace tarvik
