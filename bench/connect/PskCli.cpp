// Prints the WPA PSK of a passphrase and SSID as hex; the benchmark runs it as
// a whole process beside wpa_passphrase so both pay process start-up.
#include "connect/Crypto.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SSID PASSPHRASE\n", argv[0]);
        return 2;
    }
    std::uint8_t psk[32];
    if (tarvik::Pbkdf2Sha1(argv[2], reinterpret_cast<const std::uint8_t*>(argv[1]),
                           std::strlen(argv[1]), 4096, psk, sizeof psk) != 0) {
        std::fprintf(stderr, "PSK derivation failed\n");
        return 1;
    }
    std::printf("psk=");
    for (std::uint8_t b : psk) {
        std::printf("%02x", b);
    }
    std::printf("\n");
    return 0;
}
