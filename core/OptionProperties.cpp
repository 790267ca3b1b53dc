#include "core/OptionProperties.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "core/EventLog.h"

namespace tarvik {
namespace {

using O = CApplicationOptions;
using Member = SettingValue CApplicationOptions::*;

constexpr OptionChoice kComPorts[] = {
    {"COM1", 1}, {"COM2", 2}, {"COM3", 3}, {"COM4", 4},   {"COM5", 5},   {"COM6", 6},
    {"COM7", 7}, {"COM8", 8}, {"COM9", 9}, {"COM10", 10}, {"COM11", 11}, {"COM12", 12},
};
constexpr OptionChoice kBaudRates[] = {
    {"110 bps", 110},       {"300 bps", 300},       {"600 bps", 600},       {"1200 bps", 1200},
    {"2400 bps", 2400},     {"4800 bps", 4800},     {"9600 bps", 9600},     {"14400 bps", 14400},
    {"19200 bps", 19200},   {"38400 bps", 38400},   {"56000 bps", 56000},   {"57600 bps", 57600},
    {"115200 bps", 115200}, {"128000 bps", 128000}, {"256000 bps", 256000},
};
constexpr OptionChoice kDataBits[] = {{"5 bits", 5}, {"6 bits", 6}, {"7 bits", 7}, {"8 bits", 8}};
constexpr OptionChoice kParity[] = {{"None", 0}, {"Even", 2}, {"Odd", 1}};
constexpr OptionChoice kStopBits[] = {{"1 stop bit", 0}, {"1.5 stop bits", 1}, {"2 stop bits", 2}};
constexpr OptionChoice kHandshaking[] = {{"off", 0}, {"hardware", 1}, {"software", 2}};
constexpr OptionChoice kDataFormats[] = {{"NMEA 0183", 1}};
constexpr OptionChoice kAngleFormats[] = {{"ddmmss", 2}, {"ddmm", 1}, {"dd", 0}};
constexpr OptionChoice kSignalUnits[] = {{"dBm", 1}, {"Percentages", 2}};
constexpr OptionChoice kColouring[] = {{"encryption", 2}, {"signal strength", 3}};

constexpr OptionProperty Category(const char* label) {
    return {OptionKind::Category, label, "", nullptr, false, "", 0, 0, {}};
}
constexpr OptionProperty Number(const char* label, const char* help, Member member,
                                const char* unit, std::int32_t lower, std::int32_t upper,
                                bool indented = false) {
    return {OptionKind::Number, label, help, member, indented, unit, lower, upper, {}};
}
constexpr OptionProperty Switch(const char* label, const char* help, Member member,
                                bool indented = false) {
    return {OptionKind::Switch, label, help, member, indented, "", 0, 1, {}};
}
constexpr OptionProperty Choice(const char* label, const char* help, Member member,
                                std::span<const OptionChoice> choices, bool indented = false) {
    return {OptionKind::Choice, label, help, member, indented, "", 0, 0, choices};
}
constexpr OptionProperty Colour(const char* label, const char* help, Member member) {
    return {OptionKind::Colour, label, help, member, true, "", 0, kMaximumColour, {}};
}

constexpr bool kIndented = true;

const std::array kProperties{
    Category("Scanning"),
    Number("Soft Refresh Interval",
           "Decides how often Tarvik asks the driver of the wireless device for list of "
           "detected networks.",
           &O::SoftRefreshInterval, "sec", 1, 200),
    Number("Hard Refresh Interval",
           "Decides how often Tarvik instructs the driver of the wireless device to scan for "
           "networks.",
           &O::HardRefreshInterval, "sec", 2, 200),
    Switch("Remove Undetected Stations",
           "Remove Access Points which haven't been seen in a while from the network list.",
           &O::RemoveUndetectedAccessPoints),
    Number("Interval For Removing", "How long to wait before removing Access Points from the list.",
           &O::TimeBeforeClearingNotDetectedAccessPoints, "hits", 5, 200, kIndented),
    Switch("Remove From Memory",
           "When selected, networks that are not detected for a while are completely removed. "
           "They can no longer be saved to a file.",
           &O::ClearingAccessPointsHard, kIndented),
    Number("Maximum RSSI values Per BSSID",
           "Number of RSSI values to remember for each network. This is used for graphing RSSI "
           "values.",
           &O::MaximumRssiValuesPerBssid, "", 10, 20000),
    Number("Device Information Refresh Interval",
           "Determines how often the information shown in the Device Information dialog is "
           "updated.",
           &O::DeviceInfoRefreshInterval, "sec", 1, 200),
    Number("Hopping State Machine Interval",
           "Determines how quickly the hopping feature reacts to network changes.",
           &O::HoppingStateMachineInterval, "milliseconds", 500, 30000),
    Number("Not Detected Interval",
           "How many hits to wait before marking a network as being out of range.",
           &O::HitOutOfRangeInterval, "hits", 1, 20000),

    Category("Display"),
    Switch("Network Coloring", "Color network list based on encryption or signal strength.",
           &O::ColoringEnabled),
    Choice("Table Coloring Setup",
           "If encryption is selected, network background color is based on the type of "
           "encryption. If signal strength is selected, the network background is based on its "
           "signal strength.",
           &O::TableColorSetup, kColouring, kIndented),
    Colour("Color for Open Networks", "Background color for open networks.", &O::ColorOpenBlock),
    Colour("Color for WEP Networks", "Background color for WEP networks.", &O::ColorWEPBlock),
    Colour("Color for WPA Networks", "Background color for WPA networks.", &O::ColorWPABlock),
    Colour("Color for WPA2 Networks", "Background color for WPA2 networks.", &O::ColorWPA2Block),
    Colour("Undetected AP Text", "Text color for undetected networks.", &O::ColorOutOfRangeText),
    Colour("Color for Signal Strength",
           "Color used for the network with the highest signal strength.", &O::ColorSignalStrength),
    Choice("Signal Strength Units",
           "Selects between dBm or percentages when displaying RSSI values.",
           &O::UseDbmOrPercentage, kSignalUnits),
    Switch("Should Table Grid Lines", "Show Grid Lines on the network list.",
           &O::ShowTableGridLines),

    Category("Connectivity"),
    Number("EAPOL Negotiation Timeout",
           "Amount of time before giving up EAPOL Negotiation during WPA authentication.",
           &O::EapolNegotiationTimeout, "sec", 3, 200),
    Switch("Set BSSID Before Connecting",
           "Instruct the wireless device to use the specifically selected BSSID when connecting "
           "to an SSID.",
           &O::SetBssidBeforeConnecting),
    Switch("Use Disassociate For Disconnecting",
           "Use Disassociate OID when disconnecting. Works incorrectly on most wireless devices.",
           &O::UseDisassociateWhenDisconnecting),
    Switch("Use Shared Mode Authentication",
           "Instructs Tarvik to use Shared Mode Authentication instead of Open Mode "
           "Authentication when connecting to wireless networks.",
           &O::UseSharedModeInsteadOfOpen),
    Number("Media Status Notification Timeout",
           "Amount of time to wait for the wireless device to indicate the network media as "
           "connected before giving up.",
           &O::MediaStatusNotificationTimeout, "sec", 1, 500),
    Number("DHCP Address Acquisition Timeout",
           "Amount of time to wait for the interface to receive an IP address before giving up.",
           &O::DhcpAddressAquisitionTimeout, "sec", 1, 500),

    Category("GPS"),
    Choice("GPS Data Format", "Format of the GPS data generated by the GPS device.",
           &O::GpsDataFormat, kDataFormats),
    Choice("COM Port", "COM Port used to connect to the GPS device.", &O::ComPortNumber, kComPorts),
    Choice("Baud Rate", "Baud rate for connecting to the serial GPS device.", &O::ComBaudRate,
           kBaudRates),
    Choice("Data Bits", "Data bits used on the COM Port for the GPS device.", &O::ComDataBits,
           kDataBits),
    Choice("Parity", "Parity on the COM Port used for GPS.", &O::ComParity, kParity),
    Choice("Stop Bits", "Stop bits used for the COM Port for GPS.", &O::ComStopBits, kStopBits),
    Choice("Handshaking", "Handshaking on the COM Port used for the GPS device.",
           &O::ComHandshaking, kHandshaking),
    Choice("Angle Format", "Angle format used for displaying GPS data.", &O::GpsAngleFormat,
           kAngleFormats),

    Category("Saving"),
    Number("Auto Save Interval", "How often should Tarvik save the results when in Auto Save mode.",
           &O::AutoSaveInterval, "sec", 1, 500),
    Switch("Prompt To Save On Exit", "If no file is open, ask to save the scan results on exit.",
           &O::PromptToSaveOnExit),
    Switch("Save Open File On Exit",
           "Automatically save if a file is open, when exiting. You will no longer be prompted "
           "if you want to save changes.",
           &O::AutoSaveOpenFileOnExit),

    Category("System"),
    Switch("Auto Start on Login", "Automatically start Tarvik after login.", &O::AutoStartOnLogin),
    Switch("Stop WZCSVC On Start",
           "Stop Windows Zero Configuration or equivalent Windows wireless client when Tarvik "
           "starts.",
           &O::DoStopWZVSVCOnStart),
    Switch("Use NDIS IOCTL For Queries",
           "Bypass Tarvik Protocol Driver when performing queries on the wireless device.",
           &O::UseGlobalStatsForQueries),
    Switch("Do Not Disrupt Connections On Load",
           "If the wireless device connected to a network, try to prevent disconnecting on "
           "startup.",
           &O::DoNotDisruptConnectionsOnStartup),
    Switch("Minimize On Close", "Minimize the application when the close button is clicked.",
           &O::MinimizeToTrayOnClose),
    Switch("File Logging Enabled", "Determines if we should log program activities to a file.",
           &O::FileLoggingEnabled),
    Number("File Log Limit", "Maximum number of lines in the file log.", &O::FileLogMaxLines,
           "lines", 10, 10000),
};

const CApplicationOptions::Field* FieldOf(Member member) {
    for (const auto& field : CApplicationOptions::Fields()) {
        if (field.member == member) return &field;
    }
    return nullptr;
}

const OptionChoice* FindChoice(const OptionProperty& property, std::int32_t value) {
    for (const OptionChoice& choice : property.choices) {
        if (choice.value == value) return &choice;
    }
    return nullptr;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::int32_t> ParseColourText(std::string_view text) {
    text = Trimmed(text);
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint32_t rgb = 0;
    const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (error != std::errc{} || end != text.data() + 7) return std::nullopt;
    // #RRGGBB to 0x00BBGGRR.
    return static_cast<std::int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
}

// The repaired value of a field, or the value itself when it may stay.
std::int32_t RepairedValue(const OptionProperty& property, std::int32_t value,
                           std::int32_t defaultValue) {
    switch (property.kind) {
        case OptionKind::Number:
            return std::clamp(value, property.lower, property.upper);
        case OptionKind::Switch:
            return value == 0 ? 0 : 1;
        case OptionKind::Choice:
        case OptionKind::Colour:
            return IsValueAllowed(property, value) ? value : defaultValue;
        case OptionKind::Category:
            break;
    }
    return value;
}

}  // namespace

std::span<const OptionProperty> GetProperties() {
    return kProperties;
}

const OptionProperty* FindProperty(Member member) {
    if (member == nullptr) return nullptr;
    for (const OptionProperty& property : kProperties) {
        if (property.member == member) return &property;
    }
    return nullptr;
}

const OptionProperty* FindPropertyByName(std::string_view name) {
    for (const OptionProperty& property : kProperties) {
        if (property.member == nullptr) continue;
        if (name == property.label || name == ValueNameOf(property)) return &property;
    }
    return nullptr;
}

const char* ValueNameOf(const OptionProperty& property) {
    const CApplicationOptions::Field* field = FieldOf(property.member);
    return field != nullptr && field->valueName != nullptr ? field->valueName : "";
}

bool IsPropertyEnabled(const CApplicationOptions& options, const OptionProperty& property) {
    const Member m = property.member;
    if (m == &O::TableColorSetup || property.kind == OptionKind::Colour) {
        return options.ColoringEnabled != 0;
    }
    if (m == &O::TimeBeforeClearingNotDetectedAccessPoints || m == &O::ClearingAccessPointsHard) {
        return options.RemoveUndetectedAccessPoints != 0;
    }
    return true;
}

bool IsValueAllowed(const OptionProperty& property, std::int32_t value) {
    switch (property.kind) {
        case OptionKind::Number:
        case OptionKind::Switch:
        case OptionKind::Colour:
            return value >= property.lower && value <= property.upper;
        case OptionKind::Choice:
            return FindChoice(property, value) != nullptr;
        case OptionKind::Category:
            break;
    }
    return false;
}

std::optional<std::int32_t> ParseNumberText(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string FormatPropertyValue(const OptionProperty& property, std::int32_t value) {
    switch (property.kind) {
        case OptionKind::Switch:
            return value != 0 ? "on" : "off";
        case OptionKind::Choice:
            if (const OptionChoice* choice = FindChoice(property, value)) return choice->text;
            break;
        case OptionKind::Colour: {
            const auto bgr = static_cast<std::uint32_t>(value);
            char text[16];
            std::snprintf(text, sizeof text, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                          (bgr >> 16) & 0xFF);
            return text;
        }
        case OptionKind::Number:
        case OptionKind::Category:
            break;
    }
    return std::to_string(value);
}

std::optional<std::int32_t> ParsePropertyValue(const OptionProperty& property,
                                               std::string_view text) {
    switch (property.kind) {
        case OptionKind::Switch:
            if (Trimmed(text) == "on") return 1;
            if (Trimmed(text) == "off") return 0;
            return ParseNumberText(text);
        case OptionKind::Choice:
            for (const OptionChoice& choice : property.choices) {
                if (Trimmed(text) == choice.text) return choice.value;
            }
            return ParseNumberText(text);
        case OptionKind::Colour:
            return ParseColourText(text);
        case OptionKind::Number:
            return ParseNumberText(text);
        case OptionKind::Category:
            break;
    }
    return std::nullopt;
}

bool RepairOutOfRangeOptions(CApplicationOptions& options, Member member) {
    const OptionProperty* property = FindProperty(member);
    const CApplicationOptions::Field* field = FieldOf(member);
    if (property == nullptr || field == nullptr) return false;
    SettingValue& setting = options.*member;
    const std::int32_t value = setting;
    const std::int32_t fixed = RepairedValue(*property, value, field->defaultValue);
    if (fixed == value) return false;
    LogWarn("Setting \"%s\" holds %d, which is not allowed; using %d.", field->valueName, value,
            fixed);
    setting = fixed;
    return true;
}

}  // namespace tarvik
