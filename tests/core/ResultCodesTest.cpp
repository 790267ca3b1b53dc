#include "core/ResultCodes.h"

#include <gtest/gtest.h>

#include <set>

namespace tarvik {
namespace {

// Callers compare against specific codes, so two names sharing a value would
// make one success look like another.
TEST(ResultCodes, AreDistinct) {
    const Result codes[] = {
        RES_BINDINGS_FAILED,
        RES_BINDINGS_DONE,
        RES_DISASSOCIATE_FAILED,
        RES_DISASSOCIATE_DONE,
        RES_SET_INFRASTRUCTURE_FAILED,
        RES_SET_SSID_FAILED,
        RES_ADD_KEY_FAILED,
        RES_SET_ENCRYPTION_FAILED,
        RES_SET_AUTHENTICATION_FAILED,
        RES_FILE_SAVED,
        RES_ARCHIVE_FAILED,
        RES_FILE_OPEN_FAILED,
        RES_FILE_CLOSED,
        RES_CLOSE_CANCELLED,
        RES_SAVE_CANCELLED,
        RES_SCAN_REQUEST_FAILED,
        RES_BSSID_LIST_OBTAINED,
        RES_BSSID_LIST_FAILED,
        RES_CONNECTION_QUERY_FAILED,
        RES_CONNECTION_STATES_UPDATED,
        RES_MEDIA_WAIT_TIMEOUT,
        RES_ADDRESS_WAIT_TIMEOUT,
        RES_ADDRESS_OBTAINED,
        RES_MEDIA_CONNECTED,
        RES_MEDIA_DISCONNECTED,
        RES_CONNECTED_NO_ADDRESS,
        RES_PROFILE_FOUND,
        RES_PROFILE_NOT_FOUND,
        RES_PACKET_WRITE_FAILED,
        RES_PACKET_WRITTEN,
        RES_KEY_CANCELLED,
        RES_KEY_OBTAINED,
        RES_KEY_EXCHANGE_TIMEOUT,
        RES_KEY_EXCHANGE_FAILED,
        RES_OPEN_CONNECTED,
        RES_WEP_CONNECTED,
    };
    std::set<Result> seen;
    for (Result code : codes) {
        EXPECT_GE(code, 1000);
        EXPECT_TRUE(seen.insert(code).second) << code;
    }
}

}  // namespace
}  // namespace tarvik
