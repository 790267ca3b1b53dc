// The receive thread of the chosen adapter: keeps one read outstanding on the
// adapter's packet channel, logs the IP and ARP frames it receives and hands
// EAPOL frames to the handler the application installs (the WPA bridge).
//
// Threads: Start and Stop run on the thread that owns the adapter (the main
// thread). The loop, the read completion and the EAPOL handler run on the
// receive thread. A thread that does not end within the stop bound is left to
// end on its own: it keeps its context (shared ownership) and no longer
// touches the adapter, so a later start on the same adapter is clean. A frame
// in hand is finished first, since its handler works on the adapter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "ndis/NdisTypes.h"

namespace tarvik {

class CAdapter;

// The frame buffer of the outstanding read, and the largest frame sent.
inline constexpr std::uint32_t kReceiveBufferSize = 2400;
// Without a frame, a media change or a stop for this long, a connected
// adapter's thread logs that it saw no traffic.
inline constexpr int kReceiveIdleWarningMs = 10000;
inline constexpr int kReceiveStopWaitMs = 2000;

inline constexpr std::uint16_t kEtherTypeIp = 0x0800;
inline constexpr std::uint16_t kEtherTypeArp = 0x0806;
inline constexpr std::uint16_t kEtherTypeEapol = 0x888E;
inline constexpr std::size_t kEthernetHeaderSize = 14;

// Runs on the receive thread with the whole received frame (Ethernet header
// first); the adapter stays valid for the call.
using EapolHandler = std::function<void(CAdapter& adapter, std::span<const std::uint8_t> frame)>;

// "aa:bb:cc:dd:ee:ff".
std::string FrameMacText(const ndis::MacAddress& mac);

class CReceiveThread {
  public:
    explicit CReceiveThread(CAdapter& adapter) : adapter_(adapter) {}
    // Stops with waiting.
    ~CReceiveThread();
    CReceiveThread(const CReceiveThread&) = delete;
    CReceiveThread& operator=(const CReceiveThread&) = delete;

    // Stops a running thread first (logged), then starts one. 0.
    int Start(EapolHandler handler);
    // 0. With `wait`, waits up to kReceiveStopWaitMs for the thread to end.
    int Stop(bool wait);
    bool Exists() const { return context_ != nullptr; }

    struct Context;

  private:
    CAdapter& adapter_;
    std::shared_ptr<Context> context_;
};

}  // namespace tarvik
