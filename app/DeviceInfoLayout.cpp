// The Device Information page's value boxes: control numbers, labels and
// frames.
#include "app/DeviceInfoView.h"

#include "adapter/DeviceInfoText.h"

namespace tarvik {
namespace {

// Indexed by DeviceInfoField up to DI_FIELD_COUNT.
constexpr DeviceInfoControl kControls[] = {
    {1016, "Vendor Description:", FRAME_GENERAL_DEVICE},
    {1014, "Registry Description:", FRAME_GENERAL_DEVICE},
    {1015, "Device ID:", FRAME_GENERAL_DEVICE},
    {1013, "Physical Medium:", FRAME_GENERAL_DEVICE},
    {1017, "Link Speed:", FRAME_GENERAL_NETWORKING},
    {1012, "Signal Strength:", FRAME_WIRELESS},
    {1018, "Current MAC Address:", FRAME_GENERAL_DEVICE},
    {1019, "Permanent MAC Address:", FRAME_GENERAL_DEVICE},
    {1011, "Supported Network Types:", FRAME_WIRELESS},
    {1034, "IP Address:", FRAME_INTERNET_PROTOCOL},
    {1032, "Subnet Mask:", FRAME_INTERNET_PROTOCOL},
    {1033, "Default Gateway:", FRAME_INTERNET_PROTOCOL},
    {1031, "DNS Servers:", FRAME_INTERNET_PROTOCOL},
    {1035, "Transmit Power:", FRAME_WIRELESS},
    {1030, "RSSI Trigger Value:", FRAME_WIRELESS},
    {1036, "Best Supported Rate:", FRAME_WIRELESS},
    {1026, "DHCP Enabled:", FRAME_INTERNET_PROTOCOL},
    {1027, "DHCP Server:", FRAME_INTERNET_PROTOCOL},
    {1029, "Lease Obtained:", FRAME_INTERNET_PROTOCOL},
    {1028, "Lease Expires:", FRAME_INTERNET_PROTOCOL},
    {1038, "WINS Servers:", FRAME_INTERNET_PROTOCOL},
    {1020, "Media State:", FRAME_GENERAL_NETWORKING},
    {1024, "Network Mode:", FRAME_WIRELESS},
    {1021, "Authentication Mode:", FRAME_WIRELESS},
    {1022, "Encryption Status:", FRAME_WIRELESS},
    {1023, "SSID:", FRAME_WIRELESS},
    {1025, "BSSID Mac Address:", FRAME_WIRELESS},
    // The counters, as (total, this session) pairs.
    {1047, "Total Packets Transmitted:", FRAME_DRIVER_COUNTERS},
    {1051, "Packets Transmitted In This Session:", FRAME_DRIVER_COUNTERS},
    {1048, "Total Received Packets:", FRAME_DRIVER_COUNTERS},
    {1053, "Received Packets In This Session:", FRAME_DRIVER_COUNTERS},
    {1050, "Total Transmission Errors:", FRAME_DRIVER_COUNTERS},
    {1052, "Transmission Errors In This Session:", FRAME_DRIVER_COUNTERS},
    {1049, "Total Reception Errors:", FRAME_DRIVER_COUNTERS},
    {1054, "Reception Errors In This Session:", FRAME_DRIVER_COUNTERS},
};
static_assert(std::size(kControls) == DI_FIELD_COUNT + 8);

constexpr const char* kFrameTitles[FRAME_COUNT] = {
    "General Device Information", "Wireless Parameters", "General Networking Information",
    "Internet Protocol Information", "Driver Counters"};

}  // namespace

std::span<const DeviceInfoControl> DeviceInfoControls() {
    return kControls;
}

const char* DeviceInfoFrameTitle(DeviceInfoFrame frame) {
    return frame >= 0 && frame < FRAME_COUNT ? kFrameTitles[frame] : "";
}

}  // namespace tarvik
