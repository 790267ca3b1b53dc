#include "connect/PmkDerivation.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "connect/Crypto.h"
#include "connect/WpaDebug.h"

namespace tarvik {

namespace {

constexpr std::size_t kHexPskLength = 2 * kPmkLength;
constexpr std::size_t kShortestPassphrase = 8;
constexpr std::size_t kLongestPassphrase = 63;
constexpr unsigned kPskIterations = 4096;
// Profiles are few; a full cache is emptied rather than grown.
constexpr std::size_t kCacheLimit = 64;

using Pmk = std::array<std::uint8_t, kPmkLength>;
using CacheKey = std::pair<std::string, std::string>;  // SSID bytes, key text

struct PmkCache {
    std::mutex mutex;
    std::map<CacheKey, Pmk> entries;
};

PmkCache& Cache() {
    static PmkCache cache;
    return cache;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool DecodeHexPsk(std::string_view key, std::span<std::uint8_t, kPmkLength> pmk) {
    if (key.size() != kHexPskLength) return false;
    for (std::size_t i = 0; i < kPmkLength; ++i) {
        const int high = HexDigit(key[2 * i]), low = HexDigit(key[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        pmk[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

int RunPbkdf2(std::string_view key, std::span<const std::uint8_t> ssid,
              std::span<std::uint8_t, kPmkLength> pmk) {
    CacheKey cacheKey{std::string(ssid.begin(), ssid.end()), std::string(key)};
    PmkCache& cache = Cache();
    {
        std::lock_guard<std::mutex> lock(cache.mutex);
        const auto found = cache.entries.find(cacheKey);
        if (found != cache.entries.end()) {
            std::copy(found->second.begin(), found->second.end(), pmk.begin());
            return 0;
        }
    }
    // Derived outside the lock: PBKDF2 takes milliseconds.
    Pmk derived{};
    if (Pbkdf2Sha1Bytes(reinterpret_cast<const std::uint8_t*>(key.data()), key.size(), ssid.data(),
                        ssid.size(), kPskIterations, derived.data(), derived.size()) != 0) {
        return -1;
    }
    std::copy(derived.begin(), derived.end(), pmk.begin());
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.entries.size() >= kCacheLimit) {
        for (auto& entry : cache.entries) OPENSSL_cleanse(entry.second.data(), entry.second.size());
        cache.entries.clear();
    }
    cache.entries.emplace(std::move(cacheKey), derived);
    OPENSSL_cleanse(derived.data(), derived.size());
    return 0;
}

}  // namespace

int DerivePmk(std::string_view key, std::span<const std::uint8_t> ssid,
              std::span<std::uint8_t, kPmkLength> pmk) {
    std::fill(pmk.begin(), pmk.end(), 0);
    if (DecodeHexPsk(key, pmk)) return 0;
    std::fill(pmk.begin(), pmk.end(), 0);
    if (key.size() < kShortestPassphrase || key.size() > kLongestPassphrase) {
        WpaPrintf(WPA_MSG_WARNING,
                  "WPA: A key of %zu characters is neither a passphrase of 8 to 63 characters nor "
                  "64 hexadecimal digits.",
                  key.size());
        return -1;
    }
    if (RunPbkdf2(key, ssid, pmk) == 0) return 0;
    std::fill(pmk.begin(), pmk.end(), 0);
    WpaPrintf(WPA_MSG_WARNING, "WPA: Could not derive the PMK from the passphrase.");
    return -1;
}

}  // namespace tarvik
