// Where the connection procedure gets the key of a protected network that it
// was not handed a profile for: the key prompt with its profile handling.
#pragma once

#include "core/ResultCodes.h"
#include "networks/NetworkList.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

class IKeySource {
  public:
    virtual ~IKeySource() = default;
    // RES_KEY_CANCELLED, or RES_KEY_OBTAINED with `key` set to a copy of the
    // profile to connect with; `temporary` is true when that profile is not
    // in the profile list. GUI thread.
    virtual Result GetKeyForNetwork(const BssidRecord& record, CNetworkKey& key,
                                    bool& temporary) = 0;
};

}  // namespace tarvik
