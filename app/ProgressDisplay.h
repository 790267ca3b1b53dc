// A progress display for work that may take long: a percentage and a Cancel
// button. The Qt one appears only once the work has lasted a moment, so
// short work shows nothing.
#pragma once

#include <cstdint>
#include <string>

namespace tarvik {

class IProgressDisplay {
  public:
    virtual ~IProgressDisplay() = default;
    // GUI thread. `label` says what runs ("Saving NAME...").
    virtual void Begin(const std::string& label) = 0;
    // GUI thread; false once the user pressed Cancel.
    virtual bool Report(std::uint64_t done, std::uint64_t total) = 0;
    virtual void End() = 0;
};

}  // namespace tarvik
