// The channel view's data, decided without a toolkit: where each network in
// range sits on its band and how its hill looks.
#pragma once

#include <cstdint>
#include <optional>

#include "app/ChannelView.h"
#include "core/ApplicationOptions.h"
#include "ndis/BssidEntry.h"
#include "networks/NetworkList.h"

namespace tarvik {

// Hills go no lower than this, in dBm.
inline constexpr double kChannelViewFloorDbm = -100;
// The colour of a hill whose network has no security colour.
inline constexpr Rgb kPlainHillColour{170, 190, 215};

// The band and 20 MHz channel of a centre frequency in MHz; none outside the
// 2.4 and 5 GHz bands. Channel numbers are 5 MHz apart in both bands, so a
// 20 MHz network reaches two numbers to either side.
std::optional<ChannelPlace> ChannelPlaceOf(std::uint32_t mhz);
// The place of a scan entry: its frequency, widened to 40, 80 or 160 MHz
// when its HT or VHT Operation element says so.
std::optional<ChannelPlace> ChannelPlaceOf(const ndis::BssidEntry& entry);

// At most this many hills per band: a crowded survey keeps the chart
// readable and its redraw cheap.
inline constexpr std::size_t kMaxHillsPerBand = 120;

// The hills of the records in range (detected, with an entry on a known
// band), in list order; `selected` (may be null) is highlighted. A band with
// more than `perBand` keeps its strongest and the selected one.
ChannelHillSet HillsOf(const CNetworkList& networks, const CBssid* selected,
                       const CApplicationOptions& options, std::size_t perBand = kMaxHillsPerBand);

// How loaded a channel is that networks are centred on: how many are, how
// many others reach into its 20 MHz, and the strongest signal centred there.
struct ChannelLoad {
    WifiBand band = WifiBand::Band24GHz;
    int channel = 0;
    std::size_t networks = 0;
    std::size_t overlapping = 0;
    double strongest = kChannelViewFloorDbm;
    bool operator==(const ChannelLoad&) const = default;
};

// The loads of every centre channel of `hills`, 2.4 GHz first, by channel.
std::vector<ChannelLoad> ChannelLoads(const std::vector<ChannelHill>& hills);

}  // namespace tarvik
