// The Device Information page as its controller sees it: read-only value
// boxes named by control number, in five frames. The Qt dialog is
// ui/DeviceInfoDialog.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>

namespace tarvik {

enum DeviceInfoFrame : int {
    FRAME_GENERAL_DEVICE,
    FRAME_WIRELESS,
    FRAME_GENERAL_NETWORKING,
    FRAME_INTERNET_PROTOCOL,
    FRAME_DRIVER_COUNTERS,
    FRAME_COUNT
};

struct DeviceInfoControl {
    int control;
    const char* label;
    DeviceInfoFrame frame;
};

inline constexpr const char* kDeviceInfoTitle = "Device Information";

// Every value box of the page: first the adapter's fields in the order a
// refresh reads them (DeviceInfoField order), then the counters.
std::span<const DeviceInfoControl> DeviceInfoControls();
const char* DeviceInfoFrameTitle(DeviceInfoFrame frame);

class IDeviceInfoView {
  public:
    virtual ~IDeviceInfoView() = default;
    // Shows the modeless window and brings it to the top.
    virtual void ShowOnTop() = 0;
    virtual void SetControlText(int control, const std::string& text) = 0;
};

// Creates the view on first use; `closed` runs when the user closes it
// (the view hides itself and stays).
using DeviceInfoViewFactory =
    std::function<std::unique_ptr<IDeviceInfoView>(std::function<void()> closed)>;

}  // namespace tarvik
