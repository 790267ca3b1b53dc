#include "ndis/Configuration.h"

#include "ndis/ByteOrder.h"

namespace tarvik::ndis {

namespace layout = configuration_layout;

void StoreConfiguration(std::uint8_t* out, const Configuration80211& config) {
    StoreLe32(out + layout::kLength, layout::kSize);
    StoreLe32(out + layout::kBeaconPeriod, config.beaconPeriod);
    StoreLe32(out + layout::kAtimWindow, config.atimWindow);
    StoreLe32(out + layout::kDsConfig, config.dsConfig);
    StoreLe32(out + layout::kFhLength, layout::kFhSize);
    StoreLe32(out + layout::kFhHopPattern, config.fh.hopPattern);
    StoreLe32(out + layout::kFhHopSet, config.fh.hopSet);
    StoreLe32(out + layout::kFhDwellTime, config.fh.dwellTime);
}

std::vector<std::uint8_t> BuildConfiguration(const Configuration80211& config) {
    std::vector<std::uint8_t> out(layout::kSize);
    StoreConfiguration(out.data(), config);
    return out;
}

Configuration80211 LoadConfiguration(const std::uint8_t* in) {
    Configuration80211 config;
    config.beaconPeriod = LoadLe32(in + layout::kBeaconPeriod);
    config.atimWindow = LoadLe32(in + layout::kAtimWindow);
    config.dsConfig = LoadLe32(in + layout::kDsConfig);
    config.fh.hopPattern = LoadLe32(in + layout::kFhHopPattern);
    config.fh.hopSet = LoadLe32(in + layout::kFhHopSet);
    config.fh.dwellTime = LoadLe32(in + layout::kFhDwellTime);
    return config;
}

std::optional<Configuration80211> ParseConfiguration(std::span<const std::uint8_t> bytes,
                                                     NdisError* error) {
    if (bytes.size() < layout::kSize) {
        if (error) *error = NdisError::TruncatedHeader;
        return std::nullopt;
    }
    if (error) *error = NdisError::None;
    return LoadConfiguration(bytes.data());
}

}  // namespace tarvik::ndis
