// Network Hopping: keeps the adapter on the best-scoring open network. One
// Tick is one step of the main window's hopping timer; a step runs through
// states until one ends the tick. The state is kept across ticks and across
// changes of the program mode.
#pragma once

#include "app/AutoConnectSeam.h"

namespace tarvik {

enum HoppingState : int {
    HOP_UNKNOWN = 0,
    HOP_DETERMINE_CARD_STATE = 1,
    HOP_CONNECTED = 2,
    HOP_WAIT_CONNECT = 3,
    HOP_NOT_CONNECTED = 4,
    HOP_DETERMINE_BEST = 5,
};

class CNetworkHopping {
  public:
    explicit CNetworkHopping(IAutoConnectSeam& seam) : seam_(seam) {}

    void Tick();
    int State() const { return state_; }

  private:
    // One state's work; true when the tick goes on with the next state.
    bool Step();
    bool WaitForConnect();
    void ChooseBestOpenNetwork();
    bool AnyRecordConnected() const;
    void SayConnecting(CBssid& record);

    IAutoConnectSeam& seam_;
    int state_ = HOP_UNKNOWN;
};

}  // namespace tarvik
