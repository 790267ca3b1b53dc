#include "networks/BssidListFetch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ndis/Oids.h"
#include "tests/core/LogCapture.h"

namespace tarvik {
namespace {

// An adapter whose list needs `needed` bytes: smaller buffers get
// `tooSmall` (with the size needed when `tellsSize`), a fitting one gets the
// list (bytes 0, 1, 2, ...). Every query, set and merged list is kept.
struct FetchRun {
    std::uint32_t needed = 0;
    Result tooSmall = ERROR_INSUFFICIENT_BUFFER;
    bool tellsSize = false;
    std::uint32_t largest = 0xFFFFFFFF;
    Result setResult = 0;
    std::vector<std::size_t> bufferSizes{};
    std::vector<std::uint32_t> oids{}, sets{};
    std::vector<std::vector<std::uint8_t>> merged{};

    Result Fetch(bool scanFirst) {
        const auto query = [this](std::uint32_t oid, std::span<std::uint8_t> buffer,
                                  std::uint32_t& bytesReturned) {
            oids.push_back(oid);
            bufferSizes.push_back(buffer.size());
            if (buffer.size() < needed) {
                if (tellsSize) bytesReturned = needed;
                return tooSmall;
            }
            for (std::uint32_t i = 0; i < needed; ++i) buffer[i] = static_cast<std::uint8_t>(i);
            bytesReturned = needed;
            return Result{0};
        };
        const auto set = [this](std::uint32_t oid, std::span<const std::uint8_t> data) {
            EXPECT_TRUE(data.empty());
            sets.push_back(oid);
            return setResult;
        };
        const auto merge = [this](std::span<const std::uint8_t> bytes) {
            merged.emplace_back(bytes.begin(), bytes.end());
        };
        return FetchBssidList(scanFirst, query, set, merge, largest);
    }
};

// How many queries a fetch makes and with which buffers. A driver that tells
// the size it needs is asked once more with exactly that; one that tells
// nothing gets 100 bytes more each time, up to the thousandth retry; more
// than the query path can carry fails at once. No list is merged on failure.
TEST(BssidListFetchTest, QueriesUntilTheListFits) {
    constexpr Result kShort = ERROR_INSUFFICIENT_BUFFER, kInvalid = ERROR_INVALID_USER_BUFFER;
    constexpr Result kOk = RES_BSSID_LIST_OBTAINED, kFail = RES_BSSID_LIST_FAILED;
    constexpr std::uint32_t kAny = 0xFFFFFFFF;
    const struct {
        const char* name;
        std::uint32_t needed;
        Result tooSmall;
        bool tellsSize;
        std::uint32_t largest;
        Result result;
        std::size_t queries, lastSize;
        const char* logged;
    } rows[] = {
        {"CitySizeTold", 3'000'000, kShort, true, kAny, kOk, 2, 3'000'000, ""},
        {"CitySizeToldInvalidBuffer", 3'000'000, kInvalid, true, kAny, kOk, 2, 3'000'000, ""},
        {"NoSizeTold", 2450, kShort, false, kAny, kOk, 6, 2500, ""},
        {"BeyondTheLargestQuery", 60'000, kShort, true, 50'000, kFail, 1, 2000,
         "The BSSID list needs more than 50000 bytes"},
        {"NeverFits", kAny, kShort, false, kAny, kFail, 1000, 2000 + 999 * 100,
         "did not fit in a buffer of 101900 bytes after 1000 attempts"},
        {"EmptyReply", 0, kShort, false, kAny, kFail, 1, 2000, ""},
        {"OtherError", 5000, ERROR_GEN_FAILURE, true, kAny, kFail, 1, 2000, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        LogCapture log(folder.Path());
        FetchRun run{.needed = row.needed,
                     .tooSmall = row.tooSmall,
                     .tellsSize = row.tellsSize,
                     .largest = row.largest};
        EXPECT_EQ(run.Fetch(false), row.result);
        ASSERT_EQ(run.bufferSizes.size(), row.queries);
        EXPECT_EQ(run.bufferSizes.back(), row.lastSize);
        EXPECT_EQ(run.oids, std::vector<std::uint32_t>(row.queries, ndis::OID_802_11_BSSID_LIST));
        EXPECT_TRUE(run.sets.empty());
        if (row.result == RES_BSSID_LIST_OBTAINED) {
            ASSERT_EQ(run.merged.size(), 1u);
            ASSERT_EQ(run.merged[0].size(), row.needed);  // the bytes returned, not the buffer
            EXPECT_EQ(run.merged[0].back(), static_cast<std::uint8_t>(row.needed - 1));
        } else {
            EXPECT_TRUE(run.merged.empty());
        }
        EXPECT_NE(ReadFileText(log.LogFile()).find(row.logged), std::string::npos);
    }
}

TEST(BssidListFetchTest, HardRefreshAsksForAScanFirst) {
    FetchRun run{.needed = 100};
    EXPECT_EQ(run.Fetch(true), RES_BSSID_LIST_OBTAINED);
    EXPECT_EQ(run.sets, (std::vector<std::uint32_t>{ndis::OID_802_11_BSSID_LIST_SCAN}));
    FetchRun refused{.setResult = ERROR_NOT_SUPPORTED};
    EXPECT_EQ(refused.Fetch(true), RES_SCAN_REQUEST_FAILED);
    EXPECT_TRUE(refused.bufferSizes.empty());
}

TEST(BssidListFetchTest, ByteCountBeyondTheBufferIsCut) {
    const Result result = FetchBssidList(
        false,
        [](std::uint32_t, std::span<std::uint8_t> buffer, std::uint32_t& bytes) {
            std::memset(buffer.data(), 0xAB, buffer.size());
            bytes = 1'000'000;
            return Result{0};
        },
        [](std::uint32_t, std::span<const std::uint8_t>) { return Result{0}; },
        [](std::span<const std::uint8_t> bytes) { EXPECT_EQ(bytes.size(), 2000u); }, 0xFFFFFFFF);
    EXPECT_EQ(result, RES_BSSID_LIST_OBTAINED);
}

}  // namespace
}  // namespace tarvik
