// The Network Filters dialog as the filter commands see it: per group a
// check box and its radio buttons, and the window title. The Qt dialog is
// ui/NetworkFiltersDialog.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

class IFilterDialogView {
  public:
    virtual ~IFilterDialogView() = default;
    // Shows the modeless window and brings it to the top.
    virtual void ShowOnTop() = 0;
    // Ticks the group's check box when `on`, enables its buttons only then,
    // and checks the button of `choice` alone (0: none).
    virtual void ShowGroup(int group, bool on, std::uint32_t choice) = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

}  // namespace tarvik
