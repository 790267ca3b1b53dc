#include "networks/NetworkList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "ndis/BssidList.h"
#include "ndis/ByteOrder.h"
#include "tests/networks/BssidTestSupport.h"

namespace tarvik {
namespace {

using namespace testing_support;

ndis::BssidEntry Network(std::uint8_t lastMacByte, std::int32_t rssi = -50) {
    return Entry(Fields(lastMacByte, rssi));
}

ndis::MacAddress MacOf(std::uint8_t lastMacByte) {
    return Fields(lastMacByte).macAddress;
}

std::vector<std::uint8_t> LastMacBytes(const CNetworkList& list) {
    std::vector<std::uint8_t> bytes;
    for (const BssidRecord& record : list.Records()) {
        bytes.push_back(record->Entry() ? record->Entry()->GetMacAddress()[5] : 0);
    }
    return bytes;
}

class NetworkListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list_.SetClock([this] { return now_; });
    }
    void Merge(const std::vector<ndis::BssidEntry>& entries) { list_.MergeEntries(entries); }
    CNetworkList list_;
    std::int32_t now_ = 1000;
};

TEST_F(NetworkListTest, MergeAppendsInOrderOfAppearanceAndUpdatesMatches) {
    Merge({Network(3), Network(1)});
    EXPECT_EQ(list_.ScanCounter(), 1u);
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{3, 1}));
    // Built in scan 0, so one list later the age is 1.
    EXPECT_EQ(list_.AgeOf(*list_.Records()[0]), 1u);
    now_ = 2000;
    Merge({Network(2), Network(3, -70)});
    EXPECT_EQ(list_.ScanCounter(), 2u);
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{3, 1, 2}));
    const CBssid& updated = *list_.Records()[0];
    EXPECT_EQ(updated.Entry()->Rssi(), -70);
    EXPECT_EQ(updated.FirstSeen(), 1000);
    EXPECT_EQ(updated.LastSeen(), 2000);
    EXPECT_EQ(updated.LastSeenScan(), 1u);
    EXPECT_EQ(list_.AgeOf(updated), 1u);
    EXPECT_EQ(list_.AgeOf(*list_.Records()[1]), 2u);
}

// Every list counts, even one without items or a damaged one, whose items
// before the damage are kept; counter differences wrap.
TEST_F(NetworkListTest, EveryListCountsEvenEmptyOrDamaged) {
    list_.SetScanCounter(0xFFFFFFFFu);
    std::vector<std::uint8_t> bytes = ndis::BuildBssidList(std::vector{Fields(1), Fields(2)});
    bytes.resize(bytes.size() - 10);  // the second item runs past the reply
    list_.MergeBssidList(bytes);
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(list_.ScanCounter(), 0u);
    EXPECT_EQ(list_.AgeOf(*list_.Records()[0]), 1u);
    list_.MergeBssidList(ndis::BuildBssidList(std::span<const ndis::BssidEntryFields>{}));
    list_.MergeBssidList(std::vector<std::uint8_t>{1, 0});  // not even a header
    EXPECT_EQ(list_.ScanCounter(), 2u);
    EXPECT_EQ(list_.Size(), 1u);
    EXPECT_EQ(list_.AgeOf(*list_.Records()[0]), 3u);
}

// An item whose IELength runs past it keeps its network; the elements that
// fit inside the item are read.
TEST_F(NetworkListTest, ItemWithOverlongElementsKeepsItsNetwork) {
    std::vector<ndis::BssidEntryFields> fields{Fields(1), Fields(2, -50, 1)};
    fields[1].elements = testing_support::kRsnPskCcmp;
    std::vector<std::uint8_t> bytes = ndis::BuildBssidList(fields);
    const std::size_t second = 4 + ndis::BuildBssidEntry(fields[0]).size();
    ndis::StoreLe32(&bytes[second + ndis::bssid_ex_layout::kIeLength], 400);
    list_.MergeBssidList(bytes);
    ASSERT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_TRUE(list_.Records()[1]->IsWpa2());
}

