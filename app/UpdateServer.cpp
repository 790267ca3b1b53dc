#include "app/UpdateServer.h"

#include "core/ApplicationOptions.h"
#include "networks/PrintableText.h"
#include "platform/RegistryStore.h"

namespace tarvik {
namespace {

constexpr std::size_t kMaxHostLength = 255;

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

bool IsHexOrColon(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

bool IsValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) return false;
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

bool IsValidServerHost(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostLength) return false;
    std::string_view name = host;
    std::string_view port;
    bool hasPort = false;
    if (host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos || close < 2) return false;
        for (const char c : host.substr(1, close - 1)) {
            if (!IsHexOrColon(c)) return false;
        }
        const std::string_view after = host.substr(close + 1);
        if (after.empty()) return true;
        if (after.front() != ':') return false;
        return IsValidPort(after.substr(1));
    }
    if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        name = host.substr(0, colon);
        port = host.substr(colon + 1);
        hasPort = true;
    }
    if (name.empty() || name.front() == '-' || name.front() == '.') return false;
    for (const char c : name) {
        if (!IsNameCharacter(c)) return false;
    }
    return !hasPort || IsValidPort(port);
}

UpdateServer ReadUpdateServer(const CApplicationOptions& options) {
    UpdateServer server;
    const std::string value =
        options.UserHive().ReadString(options.SectionKey("Settings"), kUpdateServerValue, "");
    if (value.empty()) return server;
    if (IsValidServerHost(value)) {
        server.host = value;
    } else {
        server.problem = "The update server \"" + MakePrintableText(value, 64) +
                         "\" is not a host name (Settings\\UpdateServer: host or host:port).";
    }
    return server;
}

std::string NoUpdateServerText(const UpdateServer& server) {
    if (!server.problem.empty()) return server.problem;
    return "No update server is configured (Settings\\UpdateServer).";
}

}  // namespace tarvik
