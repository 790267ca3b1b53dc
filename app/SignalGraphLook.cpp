#include "app/SignalGraphLook.h"

#include <cstdio>

#include "networks/NetworkColumns.h"
#include "platform/Version.h"

namespace tarvik {
namespace {

std::string MacText(const CBssid& record) {
    if (!record.Entry()) return "";
    const ndis::MacAddress mac = record.Entry()->GetMacAddress();
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace

std::optional<GraphColour> SignalLineColour(std::uint8_t lastMacByte) {
    if (lastMacByte <= 63) return GraphColour{0.196F, 1.0F, 0.196F, 1.0F};
    if (lastMacByte <= 127) return GraphColour{0.2F, 0.8F, 1.0F, 1.0F};
    if (lastMacByte <= 191) return GraphColour{1.0F, 0.4F, 0.2F, 1.0F};
    return std::nullopt;
}

SignalGraphLook SignalGraphLookOf(CBssid& record) {
    SignalGraphLook look;
    look.title = SsidText(record) + " " + MacText(record);
    if (record.Entry()) look.lineColour = SignalLineColour(record.Entry()->GetMacAddress()[5]);
    look.leftLabel = kSignalAxisLabel;
    look.rightLabel = kSignalAxisLabel;
    look.bottomLabel = std::string("Tarvik ") + kTarvikVersion;
    return look;
}

}  // namespace tarvik
