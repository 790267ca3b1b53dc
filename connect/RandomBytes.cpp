// Random bytes from the kernel's cryptographic generator.
#include "connect/Crypto.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>

namespace tarvik {

int GetRandomBytes(std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr && length != 0) {
        return -1;
    }
    // getrandom(2) may return fewer bytes than asked (large requests, signals)
    // and blocks only until the generator is first seeded.
    constexpr std::size_t kMaxPerCall = 1 << 20;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = getrandom(buffer + done, std::min(length - done, kMaxPerCall), 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

}  // namespace tarvik
