#include "connect/EapolHandOff.h"

#include <algorithm>

namespace tarvik {
namespace {

constexpr std::size_t kEthernetHeaderLength = 14;
constexpr std::size_t kEapolHeaderLength = 4;
constexpr std::size_t kKeyInformationOffset = kEthernetHeaderLength + 5;

std::uint16_t BigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

}  // namespace

std::optional<EapolHandOff> TakeEapolHandOff(std::span<const std::uint8_t> frame) {
    if (frame.size() < kEthernetHeaderLength) return std::nullopt;
    EapolHandOff handOff;
    if (frame.size() >= kKeyInformationOffset + 2) {
        handOff.keyInformation = BigEndian16(frame, kKeyInformationOffset);
    }
    const auto payload = frame.subspan(kEthernetHeaderLength);
    std::size_t length = payload.size();
    if (length >= kEapolHeaderLength) {
        length = std::min(length, kEapolHeaderLength + BigEndian16(payload, 2));
    }
    handOff.eapol = payload.first(length);
    return handOff;
}

}  // namespace tarvik
