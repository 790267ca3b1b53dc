#include "adapter/ReceiveThread.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "adapter/Adapter.h"
#include "adapter/DriverChannel.h"
#include "adapter/ManualResetEvent.h"
#include "adapter/ReceivedFrame.h"
#include "core/EventLog.h"
#include "platform/driverio/ApcQueue.h"

namespace tarvik {

struct CReceiveThread::Context {
    // Held by the receive thread while it uses the adapter or the handler,
    // so Stop can take both away before the adapter goes.
    std::mutex mutex;
    CAdapter* adapter = nullptr;
    EapolHandler handler;
    // The thread's queue, to wake it; apart from `mutex`, which a handler
    // that does not return keeps held, so a stop can still wake the thread
    // and start its bounded wait.
    std::mutex queueMutex;
    std::shared_ptr<driverio::ApcQueue> queue;
    DriverHandle readHandle;  // the channel of the pending read
    bool readPending = false;
    bool readDone = false;  // set by every completion
    bool readFailed = false;
    std::atomic<bool> running = true;
    CManualResetEvent stopEvent;
    CManualResetEvent shutdown;
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    ReadRequest request;
    std::thread thread;
};

namespace {

using Context = CReceiveThread::Context;
using ContextPtr = std::shared_ptr<Context>;

// The slice of the wait between looks at the stop flag and the media status.
constexpr int kWaitSliceMs = 250;
constexpr std::uint32_t kErrorMoreData = 234;

enum class Wake { Stop, Media, Read, Timeout };

ndis::MacAddress MacAt(std::span<const std::uint8_t> frame, std::size_t offset) {
    ndis::MacAddress mac{};
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(offset), mac.size(), mac.begin());
    return mac;
}

// Frame classification. Context mutex held.
void Classify(Context& context, std::uint32_t bytes) {
    const std::span<const std::uint8_t> frame(context.buffer.data(),
                                              std::min(bytes, kReceiveBufferSize));
    const ReceivedFrameKind kind = ClassifyReceivedFrame(frame);
    if (kind == ReceivedFrameKind::Eapol) {
        if (context.handler) context.handler(*context.adapter, frame);
        return;
    }
    if (kind == ReceivedFrameKind::Unknown) {
        LogInfo("Receive Thread: Received unknown packet, error=%x, bytes=%u", 0u, bytes);
        return;
    }
    const std::string destination = FrameMacText(MacAt(frame, 0));
    const std::string source = FrameMacText(MacAt(frame, 6));
    LogInfo("Receive Thread: %s packet, source=%s, destination=%s, bytes=%u",
            kind == ReceivedFrameKind::Ip ? "IP" : "Arp", source.c_str(), destination.c_str(),
            bytes);
}

// The read completion; runs on the receive thread inside its wait.
void OnReadComplete(const ContextPtr& context, std::uint32_t error, std::uint32_t bytes) {
    std::lock_guard lock(context->mutex);
    context->readPending = false;
    context->readDone = true;
    // A cut frame is only skipped; any other failure waits a pass before the
    // next read, so a broken channel is not read in a tight loop.
    context->readFailed = error != 0 && error != kErrorMoreData;
    if (error == 0 && context->adapter) Classify(*context, bytes);
}

// Posts one read when none is outstanding and the adapter is connected.
void IssueRead(const ContextPtr& context) {
    std::lock_guard lock(context->mutex);
    CAdapter* adapter = context->adapter;
    if (!adapter || context->readPending) return;
    if (context->readFailed) {
        context->readFailed = false;
        return;
    }
    if (adapter->MediaStatus() != kMediaConnected) return;
    DriverHandle handle = adapter->Channel().Handle();
    const Result posted = ReadPacket(
        handle, adapter->Channel().Gate(), context->buffer.data(), kReceiveBufferSize,
        context->request, [context](std::uint32_t error, std::uint32_t bytes, ReadRequest&) {
            OnReadComplete(context, error, bytes);
        });
    if (posted != 0) return;
    context->readPending = true;
    context->readHandle = std::move(handle);
}

void CancelRead(Context& context) {
    DriverHandle handle;
    {
        std::lock_guard lock(context.mutex);
        if (context.readPending) handle = context.readHandle;
    }
    if (handle) handle->CancelIo();
}

// What ended the wait: stop, a media status change, a completed read, or the
// idle bound. `seenMedia` follows the adapter's media status.
Wake WaitForWake(Context& context, std::uint32_t& seenMedia) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReceiveIdleWarningMs);
    for (;;) {
        if (!context.running) return Wake::Stop;
        {
            std::lock_guard lock(context.mutex);
            if (!context.adapter) return Wake::Stop;
            if (context.readDone) {
                context.readDone = false;
                return Wake::Read;
            }
            const std::uint32_t media = context.adapter->MediaStatus();
            if (media != seenMedia) {
                seenMedia = media;
                return Wake::Media;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Wake::Timeout;
        driverio::WaitAlertable(static_cast<int>(std::min<long long>(left.count(), kWaitSliceMs)));
    }
}

std::uint32_t CurrentMedia(Context& context) {
    std::lock_guard lock(context.mutex);
    return context.adapter ? context.adapter->MediaStatus() : kMediaDisconnected;
}

void RunLoop(const ContextPtr& context) {
    {
        std::lock_guard lock(context->queueMutex);
        context->queue = driverio::CurrentThreadApcQueue();
    }
    std::uint32_t seenMedia = CurrentMedia(*context);
    LogInfo("Receive Thread: Starting thread");
    while (context->running) {
        IssueRead(context);
        const Wake wake = WaitForWake(*context, seenMedia);
        if (wake == Wake::Stop) {
            LogInfo("Receive Thread: App indicates close, closing thread");
            break;
        }
        if (wake == Wake::Media) {
            LogInfo("Receive Thread: App indicates change in media state, resetting signal");
            if (seenMedia == kMediaDisconnected) CancelRead(*context);
        } else if (wake == Wake::Timeout && seenMedia == kMediaConnected) {
            LogWarn("Receive Thread: No packet activity in the last 10 seconds");
        }
    }
    LogInfo("Receive thread is now closing.");
    CancelRead(*context);
    // Runs the cancelled read's completion, which holds the context.
    driverio::WaitAlertable(0);
    context->shutdown.Set();
}

void Wake(Context& context) {
    std::shared_ptr<driverio::ApcQueue> queue;
    {
        std::lock_guard lock(context.queueMutex);
        queue = context.queue;
    }
    if (queue) queue->Post([] {});
}

}  // namespace

