#include <gtest/gtest.h>

#include "../networks/BssidTestSupport.h"
#include "app/RowColouring.h"
#include "networks/ColumnIds.h"

namespace tarvik {
namespace {

using namespace testing_support;

constexpr Rgb kLightBase = kWhite;
constexpr Rgb kDarkBase{30, 30, 30};
constexpr Rgb kGrey{75, 75, 75};

TEST(RowColouringTest, TextContrastsWithItsBackground) {
    const std::pair<Rgb, Rgb> cases[] = {
        {RgbFromColorRef(0xE5FFE5), kBlack},
        {RgbFromColorRef(0xD1E5FF), kBlack},
        {kDarkBase, kWhite},
        {Rgb{128, 128, 128}, kBlack},
        {Rgb{255, 0, 0}, kBlack},
        {Rgb{0, 0, 255}, kWhite},
        {kVendorLinkText, kWhite},
    };
    for (const auto& [background, text] : cases) {
        SCOPED_TRACE(::testing::Message() << int(background.red) << ',' << int(background.green)
                                          << ',' << int(background.blue));
        EXPECT_EQ(ContrastingText(background), text);
    }
}

TEST(RowColouringTest, SignalShadeRunsFromTheColourToWhite) {
    const Rgb colour = RgbFromColorRef(0xFFFF80);
    struct Case {
        ShownRssiRange range;
        std::int32_t rssi;
        std::optional<Rgb> shade;
    };
    const Case cases[] = {
        {{-90, -40}, -90, colour},
        {{-90, -40}, -40, kWhite},
        {{-90, -40}, -65, Rgb{191, 255, 255}},
        {{-90, -40}, -50, Rgb{229, 255, 255}},
        {{-90, -40}, -100, colour},  // weaker than the range: never past the ends
        {{-90, -40}, -20, kWhite},
        {{0, -190}, -50, std::nullopt},
        {{-50, -50}, -50, std::nullopt},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.rssi);
        EXPECT_EQ(SignalStrengthShade(colour, row.rssi, row.range), row.shade);
    }
}

enum Kind { OPEN, WEP, WPA, WPA2 };

std::unique_ptr<CBssid> Record(Kind kind, bool adHoc, std::uint32_t status, std::int32_t rssi) {
    ndis::BssidEntryFields fields = Fields(0x01, rssi, kind == OPEN ? 0 : 1);
    if (kind == WPA) fields = WithElements(fields, {kWpaPskTkip});
    if (kind == WPA2) fields = WithElements(fields, {kRsnPskCcmp});
    // Ad hoc rows have no vendor link; the others wait for a look-up.
    if (adHoc) fields.infrastructureMode = ndis::Ndis802_11IBSS;
    auto record = std::make_unique<CBssid>(Entry(fields), 1);
    record->SetConnectionStatus(status);
    return record;
}

TEST(RowColouringTest, CellColoursFollowTheSettingsAndTheRow) {
    struct Case {
        const char* name;
        Kind kind;
        bool adHoc;
        std::uint32_t status;
        int coloring, setup;
        PaintState state;
        int column;
        Rgb base;
        CellColours expected;
    };
    constexpr auto kNotDetected = STATUS_NOT_DETECTED;
    constexpr auto kSeen = STATUS_NOT_CONNECTED;
    const PaintState idle;
    const PaintState connecting{.connecting = true, .range = {}};
    const PaintState closing{.closing = true, .range = {}};
    const PaintState ranged{.range = {-90, -40}};
    const Case cases[] = {
        {"open", OPEN, true, kSeen, 1, 2, idle, 0, kLightBase, {Rgb{229, 255, 229}, kBlack}},
        {"wep", WEP, true, kSeen, 1, 2, idle, 0, kLightBase, {Rgb{255, 255, 204}, kBlack}},
        {"wpa", WPA, true, kSeen, 1, 2, idle, 0, kLightBase, {Rgb{255, 243, 229}, kBlack}},
        {"wpa2 dark theme",
         WPA2,
         true,
         kSeen,
         1,
         2,
         idle,
         0,
         kDarkBase,
         {Rgb{255, 229, 209}, kBlack}},
        {"colouring off", OPEN, true, kSeen, 0, 2, idle, 0, kLightBase, {}},
        {"connecting", OPEN, true, kSeen, 1, 2, connecting, 0, kLightBase, {}},
        {"not detected",
         OPEN,
         true,
         kNotDetected,
         1,
         2,
         idle,
         0,
         kLightBase,
         {Rgb{229, 255, 229}, kGrey}},
        {"not detected, off", OPEN, true, kNotDetected, 0, 2, idle, 0, kLightBase, {}},
        {"signal", OPEN, true, kSeen, 1, 3, ranged, 0, kLightBase, {Rgb{229, 255, 255}, kBlack}},
        {"signal, empty range", OPEN, true, kSeen, 1, 3, idle, 0, kLightBase, {}},
        {"link, vendor",
         OPEN,
         false,
         kSeen,
         0,
         2,
         idle,
         COLUMN_VENDOR,
         kLightBase,
         {std::nullopt, kVendorLinkText}},
        {"link, not detected",
         OPEN,
         false,
         kNotDetected,
         0,
         2,
         idle,
         0,
         kLightBase,
         {std::nullopt, kGrey}},
        {"link, light theme",
         OPEN,
         false,
         kSeen,
         0,
         2,
         idle,
         0,
         kLightBase,
         {std::nullopt, kBlack}},
        {"link, dark theme", OPEN, false, kSeen, 0, 2, idle, 0, kDarkBase, {std::nullopt, kWhite}},
        {"closing", OPEN, false, kNotDetected, 1, 2, closing, COLUMN_VENDOR, kLightBase, {}},
    };
    CApplicationOptions options{nullptr, "/nonexistent/tarvik"};
    CNetworkList networks;
    CNetworkColumnRules rules(options, networks);
    CRowColouring colouring(options, rules);
    PaintState state;
    colouring.SetStateSource([&state] { return state; });
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        options.ColoringEnabled = row.coloring;
        options.TableColorSetup = row.setup;
        state = row.state;
        const auto record = Record(row.kind, row.adHoc, row.status, -50);
        EXPECT_EQ(colouring.ColoursOf(*record, row.column, row.base), row.expected);
    }
}

}  // namespace
}  // namespace tarvik