// Two records with one address (a scan file brought in a duplicate): the
// earlier one in list order takes every match until it is removed. A record
// without an entry matches nothing.
TEST_F(NetworkListTest, FirstRecordInListOrderWinsAmongDuplicates) {
    list_.Append(std::make_shared<CBssid>());
    list_.Append(std::make_shared<CBssid>(Network(7, -40), 0));
    list_.Append(std::make_shared<CBssid>(Network(8, -40), 0));
    list_.Append(std::make_shared<CBssid>(Network(7, -45), 0));
    const BssidRecord first = list_.Records()[1];
    const BssidRecord duplicate = list_.Records()[3];
    Merge({Network(7, -60)});
    EXPECT_EQ(first->Entry()->Rssi(), -60);
    EXPECT_EQ(duplicate->Entry()->Rssi(), -45);
    EXPECT_EQ(list_.FindByMac(MacOf(7)), first);
    EXPECT_EQ(list_.Size(), 4u);
    list_.RemoveIf([&](const CBssid& record) { return &record == first.get(); });
    EXPECT_EQ(list_.FindByMac(MacOf(7)), duplicate);
    Merge({Network(7, -80)});
    EXPECT_EQ(duplicate->Entry()->Rssi(), -80);
    EXPECT_EQ(list_.Size(), 3u);
    EXPECT_EQ(list_.Records()[0]->Entry(), nullptr);
    EXPECT_EQ(list_.MatchEntry(Network(7)), duplicate);
    EXPECT_EQ(duplicate->LastSeenScan(), list_.ScanCounter());
}

TEST_F(NetworkListTest, RemovalKeepsOrderAcrossConsecutiveRemovedRecords) {
    Merge({Network(1), Network(2), Network(3), Network(4), Network(5), Network(6)});
    const std::vector<BssidRecord> removed = list_.RemoveIf([](const CBssid& record) {
        const std::uint8_t last = record.Entry()->GetMacAddress()[5];
        return last == 2 || last == 3 || last == 4 || last == 6;
    });
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{1, 5}));
    ASSERT_EQ(removed.size(), 4u);
    EXPECT_EQ(removed[0]->Entry()->GetMacAddress()[5], 2);
    EXPECT_EQ(removed[3]->Entry()->GetMacAddress()[5], 6);
    EXPECT_EQ(list_.FindByMac(MacOf(3)), nullptr);
    // A removed address that comes back is a new record at the end.
    Merge({Network(3)});
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{1, 5, 3}));
    EXPECT_NE(list_.Records()[2], removed[1]);
}

TEST_F(NetworkListTest, RemoveOlderThanKeepsAgeEqualToTheLimit) {
    Merge({Network(1), Network(2)});  // both age 1
    Merge({Network(2)});              // 1: age 2, 2: age 1
    EXPECT_TRUE(list_.RemoveOlderThan(2).empty());
    Merge({Network(2)});  // 1: age 3
    EXPECT_EQ(list_.RemoveOlderThan(2).size(), 1u);
    EXPECT_EQ(LastMacBytes(list_), (std::vector<std::uint8_t>{2}));
}

TEST_F(NetworkListTest, ClearedRecordsLiveWhileSomeoneHoldsThem) {
    Merge({Network(1), Network(2)});
    const BssidRecord held = list_.Records()[0];
    const std::weak_ptr<CBssid> released = list_.Records()[1];
    const std::uint32_t counter = list_.ScanCounter();
    list_.Clear();
    EXPECT_TRUE(list_.Empty());
    EXPECT_EQ(list_.ScanCounter(), counter);
    EXPECT_TRUE(released.expired());
    EXPECT_EQ(held->Entry()->GetMacAddress()[5], 1);
    EXPECT_EQ(list_.FindByMac(MacOf(1)), nullptr);
    now_ = 5000;
    Merge({Network(1)});
    EXPECT_NE(list_.Records()[0], held);
    EXPECT_EQ(list_.Records()[0]->FirstSeen(), 5000);
}

// The receive thread looks up the connected network while the main thread
// merges, purges and clears. Run under the sanitizers (TSan: data races).
TEST_F(NetworkListTest, LookUpFromAnotherThreadWhileTheListChanges) {
    std::atomic<bool> stop{false};
    std::atomic<int> found{0};
    std::thread receiver([&] {
        std::uint8_t last = 0;
        while (!stop.load()) {
            last = static_cast<std::uint8_t>((last + 1) % 32);
            if (const std::optional<NetworkLookup> hit = list_.LookUpByMac(MacOf(last))) {
                if (hit->entry.GetMacAddress() != MacOf(last) || !hit->record) std::abort();
                found.fetch_add(1);
            }
            if (list_.Snapshot().size() > 64) std::abort();
        }
    });
    for (int round = 0; round < 400; ++round) {
        std::vector<ndis::BssidEntry> entries;
        for (int i = 0; i < 8; ++i) {
            entries.push_back(
                Network(static_cast<std::uint8_t>((round * 3 + i * 5) % 32), -40 - (round % 50)));
        }
        list_.MergeEntries(entries);
        if (round % 7 == 0) list_.Append(std::make_shared<CBssid>(Network(0), 0));
        list_.RemoveOlderThan(4);
        if (round % 97 == 0) list_.Clear();
    }
    // Leave something to find, so the reader's path is exercised for sure.
    Merge({Network(5)});
    while (found.load() == 0) std::this_thread::yield();
    stop.store(true);
    receiver.join();
    EXPECT_GT(found.load(), 0);
}

}  // namespace
}  // namespace tarvik
