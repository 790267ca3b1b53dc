// RC4 with a discarded keystream prefix. libcrypto keeps RC4 only in its
// legacy provider, and the cipher is a few lines, so it is written here.
#include "connect/Crypto.h"

#include <openssl/crypto.h>

#include <utility>

namespace tarvik {
namespace {

constexpr std::size_t kStateSize = 256;

struct Rc4State {
    std::uint8_t s[kStateSize];
    std::uint8_t i = 0;
    std::uint8_t j = 0;

    // The standard key schedule.
    Rc4State(const std::uint8_t* key, std::size_t keyLength) {
        for (std::size_t k = 0; k < kStateSize; ++k) {
            s[k] = static_cast<std::uint8_t>(k);
        }
        std::uint8_t m = 0;
        for (std::size_t k = 0; k < kStateSize; ++k) {
            m = static_cast<std::uint8_t>(m + s[k] + key[k % keyLength]);
            std::swap(s[k], s[m]);
        }
    }
    ~Rc4State() { OPENSSL_cleanse(this, sizeof *this); }
    Rc4State(const Rc4State&) = delete;
    Rc4State& operator=(const Rc4State&) = delete;

    std::uint8_t NextByte() {
        ++i;
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        return s[static_cast<std::uint8_t>(s[i] + s[j])];
    }
};

}  // namespace

int Rc4Skip(const std::uint8_t* key, std::size_t keyLength, std::size_t skip, std::uint8_t* data,
            std::size_t dataLength) {
    if (key == nullptr || keyLength == 0 || keyLength > kStateSize ||
        (data == nullptr && dataLength != 0)) {
        return -1;
    }
    Rc4State state(key, keyLength);
    for (std::size_t k = 0; k < skip; ++k) {
        state.NextByte();
    }
    for (std::size_t k = 0; k < dataLength; ++k) {
        data[k] ^= state.NextByte();
    }
    return 0;
}

}  // namespace tarvik
