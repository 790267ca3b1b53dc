// System-wide result codes. Operations return one of these, plain success
// (0), a generic failure (-1), or a Win32 error number passed through.
#pragma once

#include <cstdint>

namespace tarvik {

using Result = std::int32_t;

inline constexpr Result RES_SUCCESS = 0;
inline constexpr Result RES_FAILURE = -1;

// Driver channel
inline constexpr Result RES_BINDINGS_FAILED = 1015;
inline constexpr Result RES_BINDINGS_DONE = 1017;

// Adapter operations
inline constexpr Result RES_DISASSOCIATE_FAILED = 1020;
inline constexpr Result RES_DISASSOCIATE_DONE = 1021;
inline constexpr Result RES_SET_INFRASTRUCTURE_FAILED = 1022;
inline constexpr Result RES_SET_SSID_FAILED = 1024;
inline constexpr Result RES_ADD_KEY_FAILED = 1026;
inline constexpr Result RES_SET_ENCRYPTION_FAILED = 1028;
inline constexpr Result RES_SET_AUTHENTICATION_FAILED = 1032;

// Scan files
inline constexpr Result RES_FILE_SAVED = 1063;
inline constexpr Result RES_ARCHIVE_FAILED = 1064;
inline constexpr Result RES_FILE_OPEN_FAILED = 1065;
inline constexpr Result RES_FILE_CLOSED = 1079;
inline constexpr Result RES_CLOSE_CANCELLED = 1080;
inline constexpr Result RES_SAVE_CANCELLED = 1081;

// Scanning
inline constexpr Result RES_SCAN_REQUEST_FAILED = 1067;
inline constexpr Result RES_BSSID_LIST_OBTAINED = 1069;
inline constexpr Result RES_BSSID_LIST_FAILED = 1070;

// Link state and address waits
inline constexpr Result RES_CONNECTION_QUERY_FAILED = 1071;
inline constexpr Result RES_CONNECTION_STATES_UPDATED = 1072;
inline constexpr Result RES_MEDIA_WAIT_TIMEOUT = 1073;
inline constexpr Result RES_ADDRESS_WAIT_TIMEOUT = 1074;
inline constexpr Result RES_ADDRESS_OBTAINED = 1075;
inline constexpr Result RES_MEDIA_CONNECTED = 1076;
inline constexpr Result RES_MEDIA_DISCONNECTED = 1077;
inline constexpr Result RES_CONNECTED_NO_ADDRESS = 1078;

// Profiles
inline constexpr Result RES_PROFILE_FOUND = 1087;
inline constexpr Result RES_PROFILE_NOT_FOUND = 1088;

// Frames
inline constexpr Result RES_PACKET_WRITE_FAILED = 1089;
inline constexpr Result RES_PACKET_WRITTEN = 1090;

// Key prompt
inline constexpr Result RES_KEY_CANCELLED = 1094;
inline constexpr Result RES_KEY_OBTAINED = 1095;

// Cipher choice
inline constexpr Result RES_WEP_NOT_AVAILABLE = 1096;
inline constexpr Result RES_CCMP_NOT_AVAILABLE = 1097;
inline constexpr Result RES_TKIP_NOT_AVAILABLE = 1098;
inline constexpr Result RES_NO_USABLE_WPA_CONFIGURATION = 1099;

// Connecting
inline constexpr Result RES_KEY_EXCHANGE_TIMEOUT = 1102;
inline constexpr Result RES_KEY_EXCHANGE_FAILED = 1103;
inline constexpr Result RES_OPEN_CONNECTED = 1111;
inline constexpr Result RES_WEP_CONNECTED = 1112;

// Editing a setting (the Options dialog, tarvik-cli options)
inline constexpr Result RES_OPTION_ACCEPTED = 1301;
inline constexpr Result RES_OPTION_UNCHANGED = 1302;
inline constexpr Result RES_OPTION_REFUSED = 1303;
inline constexpr Result RES_OPTION_DISABLED = 1304;

// Win32 error numbers that cross the platform layers unchanged.
inline constexpr Result ERROR_INVALID_FUNCTION = 1;
inline constexpr Result ERROR_FILE_NOT_FOUND = 2;
inline constexpr Result ERROR_PATH_NOT_FOUND = 3;
inline constexpr Result ERROR_ACCESS_DENIED = 5;
inline constexpr Result ERROR_INVALID_HANDLE = 6;
inline constexpr Result ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr Result ERROR_GEN_FAILURE = 31;
inline constexpr Result ERROR_NOT_SUPPORTED = 50;
inline constexpr Result ERROR_INVALID_PARAMETER = 87;
inline constexpr Result ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr Result ERROR_NO_MORE_ITEMS = 259;
inline constexpr Result ERROR_OPERATION_ABORTED = 995;
inline constexpr Result ERROR_IO_PENDING = 997;
inline constexpr Result ERROR_ALREADY_INITIALIZED = 1247;
inline constexpr Result ERROR_TIMEOUT = 1460;
inline constexpr Result ERROR_INVALID_USER_BUFFER = 1784;

}  // namespace tarvik
