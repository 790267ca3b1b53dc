// The vendor's web server, which answers the version check and the vendor
// look-ups: the string value "UpdateServer" of the "Settings" section, a
// host name or address with an optional port ("example.org",
// "192.0.2.7:8080", "[2001:db8::1]:80"). Nothing is shipped: without the
// value the version check says so and vendors come from the offline table
// only.
#pragma once

#include <string>
#include <string_view>

namespace tarvik {

class CApplicationOptions;

inline constexpr const char* kUpdateServerValue = "UpdateServer";

struct UpdateServer {
    // host[:port]; empty when not set or not valid.
    std::string host;
    // Why the value cannot be used; empty when it is usable or not set.
    std::string problem;
};

// True for host[:port] with a name of letters, digits, '-' and '.', or an
// IPv4 or bracketed IPv6 address, and a port of 1-65535.
bool IsValidServerHost(std::string_view host);

UpdateServer ReadUpdateServer(const CApplicationOptions& options);

// The texts shown when there is no usable server.
std::string NoUpdateServerText(const UpdateServer& server);

}  // namespace tarvik
