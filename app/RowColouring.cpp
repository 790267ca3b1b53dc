#include "app/RowColouring.h"

#include <algorithm>
#include <cmath>

#include "networks/ColumnIds.h"

namespace tarvik {
namespace {

double LinearChannel(std::uint8_t value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double ContrastRatio(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

std::uint8_t Lighten(std::uint8_t c, double t) {
    return static_cast<std::uint8_t>(c + (255 - c) * t);
}

}  // namespace

std::optional<Rgb> SecurityColourOf(const CBssid& record, const CApplicationOptions& options) {
    // Each class that holds overrides the one before.
    std::optional<std::uint32_t> chosen;
    if (record.IsOpen()) chosen = static_cast<std::uint32_t>(options.ColorOpenBlock.Get());
    if (record.IsWep()) chosen = static_cast<std::uint32_t>(options.ColorWEPBlock.Get());
    if (record.IsWpa()) chosen = static_cast<std::uint32_t>(options.ColorWPABlock.Get());
    if (record.IsWpa2()) chosen = static_cast<std::uint32_t>(options.ColorWPA2Block.Get());
    if (!chosen) return std::nullopt;
    return RgbFromColorRef(*chosen);
}

Rgb RgbFromColorRef(std::uint32_t colorRef) {
    return {static_cast<std::uint8_t>(colorRef & 0xff),
            static_cast<std::uint8_t>((colorRef >> 8) & 0xff),
            static_cast<std::uint8_t>((colorRef >> 16) & 0xff)};
}

double RelativeLuminance(Rgb colour) {
    return 0.2126 * LinearChannel(colour.red) + 0.7152 * LinearChannel(colour.green) +
           0.0722 * LinearChannel(colour.blue);
}

Rgb ContrastingText(Rgb background) {
    const double luminance = RelativeLuminance(background);
    return ContrastRatio(luminance, 0.0) >= ContrastRatio(luminance, 1.0) ? kBlack : kWhite;
}

std::optional<Rgb> SignalStrengthShade(Rgb weakest, std::int32_t rssi,
                                       const ShownRssiRange& range) {
    if (range.lowest >= range.highest) return std::nullopt;
    const double t = (static_cast<double>(rssi) - range.lowest) /
                     (static_cast<double>(range.highest) - range.lowest);
    // The range holds every shown value, but a record's RSSI can change
    // between the refresh and the paint: keep the shade a colour.
    const double clamped = std::clamp(t, 0.0, 1.0);
    return Rgb{Lighten(weakest.red, clamped), Lighten(weakest.green, clamped),
               Lighten(weakest.blue, clamped)};
}

CRowColouring::CRowColouring(const CApplicationOptions& options, CNetworkColumnRules& rules)
    : options_(options), rules_(rules) {}

CellColours CRowColouring::RowColours(const CBssid& record, const PaintState& state) const {
    CellColours row;
    if (options_.ColoringEnabled == 0 || state.connecting) return row;
    if (options_.TableColorSetup == kColourBySecurity) {
        row.background = SecurityColourOf(record, options_);
    } else if (const ndis::BssidEntry* entry = record.Entry()) {
        row.background = SignalStrengthShade(
            RgbFromColorRef(static_cast<std::uint32_t>(options_.ColorSignalStrength.Get())),
            entry->Rssi(), state.range);
    }
    if (record.ConnectionStatus() == STATUS_NOT_DETECTED) {
        row.text = RgbFromColorRef(static_cast<std::uint32_t>(options_.ColorOutOfRangeText.Get()));
    }
    return row;
}

CellColours CRowColouring::ColoursOf(CBssid& record, int column, Rgb viewBase) const {
    const PaintState state = source_ ? source_() : PaintState{};
    if (state.closing) return {};
    CellColours cell = RowColours(record, state);
    const Rgb under = cell.background.value_or(viewBase);
    if (NeedsOuiLookup(record, rules_.Context())) {
        // Link rows colour every cell, with or without row colours.
        if (column == COLUMN_VENDOR) {
            cell.text = kVendorLinkText;
        } else if (record.ConnectionStatus() == STATUS_NOT_DETECTED) {
            cell.text =
                RgbFromColorRef(static_cast<std::uint32_t>(options_.ColorOutOfRangeText.Get()));
        } else {
            cell.text = ContrastingText(under);
        }
    } else if (!cell.text && cell.background) {
        cell.text = ContrastingText(under);
    }
    return cell;
}

}  // namespace tarvik
