// The channel view as the application shell sees it: one window plotting
// every network in range as a hill over its channels, created through a
// factory so that the shell holds no toolkit types. ui/ implements it with
// Qt Charts.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/RowColouring.h"

namespace tarvik {

enum class WifiBand { Band24GHz, Band5GHz };

// Where a network sits: its band, centre channel number and how many
// channel numbers its width reaches to either side of the centre.
struct ChannelPlace {
    WifiBand band = WifiBand::Band24GHz;
    int centre = 0;
    int halfSpan = 0;
    bool operator==(const ChannelPlace&) const = default;
};

// One network's hill: from the floor up to its RSSI over its channels.
struct ChannelHill {
    ChannelPlace place;
    double rssi = 0;
    Rgb colour;
    std::string label;
    bool highlighted = false;
    bool operator==(const ChannelHill&) const = default;
};

// The hills to draw, and per band (2.4 GHz first) how many networks in
// range were left out for want of room.
struct ChannelHillSet {
    std::vector<ChannelHill> hills;
    std::array<std::size_t, 2> leftOut{};
    bool operator==(const ChannelHillSet&) const = default;
};

inline std::size_t BandIndex(WifiBand band) {
    return band == WifiBand::Band24GHz ? 0 : 1;
}

class IChannelView {
  public:
    virtual ~IChannelView() = default;
    // Shows the window (again) and brings it to the front.
    virtual void ShowChannels() = 0;
    // True while the window is on screen; a hidden view is not updated.
    virtual bool IsChannelsShown() const = 0;
    // Replaces every hill in one go.
    virtual void SetHills(const ChannelHillSet& hills) = 0;
};

class IChannelViewFactory {
  public:
    virtual ~IChannelViewFactory() = default;
    virtual std::unique_ptr<IChannelView> CreateChannelView() = 0;
};

}  // namespace tarvik
