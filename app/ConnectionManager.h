// The Connection Manager: keeps the adapter on the network of the saved
// profile with the best priority (the smallest number) among those whose
// network is in the list and that may connect automatically. One Tick is one
// step of the main window's manager timer; the state is kept across ticks
// and across changes of the program mode.
#pragma once

#include "app/AutoConnectSeam.h"

namespace tarvik {

enum ManagerState : int {
    CM_SEARCH = 0,
    CM_WAIT_CONNECT = 2,
    CM_CONNECTED = 3,
};

class CConnectionManager {
  public:
    explicit CConnectionManager(IAutoConnectSeam& seam) : seam_(seam) {}

    void Tick();
    int State() const { return state_; }

  private:
    void ChooseProfileNetwork();
    // True when the walk found an attempt running or the adapter connected
    // (the state is then set).
    bool FoundConnection();

    IAutoConnectSeam& seam_;
    int state_ = CM_SEARCH;
};

}  // namespace tarvik
