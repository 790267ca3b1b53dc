#include "connect/PairwiseKey.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "connect/Crypto.h"

namespace tarvik {

namespace {

// Appends the smaller of the two, then the larger.
template <std::size_t N>
std::uint8_t* AppendOrdered(std::uint8_t* out, std::span<const std::uint8_t, N> a,
                            std::span<const std::uint8_t, N> b) {
    const bool aFirst = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    out = std::copy(aFirst ? a.begin() : b.begin(), aFirst ? a.end() : b.end(), out);
    return std::copy(aFirst ? b.begin() : a.begin(), aFirst ? b.end() : a.end(), out);
}

}  // namespace

int DerivePairwiseKey(std::span<const std::uint8_t, kPmkLength> pmk,
                      std::span<const std::uint8_t, kMacLength> address1,
                      std::span<const std::uint8_t, kMacLength> address2,
                      std::span<const std::uint8_t, kNonceLength> nonce1,
                      std::span<const std::uint8_t, kNonceLength> nonce2, PairwiseKey& ptk) {
    std::array<std::uint8_t, 2 * kMacLength + 2 * kNonceLength> data{};
    AppendOrdered(AppendOrdered(data.data(), address1, address2), nonce1, nonce2);
    const int result = Sha1Prf(pmk.data(), pmk.size(), "Pairwise key expansion", data.data(),
                               data.size(), ptk.bytes.data(), ptk.bytes.size());
    OPENSSL_cleanse(data.data(), data.size());
    return result;
}

}  // namespace tarvik
