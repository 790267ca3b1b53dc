// Published NDIS enumerations and small shared types. Values cross the
// driver channel as 32-bit little-endian integers.
#pragma once

#include <array>
#include <cstdint>

namespace tarvik::ndis {

using MacAddress = std::array<std::uint8_t, 6>;

enum NDIS_802_11_NETWORK_INFRASTRUCTURE : std::uint32_t {
    Ndis802_11IBSS = 0,
    Ndis802_11Infrastructure = 1,
    Ndis802_11AutoUnknown = 2,
};

enum NDIS_802_11_AUTHENTICATION_MODE : std::uint32_t {
    Ndis802_11AuthModeOpen = 0,
    Ndis802_11AuthModeShared = 1,
    Ndis802_11AuthModeAutoSwitch = 2,
    Ndis802_11AuthModeWPA = 3,
    Ndis802_11AuthModeWPAPSK = 4,
    Ndis802_11AuthModeWPANone = 5,
    Ndis802_11AuthModeWPA2 = 6,
    Ndis802_11AuthModeWPA2PSK = 7,
};

enum NDIS_802_11_ENCRYPTION_STATUS : std::uint32_t {
    Ndis802_11Encryption1Enabled = 0,  // WEP
    Ndis802_11EncryptionDisabled = 1,
    Ndis802_11Encryption1KeyAbsent = 2,
    Ndis802_11EncryptionNotSupported = 3,
    Ndis802_11Encryption2Enabled = 4,  // TKIP
    Ndis802_11Encryption2KeyAbsent = 5,
    Ndis802_11Encryption3Enabled = 6,  // AES-CCMP
    Ndis802_11Encryption3KeyAbsent = 7,
};

enum NDIS_802_11_NETWORK_TYPE : std::uint32_t {
    Ndis802_11FH = 0,
    Ndis802_11DS = 1,
    Ndis802_11OFDM5 = 2,
    Ndis802_11OFDM24 = 3,
    Ndis802_11Automode = 4,
};

enum NDIS_MEDIA_STATE : std::uint32_t {
    NdisMediaStateConnected = 0,
    NdisMediaStateDisconnected = 1,
};

enum NDIS_PHYSICAL_MEDIUM : std::uint32_t {
    NdisPhysicalMediumUnspecified = 0,
    NdisPhysicalMediumWirelessLan = 1,
    NdisPhysicalMediumCableModem = 2,
    NdisPhysicalMediumPhoneLine = 3,
    NdisPhysicalMediumPowerLine = 4,
    NdisPhysicalMediumDSL = 5,
    NdisPhysicalMediumFibreChannel = 6,
    NdisPhysicalMedium1394 = 7,
    NdisPhysicalMediumWirelessWan = 8,
    NdisPhysicalMediumNative802_11 = 9,
    NdisPhysicalMediumBluetooth = 10,
    NdisPhysicalMediumInfiniband = 11,
    NdisPhysicalMediumWiMax = 12,
    NdisPhysicalMediumUWB = 13,
    NdisPhysicalMedium802_3 = 14,
};

}  // namespace tarvik::ndis