std::string FrameMacText(const ndis::MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

CReceiveThread::~CReceiveThread() {
    if (context_) Stop(true);
}

int CReceiveThread::Start(EapolHandler handler) {
    if (context_) {
        LogWarn("Receive thread already open for %s, closing existing thread first",
                adapter_.DeviceName().c_str());
        Stop(true);
    }
    auto context = std::make_shared<Context>();
    context->adapter = &adapter_;
    context->handler = std::move(handler);
    context->thread = std::thread([context] { RunLoop(context); });
    context_ = std::move(context);
    LogInfo("Started receive thread for: %s", adapter_.DeviceName().c_str());
    return 0;
}

int CReceiveThread::Stop(bool wait) {
    const std::string name = adapter_.DeviceName();
    if (!context_) {
        LogWarn("Stop receive called on non-existant receive thread for %s", name.c_str());
        return 0;
    }
    const ContextPtr context = std::move(context_);
    context->running = false;
    context->stopEvent.Set();
    Wake(*context);
    bool ended = false;
    if (wait) {
        LogInfo("Stopped receive thread for %s, waiting for it to finish", name.c_str());
        ended = context->shutdown.WaitFor(kReceiveStopWaitMs);
        if (ended) {
            LogInfo("Receive thread closed succesfully within timeout");
        } else {
            LogError("Timeout occured when stopping thread, leaving it to end on its own.");
        }
    }
    {
        // Waits for a frame in hand; afterwards the thread no longer sees the adapter.
        std::lock_guard lock(context->mutex);
        context->adapter = nullptr;
        context->handler = nullptr;
    }
    if (ended) {
        context->thread.join();
    } else {
        context->thread.detach();
    }
    return 0;
}

}  // namespace tarvik
