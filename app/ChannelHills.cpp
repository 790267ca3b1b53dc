#include "app/ChannelHills.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

#include "ndis/ElementWalker.h"
#include "networks/NetworkColumns.h"

namespace tarvik {
namespace {

constexpr std::uint8_t kHtOperation = 61;
constexpr std::uint8_t kVhtOperation = 192;
// Half widths in channel numbers.
constexpr int kHalf20 = 2;
constexpr int kHalf40 = 4;
constexpr int kHalf80 = 8;
constexpr int kHalf160 = 16;

// HT Operation: the second byte holds the secondary channel's offset (1
// above, 3 below) and, in bit 2, whether any width beyond 20 MHz is used.
std::optional<ChannelPlace> HtPlace(ChannelPlace place, std::span<const std::uint8_t> body) {
    if (body.size() < 2 || (body[1] & 0x04) == 0) return std::nullopt;
    const int offset = body[1] & 0x03;
    if (offset != 1 && offset != 3) return std::nullopt;
    place.centre += offset == 1 ? kHalf20 : -kHalf20;
    place.halfSpan = kHalf40;
    return place;
}

// VHT Operation: width (1: 80 MHz or more), then the centre channel of the
// 80 MHz segment and, for 160 MHz, of the whole. A centre that does not hold
// the primary channel is ignored.
std::optional<ChannelPlace> VhtPlace(ChannelPlace place, std::span<const std::uint8_t> body) {
    if (place.band != WifiBand::Band5GHz || body.size() < 3 || body[0] == 0) return std::nullopt;
    const int segment0 = body[1];
    const int segment1 = body[2];
    ChannelPlace wide = place;
    wide.centre = segment0;
    wide.halfSpan = kHalf80;
    if (body[0] == 2 || (body[0] == 1 && segment1 != 0 && std::abs(segment1 - segment0) == 8)) {
        wide.centre = body[0] == 2 ? segment0 : segment1;
        wide.halfSpan = kHalf160;
    }
    if (std::abs(wide.centre - place.centre) >= wide.halfSpan) return std::nullopt;
    return wide;
}

std::string LabelOf(const ndis::BssidEntry& entry) {
    const auto ssid = entry.Ssid();
    return {ssid.begin(), ssid.end()};
}

// Drops all but the band's `perBand` strongest hills (the
// highlighted one always stays), keeping list order; returns how many went.
std::size_t KeepStrongest(std::vector<ChannelHill>& hills, WifiBand band, std::size_t perBand) {
    std::vector<double> strengths;
    std::size_t highlighted = 0;
    for (const ChannelHill& hill : hills) {
        if (hill.place.band != band) continue;
        if (hill.highlighted) {
            ++highlighted;
        } else {
            strengths.push_back(hill.rssi);
        }
    }
    const std::size_t room = perBand > highlighted ? perBand - highlighted : 0;
    if (strengths.size() <= room) return 0;
    // The weakest signal that stays, and how many of that strength may.
    double weakest = std::numeric_limits<double>::infinity();
    std::size_t tiesAllowed = 0;
    if (room > 0) {
        const auto last = strengths.begin() + static_cast<std::ptrdiff_t>(room - 1);
        std::nth_element(strengths.begin(), last, strengths.end(), std::greater<>());
        weakest = *last;
        tiesAllowed = static_cast<std::size_t>(std::count(strengths.begin(), last + 1, weakest));
    }
    const std::size_t before = hills.size();
    std::erase_if(hills, [&](const ChannelHill& hill) {
        if (hill.place.band != band || hill.highlighted || hill.rssi > weakest) return false;
        if (hill.rssi < weakest || tiesAllowed == 0) return true;
        --tiesAllowed;
        return false;
    });
    return before - hills.size();
}

}  // namespace

std::optional<ChannelPlace> ChannelPlaceOf(std::uint32_t mhz) {
    const int f = static_cast<int>(mhz);
    if (f == 2484) return ChannelPlace{WifiBand::Band24GHz, 14, kHalf20};
    if (f >= 2412 && f <= 2472) return ChannelPlace{WifiBand::Band24GHz, (f - 2407) / 5, kHalf20};
    if (f >= 5160 && f <= 5885) return ChannelPlace{WifiBand::Band5GHz, (f - 5000) / 5, kHalf20};
    return std::nullopt;
}

std::optional<ChannelPlace> ChannelPlaceOf(const ndis::BssidEntry& entry) {
    const auto place = ChannelPlaceOf(MegahertzOf(entry.GetConfiguration().dsConfig));
    if (!place) return std::nullopt;
    std::optional<ChannelPlace> ht;
    std::optional<ChannelPlace> vht;
    ndis::ElementWalker walker(entry.TaggedElements());
    while (const auto element = walker.Next()) {
        if (element->id == kHtOperation) ht = HtPlace(*place, element->body);
        if (element->id == kVhtOperation) vht = VhtPlace(*place, element->body);
    }
    return vht ? vht : ht ? ht : place;
}

ChannelHillSet HillsOf(const CNetworkList& networks, const CBssid* selected,
                       const CApplicationOptions& options, std::size_t perBand) {
    ChannelHillSet set;
    for (const BssidRecord& record : networks.Records()) {
        const ndis::BssidEntry* entry = record->Entry();
        if (entry == nullptr || record->ConnectionStatus() == STATUS_NOT_DETECTED) continue;
        const auto place = ChannelPlaceOf(*entry);
        if (!place) continue;
        ChannelHill hill;
        hill.place = *place;
        hill.rssi = std::max<double>(entry->Rssi(), kChannelViewFloorDbm);
        hill.colour = SecurityColourOf(*record, options).value_or(kPlainHillColour);
        hill.label = LabelOf(*entry);
        hill.highlighted = record.get() == selected;
        set.hills.push_back(std::move(hill));
    }
    for (const WifiBand band : {WifiBand::Band24GHz, WifiBand::Band5GHz})
        set.leftOut[BandIndex(band)] = KeepStrongest(set.hills, band, perBand);
    return set;
}

std::vector<ChannelLoad> ChannelLoads(const std::vector<ChannelHill>& hills) {
    std::map<std::pair<std::size_t, int>, ChannelLoad> loads;
    for (const ChannelHill& hill : hills) {
        ChannelLoad& load = loads[{BandIndex(hill.place.band), hill.place.centre}];
        load.band = hill.place.band;
        load.channel = hill.place.centre;
        load.strongest = load.networks == 0 ? hill.rssi : std::max(load.strongest, hill.rssi);
        ++load.networks;
    }
    for (auto& [key, load] : loads) {
        for (const ChannelHill& hill : hills) {
            const int distance = std::abs(hill.place.centre - load.channel);
            if (hill.place.band == load.band && distance != 0 &&
                distance < hill.place.halfSpan + kHalf20) {
                ++load.overlapping;
            }
        }
    }
    std::vector<ChannelLoad> ordered;
    for (const auto& [key, load] : loads) ordered.push_back(load);
    return ordered;
}

}  // namespace tarvik
