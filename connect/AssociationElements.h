// The security elements the supplicant compares during the 4-way handshake:
// the station's own (from the association request the adapter reports) and
// the access point's (from its scan entry).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarvik {

// A WPA element: id 221, at least 6 body bytes starting 00 50 F2 01 01 00.
bool IsWpaSecurityElement(std::uint8_t id, std::span<const std::uint8_t> body);
// An RSN element: id 48, at least 2 body bytes.
bool IsRsnSecurityElement(std::uint8_t id, std::span<const std::uint8_t> body);

// The first WPA or RSN element of a list (header included); empty when there
// is none before the end or before an element that runs past the list (then
// `truncatedTitle` is dumped at debug level).
std::vector<std::uint8_t> FirstOwnSecurityElement(std::span<const std::uint8_t> elements,
                                                  const char* truncatedTitle);

struct ApSecurityElements {
    std::vector<std::uint8_t> wpa;
    std::vector<std::uint8_t> rsn;
};
// The first WPA and the first RSN element of a list, walking up to its end or
// its first element that runs past it.
ApSecurityElements FindApSecurityElements(std::span<const std::uint8_t> elements,
                                          const char* truncatedTitle);

}  // namespace tarvik
