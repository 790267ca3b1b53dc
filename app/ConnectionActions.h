// Joining a network and leaving it, as the main window's commands and the
// table's double click start them. The connection procedure implements it.
#pragma once

#include "networks/NetworkList.h"

namespace tarvik {

class IConnectionActions {
  public:
    virtual ~IConnectionActions() = default;
    virtual void ConnectToBssid(const BssidRecord& record) = 0;
    virtual void Disconnect() = 0;
};

}  // namespace tarvik
