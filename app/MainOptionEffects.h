// The main window's side of an accepted change in the Options dialog: the
// controller's timers and scan cycle, the window's grid lines, the GPS port
// and the dialog view's repaint and Device Information hooks.
#pragma once

#include "app/OptionEffects.h"
#include "app/OptionsDialogView.h"

namespace tarvik {

class CGpsIntegration;
class CMainDialog;
class CNetworkList;
class IMainWindowView;

class CMainOptionEffects : public IOptionEffects {
  public:
    // Everything given outlives the object; `gps` may be null.
    CMainOptionEffects(CMainDialog& dialog, IMainWindowView& view, CNetworkList& networks,
                       CGpsIntegration* gps, IOptionsDialogView& dialogView);

    void RefreshNetworkTable() override;
    void RestartTimer(int id) override;
    void SetGridLines(bool on) override;
    void RepaintTable() override;
    void ReopenGpsPort() override;
    void RestartDeviceInfoTimer() override;

  private:
    CMainDialog& dialog_;
    IMainWindowView& view_;
    CNetworkList& networks_;
    CGpsIntegration* gps_;
    IOptionsDialogView& dialogView_;
};

}  // namespace tarvik
