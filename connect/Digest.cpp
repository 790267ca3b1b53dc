// SHA-1, MD5 and their HMACs over libcrypto's EVP digest and EVP_MAC interfaces.
#include "connect/Crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace tarvik {
namespace {

// A vector is well formed when every element with bytes has an address.
bool IsValidVector(std::size_t count, const std::uint8_t* const* addresses,
                   const std::size_t* lengths) {
    if (count == 0) {
        return true;
    }
    if (addresses == nullptr || lengths == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (addresses[i] == nullptr && lengths[i] != 0) {
            return false;
        }
    }
    return true;
}

int DigestVector(const EVP_MD* md, std::size_t count, const std::uint8_t* const* addresses,
                 const std::size_t* lengths, std::uint8_t* digest) {
    if (md == nullptr || digest == nullptr || !IsValidVector(count, addresses, lengths)) {
        return -1;
    }
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (ctx == nullptr) {
        return -1;
    }
    bool ok = EVP_DigestInit_ex(ctx, md, nullptr) == 1;
    for (std::size_t i = 0; ok && i < count; ++i) {
        if (lengths[i] != 0) {
            ok = EVP_DigestUpdate(ctx, addresses[i], lengths[i]) == 1;
        }
    }
    ok = ok && EVP_DigestFinal_ex(ctx, digest, nullptr) == 1;
    EVP_MD_CTX_free(ctx);  // cleanses the context
    return ok ? 0 : -1;
}

int HmacVector(const char* digestName, std::size_t macLength, const std::uint8_t* key,
               std::size_t keyLength, std::size_t count, const std::uint8_t* const* addresses,
               const std::size_t* lengths, std::uint8_t* mac) {
    if ((key == nullptr && keyLength != 0) || mac == nullptr ||
        !IsValidVector(count, addresses, lengths)) {
        return -1;
    }
    // An empty key is legal; libcrypto wants a non-null pointer to set it.
    static const std::uint8_t kNoKey = 0;
    if (key == nullptr) {
        key = &kNoKey;
    }
    EVP_MAC* hmac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    EVP_MAC_CTX* ctx = hmac != nullptr ? EVP_MAC_CTX_new(hmac) : nullptr;
    EVP_MAC_free(hmac);  // the context holds its own reference
    if (ctx == nullptr) {
        return -1;
    }
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>(digestName), 0),
        OSSL_PARAM_construct_end(),
    };
    bool ok = EVP_MAC_init(ctx, key, keyLength, params) == 1;
    for (std::size_t i = 0; ok && i < count; ++i) {
        if (lengths[i] != 0) {
            ok = EVP_MAC_update(ctx, addresses[i], lengths[i]) == 1;
        }
    }
    std::size_t written = 0;
    ok = ok && EVP_MAC_final(ctx, mac, &written, macLength) == 1 && written == macLength;
    EVP_MAC_CTX_free(ctx);  // cleanses the keyed state
    return ok ? 0 : -1;
}

}  // namespace

int Sha1Vector(std::size_t count, const std::uint8_t* const* addresses, const std::size_t* lengths,
               std::uint8_t* digest) {
    return DigestVector(EVP_sha1(), count, addresses, lengths, digest);
}

int Md5Vector(std::size_t count, const std::uint8_t* const* addresses, const std::size_t* lengths,
              std::uint8_t* digest) {
    return DigestVector(EVP_md5(), count, addresses, lengths, digest);
}

int HmacSha1Vector(const std::uint8_t* key, std::size_t keyLength, std::size_t count,
                   const std::uint8_t* const* addresses, const std::size_t* lengths,
                   std::uint8_t* mac) {
    return HmacVector(OSSL_DIGEST_NAME_SHA1, kSha1Length, key, keyLength, count, addresses, lengths,
                      mac);
}

int HmacSha1(const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* data,
             std::size_t dataLength, std::uint8_t* mac) {
    return HmacSha1Vector(key, keyLength, 1, &data, &dataLength, mac);
}

int HmacMd5Vector(const std::uint8_t* key, std::size_t keyLength, std::size_t count,
                  const std::uint8_t* const* addresses, const std::size_t* lengths,
                  std::uint8_t* mac) {
    return HmacVector(OSSL_DIGEST_NAME_MD5, kMd5Length, key, keyLength, count, addresses, lengths,
                      mac);
}

int HmacMd5(const std::uint8_t* key, std::size_t keyLength, const std::uint8_t* data,
            std::size_t dataLength, std::uint8_t* mac) {
    return HmacMd5Vector(key, keyLength, 1, &data, &dataLength, mac);
}

}  // namespace tarvik
