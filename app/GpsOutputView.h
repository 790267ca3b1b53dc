// The GPS Output dialog as the GPS integration sees it: three value texts
// (status, latitude, longitude) and the log of received sentences, newest
// first. The Qt dialog is ui/GpsOutputDialog.
#pragma once

#include <string>

namespace tarvik {

class IGpsOutputView {
  public:
    virtual ~IGpsOutputView() = default;
    // Shows the modeless window and brings it to the top.
    virtual void ShowOnTop() = 0;
    virtual void SetStatusTexts(const std::string& status, const std::string& latitude,
                                const std::string& longitude) = 0;
    virtual void SetSentenceLog(const std::string& text) = 0;
};

}  // namespace tarvik
