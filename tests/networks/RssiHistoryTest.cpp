#include "networks/RssiHistory.h"

#include <gtest/gtest.h>

#include "networks/Bssid.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

// The sample appended at step k (1, 2, ...): a different value each step
// for a while, within what a byte holds.
int SampleAt(std::uint32_t step) {
    return -static_cast<int>(step % 120);
}

// `steps` samples appended at the limit `before`, then one more at `after`:
// the ring keeps the newest, drops the oldest, and gives its memory back
// when the limit falls far below what it holds.
TEST(RssiHistoryTest, KeepsTheNewestSamplesUpToTheLimit) {
    struct Case {
        const char* name;
        std::uint32_t before, steps, after, size;
    };
    const Case cases[] = {
        {"ten after fifteen steps", 10, 14, 10, 10},
        {"lowered 2000 to 100", 2000, 2000, 100, 100},
        {"raised 10 to 50", 10, 30, 50, 11},
        {"a limit below one keeps one", 5, 5, 0, 1},
        {"a limit above the cap", 30000, 20005, 30000, kRssiHistoryLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRssiHistory history;
        for (std::uint32_t step = 1; step <= c.steps; ++step) {
            history.Append(SampleAt(step), c.before);
        }
        history.Append(SampleAt(c.steps + 1), c.after);
        std::vector<double> expected;
        for (std::uint32_t step = c.steps + 2 - c.size; step <= c.steps + 1; ++step) {
            expected.push_back(SampleAt(step));
        }
        EXPECT_EQ(history.Values(), expected);
        EXPECT_LE(history.Capacity(), std::max<std::size_t>(c.size, 64) * 2 + 64);
    }
}

// Storage comes with the first sample and grows in steps; a sample is a byte.
TEST(RssiHistoryTest, GrowsInStepsAndClampsToOneByte) {
    CRssiHistory history;
    EXPECT_EQ(history.Capacity(), 0u);
    for (int dbm : {-300, 200, -50}) history.Append(dbm, 2000);
    EXPECT_EQ(history.Values(), (std::vector<double>{-127, 127, -50}));
    EXPECT_EQ(history.Capacity(), 64u);
}

// The record's sample: its RSSI, or a gap (never a made-up 0 dBm) while
// scanning is off, the network is not detected or there is no entry.
TEST(RssiHistoryTest, RecordSamplesItsRssiOrAGap) {
    struct Case {
        const char* name;
        bool entry, scanning;
        std::uint32_t status;
        std::optional<std::int32_t> sample;
    };
    const Case cases[] = {
        {"in range", true, true, STATUS_NOT_CONNECTED, -61},
        {"connected", true, true, STATUS_CONNECTED, -61},
        {"scanning off", true, false, STATUS_NOT_CONNECTED, std::nullopt},
        {"not detected", true, true, STATUS_NOT_DETECTED, std::nullopt},
        {"no entry", false, true, STATUS_NOT_CONNECTED, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CBssid record;
        if (c.entry) record.UpdateFromEntry(Entry(Fields(0x01, -61)), 1);
        record.SetConnectionStatus(c.status);
        record.SampleRssi(c.scanning, 10);
        ASSERT_EQ(record.RssiHistory().Size(), 1u);
        EXPECT_EQ(record.RssiHistory().At(0), c.sample);
        EXPECT_EQ(IsNoRssiSample(record.RssiHistory().Values()[0]), !c.sample);
    }
}

}  // namespace
}  // namespace tarvik
