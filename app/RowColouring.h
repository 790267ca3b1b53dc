// The network table's colours, decided without a toolkit: each row's
// background by its security type or by its signal strength within the
// shown-RSSI range, grey text for networks no longer detected, and the
// Vendor look-up link in dark blue. The view asks per cell while it paints,
// and the settings are read at each ask, so a plain repaint shows changed
// colour settings.
//
// Text drawn over a colour the view does not own (a row background, the
// link rows' otherwise black text) is chosen by luminance, so it stays
// readable under a dark desktop theme.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "app/NetworkColumnRules.h"
#include "core/ApplicationOptions.h"
#include "networks/Bssid.h"
#include "networks/ScanCycle.h"

namespace tarvik {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
// The Vendor cell of a row whose vendor is still to be looked up.
inline constexpr Rgb kVendorLinkText{0, 0, 130};
inline constexpr std::int32_t kColourBySecurity = 2;

// A settings colour, stored as 0x00BBGGRR.
Rgb RgbFromColorRef(std::uint32_t colorRef);
// Relative luminance, 0 (black) to 1 (white), of sRGB colours.
double RelativeLuminance(Rgb colour);
// Black or white, whichever contrasts more with `background`.
Rgb ContrastingText(Rgb background);
// The signal-strength shade: each channel c becomes c + (255 - c) * t with
// t = (rssi - lowest) / (highest - lowest); none for an empty range.
std::optional<Rgb> SignalStrengthShade(Rgb weakest, std::int32_t rssi, const ShownRssiRange& range);

// The colour of the record's security class (open, WEP, WPA, WPA2; each
// that holds overrides the one before); none when no class holds.
std::optional<Rgb> SecurityColourOf(const CBssid& record, const CApplicationOptions& options);

// What the table's state adds to the record and the settings.
struct PaintState {
    bool closing = false;     // the main window is closing: no colours at all
    bool connecting = false;  // a connection procedure runs: no row colours
    ShownRssiRange range;
};

// A cell's colours; none: the view's own.
struct CellColours {
    std::optional<Rgb> background;
    std::optional<Rgb> text;
    bool operator==(const CellColours&) const = default;
};

class CRowColouring {
  public:
    CRowColouring(const CApplicationOptions& options, CNetworkColumnRules& rules);

    // Asked at each paint; null: nothing closing or connecting, empty range.
    void SetStateSource(std::function<PaintState()> source) { source_ = std::move(source); }

    // The colours of `column` of the record's row over a view whose own
    // background is `viewBase`.
    CellColours ColoursOf(CBssid& record, int column, Rgb viewBase) const;

  private:
    CellColours RowColours(const CBssid& record, const PaintState& state) const;

    const CApplicationOptions& options_;
    CNetworkColumnRules& rules_;
    std::function<PaintState()> source_;
};

}  // namespace tarvik
