#include "networks/BssidListFetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ndis/Oids.h"

namespace tarvik {
namespace {

// An adapter whose list needs `needed` bytes: smaller buffers get
// `tooSmall`, a fitting one gets the list (bytes 0, 1, 2, ...).
struct FakeListQuery {
    std::uint32_t needed = 0;
    Result tooSmall = ERROR_INSUFFICIENT_BUFFER;
    std::vector<std::size_t> bufferSizes;
    std::vector<std::uint32_t> oids;

    Result operator()(std::uint32_t oid, std::span<std::uint8_t> buffer,
                      std::uint32_t& bytesReturned) {
        oids.push_back(oid);
        bufferSizes.push_back(buffer.size());
        if (buffer.size() < needed) return tooSmall;
        for (std::uint32_t i = 0; i < needed; ++i) buffer[i] = static_cast<std::uint8_t>(i);
        bytesReturned = needed;
        return 0;
    }
};

struct FetchRun {
    FakeListQuery query;
    Result setResult = 0;
    std::vector<std::uint32_t> sets;
    std::vector<std::vector<std::uint8_t>> merged;

    Result Fetch(bool scanFirst) {
        return FetchBssidList(
            scanFirst,
            [this](std::uint32_t oid, std::span<std::uint8_t> buffer, std::uint32_t& bytes) {
                return query(oid, buffer, bytes);
            },
            [this](std::uint32_t oid, std::span<const std::uint8_t> data) {
                EXPECT_TRUE(data.empty());
                sets.push_back(oid);
                return setResult;
            },
            [this](std::span<const std::uint8_t> bytes) {
                merged.emplace_back(bytes.begin(), bytes.end());
            });
    }
};

TEST(BssidListFetchTest, ListOf2450BytesArrivesOnTheSixthQuery) {
    for (const Result tooSmall : {ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_USER_BUFFER}) {
        FetchRun run;
        run.query.needed = 2450;
        run.query.tooSmall = tooSmall;
        EXPECT_EQ(run.Fetch(false), RES_BSSID_LIST_OBTAINED);
        EXPECT_EQ(run.query.bufferSizes,
                  (std::vector<std::size_t>{2000, 2100, 2200, 2300, 2400, 2500}));
        EXPECT_TRUE(
            std::all_of(run.query.oids.begin(), run.query.oids.end(),
                        [](std::uint32_t oid) { return oid == ndis::OID_802_11_BSSID_LIST; }));
        EXPECT_TRUE(run.sets.empty());
        ASSERT_EQ(run.merged.size(), 1u);
        ASSERT_EQ(run.merged[0].size(), 2450u);  // the bytes returned, not the buffer
        EXPECT_EQ(run.merged[0][2449], static_cast<std::uint8_t>(2449));
    }
}

TEST(BssidListFetchTest, HardRefreshAsksForAScanFirst) {
    FetchRun run;
    run.query.needed = 100;
    EXPECT_EQ(run.Fetch(true), RES_BSSID_LIST_OBTAINED);
    EXPECT_EQ(run.sets, (std::vector<std::uint32_t>{ndis::OID_802_11_BSSID_LIST_SCAN}));

    FetchRun refused;
    refused.setResult = ERROR_NOT_SUPPORTED;
    EXPECT_EQ(refused.Fetch(true), RES_SCAN_REQUEST_FAILED);
    EXPECT_TRUE(refused.query.bufferSizes.empty());
    EXPECT_TRUE(refused.merged.empty());
}

// A list that never fits ends after the thousandth retry as a failure, not as
// a fetched list: nothing is merged.
TEST(BssidListFetchTest, GivesUpAfterAThousandRetries) {
    FetchRun run;
    run.query.needed = 0xFFFFFFFF;
    EXPECT_EQ(run.Fetch(false), RES_BSSID_LIST_FAILED);
    ASSERT_EQ(run.query.bufferSizes.size(), kBssidListMaxRetries);
    EXPECT_EQ(run.query.bufferSizes.back(), 2000u + 999u * 100u);
    EXPECT_TRUE(run.merged.empty());
}

TEST(BssidListFetchTest, EmptyReplyAndOtherErrorsFail) {
    FetchRun empty;  // needed 0: success with no bytes
    EXPECT_EQ(empty.Fetch(false), RES_BSSID_LIST_FAILED);
    EXPECT_TRUE(empty.merged.empty());

    FetchRun broken;
    broken.query.needed = 5000;
    broken.query.tooSmall = ERROR_GEN_FAILURE;
    EXPECT_EQ(broken.Fetch(false), RES_BSSID_LIST_FAILED);
    EXPECT_EQ(broken.query.bufferSizes.size(), 1u);
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
        [](std::span<const std::uint8_t> bytes) { EXPECT_EQ(bytes.size(), 2000u); });
    EXPECT_EQ(result, RES_BSSID_LIST_OBTAINED);
}

}  // namespace
}  // namespace tarvik
