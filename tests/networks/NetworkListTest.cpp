#include "networks/NetworkList.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ndis/BssidList.h"
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
    EXPECT_EQ(list_.AgeOf(*list_.Records()[1]), 2u);
}

// Every list counts, even one without items or a damaged one; counter
// differences wrap.
TEST_F(NetworkListTest, EveryListCountsEvenEmptyOrDamaged) {
    list_.SetScanCounter(0xFFFFFFFFu);
    Merge({Network(1)});
    EXPECT_EQ(list_.ScanCounter(), 0u);
    EXPECT_EQ(list_.AgeOf(*list_.Records()[0]), 1u);
    list_.MergeBssidList(ndis::BuildBssidList(std::span<const ndis::BssidEntryFields>{}));
    list_.MergeBssidList(std::vector<std::uint8_t>{1, 0});  // not even a header
    EXPECT_EQ(list_.ScanCounter(), 2u);
    EXPECT_EQ(list_.AgeOf(*list_.Records()[0]), 3u);
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
    EXPECT_EQ(list_.Records()[0]->Entry(), nullptr);
    EXPECT_EQ(list_.MatchEntry(Network(7)), duplicate);
    EXPECT_EQ(duplicate->LastSeenScan(), list_.ScanCounter());
}

// After a clear an address seen again is a new record.
TEST_F(NetworkListTest, ClearForgetsEveryAddress) {
    Merge({Network(1), Network(2)});
    const BssidRecord held = list_.Records()[0];
    list_.Clear();
    EXPECT_EQ(list_.FindByMac(MacOf(1)), nullptr);
    now_ = 5000;
    Merge({Network(1)});
    EXPECT_NE(list_.Records()[0], held);
    EXPECT_EQ(list_.Records()[0]->FirstSeen(), 5000);
}

}  // namespace
}  // namespace tarvik
