// What an accepted change in the Options dialog does beyond storing the
// value: the main window implements it (CMainOptionEffects); tests record
// the calls.
#pragma once

namespace tarvik {

class IOptionEffects {
  public:
    virtual ~IOptionEffects() = default;
    // Rewrites the network table's texts (signal units, angle format).
    virtual void RefreshNetworkTable() = 0;
    // Stops one main-window timer and starts it with its new period.
    virtual void RestartTimer(int id) = 0;
    virtual void SetGridLines(bool on) = 0;
    // Repaints the network table with erasing (colouring switched).
    virtual void RepaintTable() = 0;
    // Closes and opens the GPS port with the new parameters, if it is open.
    virtual void ReopenGpsPort() = 0;
    // Restarts the Device Information dialog's refresh timer, if it exists.
    virtual void RestartDeviceInfoTimer() = 0;
};

}  // namespace tarvik
