// The signal graph's window as the application shell sees it: one window per
// network record, created through a factory so that the shell holds no
// toolkit types. ui/ implements both with Qt Charts; tests with fakes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// Red, green, blue and alpha, each 0..1.
struct GraphColour {
    float red = 0;
    float green = 0;
    float blue = 0;
    float alpha = 1;
    bool operator==(const GraphColour&) const = default;
};

// How a record's graph looks; fixed when its window is created.
struct SignalGraphLook {
    std::string title;
    // None: the plot's own default colour.
    std::optional<GraphColour> lineColour;
    double lineWidth = 2.0;
    bool filled = true;
    std::string leftLabel;
    std::string rightLabel;
    bool rightNumbers = true;
    std::string bottomLabel;
    bool operator==(const SignalGraphLook&) const = default;
};

class ISignalGraphView {
  public:
    virtual ~ISignalGraphView() = default;
    // Shows the window (again) and brings it to the front.
    virtual void ShowGraph() = 0;
    // True while the window is on screen; hidden graphs are not updated.
    virtual bool IsGraphShown() const = 0;
    // Replaces the plotted samples in one go, oldest first, at x = 0, 1, ...
    // (kNoRssiSample: a gap), and fits the view to them.
    virtual void SetSamples(const std::vector<double>& samples) = 0;
};

class ISignalGraphFactory {
  public:
    virtual ~ISignalGraphFactory() = default;
    virtual std::unique_ptr<ISignalGraphView> CreateSignalGraph(const SignalGraphLook& look) = 0;
};

}  // namespace tarvik
