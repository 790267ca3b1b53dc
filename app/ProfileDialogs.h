// The profile dialogs as the toolkit-free code opens them: each runs modally
// over its controller, which makes every decision; the GUI only shows it.
// Tests answer them with fakes that drive the controllers.
#pragma once

namespace tarvik {

class CAskForKey;
class CAddNetworkKey;
class CManageKeys;

class IProfileDialogs {
  public:
    virtual ~IProfileDialogs() = default;
    // "Network Authentication": true when it ended with OK (the controller
    // accepted the key).
    virtual bool RunAskForKey(CAskForKey& prompt) = 0;
    // "Network Editor": true when it ended with "Save" (validated).
    virtual bool RunNetworkEditor(CAddNetworkKey& editor) = 0;
    // "Network Profiles": returns when "Close" (or the title bar) closed it.
    virtual void RunNetworkProfiles(CManageKeys& manager) = 0;
};

}  // namespace tarvik
