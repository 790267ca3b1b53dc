// Puts the supplicant's keys into the adapter: builds the NDIS_802_11_KEY
// descriptor for OID_802_11_ADD_KEY and hands it to whatever sets the OID
// (the current adapter in the application, a recorder in tests).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/ResultCodes.h"
#include "ndis/NdisTypes.h"

namespace tarvik {

class IAddKeyTarget {
  public:
    virtual ~IAddKeyTarget() = default;
    // Sets OID_802_11_ADD_KEY with `descriptor` (its own Length field is its
    // size); 0 when the adapter took it.
    virtual Result AddKey(std::span<const std::uint8_t> descriptor) = 0;
};

// The descriptor for one key. KeyIndex carries the index in bits 0-7, bit 31
// for a transmit key, bit 30 for a pairwise key and bit 29 when a sequence is
// given; KeyRSC is the sequence read as a little-endian number (at most 8
// bytes). A 32-byte TKIP key is stored as bytes 0-15, 24-31, 16-23: the
// adapter wants the receive MIC key before the transmit one.
std::vector<std::uint8_t> BuildAddKeyDescriptor(int algorithm, const ndis::MacAddress& bssid,
                                                bool pairwise, int keyIndex, bool transmit,
                                                std::span<const std::uint8_t> sequence,
                                                std::span<const std::uint8_t> key);

class CKeyInstaller {
  public:
    // `networkBssid`: the BSSID group keys are installed under.
    CKeyInstaller(IAddKeyTarget& target, const ndis::MacAddress& networkBssid);

    void SetNetworkBssid(const ndis::MacAddress& bssid) { networkBssid_ = bssid; }

    // The supplicant's setKey: the broadcast address means a group key,
    // installed under the network's BSSID; any other address is the peer of
    // a pairwise key. An adapter that refuses the key is logged ("Unable to
    // add encryption key to the adapter.") and 0 returned all the same, as
    // the handshake cannot mend it.
    int SetKey(int algorithm, const ndis::MacAddress& address, int keyIndex, bool transmit,
               std::span<const std::uint8_t> sequence, std::span<const std::uint8_t> key);

  private:
    IAddKeyTarget& target_;
    ndis::MacAddress networkBssid_;
};

}  // namespace tarvik
