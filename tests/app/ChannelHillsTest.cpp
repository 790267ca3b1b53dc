#include <gtest/gtest.h>

#include <string>

#include "../networks/BssidTestSupport.h"
#include "app/ChannelHills.h"

namespace tarvik {
namespace {

using namespace testing_support;
constexpr auto k24 = WifiBand::Band24GHz;
constexpr auto k5 = WifiBand::Band5GHz;

TEST(ChannelHillsTest, FrequencyAndOperationElementsGivePlace) {
    struct Row {
        std::uint32_t dsConfig;
        const char* elements;
        std::optional<ChannelPlace> place;
    };
    const Row rows[] = {
        {2412000, "", ChannelPlace{k24, 1, 2}},
        {24370, "", ChannelPlace{k24, 6, 2}},
        {2472000, "", ChannelPlace{k24, 13, 2}},
        {2484000, "", ChannelPlace{k24, 14, 2}},
        {5180000, "", ChannelPlace{k5, 36, 2}},
        {5825000, "", ChannelPlace{k5, 165, 2}},
        {2407000, "", std::nullopt},
        {2477000, "", std::nullopt},
        {5100000, "", std::nullopt},
        {0, "", std::nullopt},
        // HT Operation: 40 MHz, secondary above / below; 20 MHz only; too short.
        {2437000, "3d020605", ChannelPlace{k24, 8, 4}},
        {5200000, "3d02280f", ChannelPlace{k5, 38, 4}},
        {2437000, "3d020601", ChannelPlace{k24, 6, 2}},
        {2437000, "3d0106", ChannelPlace{k24, 6, 2}},
        // VHT Operation: 80 MHz, 160 MHz (both forms), a centre away from the
        // primary, width 20/40 leaving HT's 40, and a cut-off element.
        {5180000, "3d022405c003012a00", ChannelPlace{k5, 42, 8}},
        {5180000, "c003012a32", ChannelPlace{k5, 50, 16}},
        {5180000, "c003023200", ChannelPlace{k5, 50, 16}},
        {5180000, "c003019b00", ChannelPlace{k5, 36, 2}},
        {5180000, "3d022405c003002a00", ChannelPlace{k5, 38, 4}},
        {5180000, "c005012a", ChannelPlace{k5, 36, 2}},
        {2437000, "c003012a00", ChannelPlace{k24, 6, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.dsConfig << ' ' << row.elements);
        ndis::BssidEntryFields fields = Fields();
        fields.configuration.dsConfig = row.dsConfig;
        fields.elements = Hex(row.elements);
        EXPECT_EQ(ChannelPlaceOf(Entry(fields)), row.place);
    }
}

TEST(ChannelHillsTest, RecordsInRangeBecomeHills) {
    struct Row {
        const char* ssid;
        std::uint32_t dsConfig;
        std::int32_t rssi;
        bool wpa2, notDetected, selected;
        std::optional<ChannelHill> hill;
    };
    const Rgb open = RgbFromColorRef(0xE5FFE5);
    const Rgb wpa2 = RgbFromColorRef(0xD1E5FF);
    const Row rows[] = {
        {"a", 2437000, -50, false, false, false, ChannelHill{{k24, 6, 2}, -50, open, "a", false}},
        {"b", 5180000, -70, true, false, true, ChannelHill{{k5, 36, 2}, -70, wpa2, "b", true}},
        {"c", 2412000, -120, false, false, false, ChannelHill{{k24, 1, 2}, -100, open, "c", false}},
        {"gone", 2437000, -40, false, true, false, std::nullopt},
        {"off-band", 900000, -40, false, false, false, std::nullopt},
    };
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    options.ColorOpenBlock = 0xE5FFE5;
    options.ColorWPA2Block = 0xD1E5FF;
    CNetworkList networks;
    std::vector<ChannelHill> expected;
    const CBssid* selected = nullptr;
    std::uint8_t mac = 1;
    for (const Row& row : rows) {
        ndis::BssidEntryFields fields = Fields(mac++, row.rssi, row.wpa2 ? 1 : 0);
        if (row.wpa2) fields = WithElements(fields, {kRsnPskCcmp});
        fields.SetSsid(row.ssid);
        fields.configuration.dsConfig = row.dsConfig;
        auto record = std::make_shared<CBssid>(Entry(fields), 1);
        if (row.notDetected) record->SetConnectionStatus(STATUS_NOT_DETECTED);
        if (row.selected) selected = record.get();
        networks.Append(record);
        if (row.hill) expected.push_back(*row.hill);
    }
    EXPECT_EQ(HillsOf(networks, selected, options), (ChannelHillSet{expected, {0, 0}}));
}

// Centre channels with their networks, the others reaching into them (a
// 20 MHz network three channels away does, four away does not; a 40 MHz one
// further), and the strongest there; bands apart.
TEST(ChannelHillsTest, LoadsCountNetworksOnAndReachingIntoEachChannel) {
    const auto hill = [](WifiBand band, int centre, int half, double rssi) {
        return ChannelHill{{band, centre, half}, rssi, {}, "", false};
    };
    const std::vector<ChannelHill> hills = {
        hill(k24, 6, 2, -70), hill(k24, 6, 2, -50), hill(k24, 9, 2, -60), hill(k24, 10, 2, -80),
        hill(k24, 1, 2, -90), hill(k24, 3, 4, -65), hill(k5, 38, 4, -55), hill(k5, 36, 2, -75),
    };
    const std::vector<ChannelLoad> expected = {
        {k24, 1, 1, 1, -90},  {k24, 3, 1, 3, -65}, {k24, 6, 2, 2, -50}, {k24, 9, 1, 3, -60},
        {k24, 10, 1, 1, -80}, {k5, 36, 1, 1, -75}, {k5, 38, 1, 1, -55},
    };
    EXPECT_EQ(ChannelLoads(hills), expected);
}

// A crowded band keeps its strongest hills (the first of equals), in list
// order, and the selected one however weak; the other band is untouched.
TEST(ChannelHillsTest, CrowdedBandKeepsItsStrongestAndTheSelected) {
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    for (const bool equal : {false, true}) {
        SCOPED_TRACE(equal);
        CNetworkList networks;
        const CBssid* selected = nullptr;
        const std::size_t crowd = kMaxHillsPerBand + 10;
        for (std::size_t i = 0; i <= crowd + 2; ++i) {
            const bool high = i > crowd;
            const auto rssi = static_cast<std::int32_t>(equal ? -60 : -99 + int(i % 60));
            ndis::BssidEntryFields fields = Fields(static_cast<std::uint8_t>(i), rssi);
            fields.SetSsid(std::to_string(i));
            fields.configuration.dsConfig = high ? 5180000 : 2437000;
            networks.Append(std::make_shared<CBssid>(Entry(fields), 1));
            if (i == 0) selected = networks.Records().back().get();
        }
        const ChannelHillSet set = HillsOf(networks, selected, options);
        EXPECT_EQ(set.leftOut, (std::array<std::size_t, 2>{11, 0}));
        ASSERT_EQ(set.hills.size(), kMaxHillsPerBand + 2);
        EXPECT_TRUE(set.hills.front().highlighted);
        std::size_t last = 0;
        for (const ChannelHill& hill : set.hills) {
            const std::size_t index = std::stoul(hill.label);
            EXPECT_TRUE(index == 0 || last < index) << "order kept";
            last = index;
            if (index == 0 || index > crowd) continue;
            // Unequal: -99..-40 repeating, so the 11 at -99..-96 go. Equal:
            // the first ones stay.
            if (equal) {
                EXPECT_LE(index, kMaxHillsPerBand - 1);
            } else {
                EXPECT_GT(hill.rssi, -96);
            }
        }
    }
}

}  // namespace
}  // namespace tarvik
