// The connection procedure: joins the chosen adapter to one network record
// and takes it off again. ConnectToBssid checks and prepares on the GUI
// thread, then one worker thread sets the 802.11 OIDs in order (open, WEP
// or WPA/WPA2), waits for media connect, for the key handshake where there
// is one and for an address, and reports every step on the status line.
//
// Threads: the worker talks to the main window only through the GUI
// thread's queue and waits until each message has been handled; it reads
// no network record and no main-window state, only its own copy of what it
// needs. EndAttempts (and the destructor) make a running worker drop its
// remaining steps and messages and wait for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "adapter/MediaEvents.h"
#include "app/ConnectionActions.h"
#include "app/KeySource.h"
#include "connect/CipherChoice.h"
#include "connect/SupplicantBridge.h"
#include "core/ApplicationOptions.h"
#include "ndis/BssidEntry.h"
#include "profiles/NetworkKey.h"

namespace tarvik {

class CAdapter;
class CMainDialog;

// How long one driver request of the worker may wait for the daemon; a
// daemon that stops answering ends the attempt with the failed step's text.
inline constexpr std::chrono::milliseconds kWorkerDriverWaitBound{5000};

inline constexpr const char* kNoWpaBridgeText =
    "Joining WPA and WPA2 networks is not available in this build.";

enum class ConnectKind { Open, Wep, Wpa };

// One attempt's block, filled on the GUI thread and then owned by the worker.
struct ConnectParameters {
    BssidRecord record;  // identity only; the worker reads the copies below
    CAdapter* adapter = nullptr;
    std::optional<CNetworkKey> profile;
    bool temporaryProfile = false;
    ndis::BssidEntry entry = ndis::BssidEntry::FromFields({});
    NetworkSecurity security;
    AdapterEncryptionSupport encryption;
    ConnectKind kind = ConnectKind::Open;
    Result result = RES_SUCCESS;
};

class CConnectionProcedure : public IConnectionActions {
  public:
    explicit CConnectionProcedure(const CApplicationOptions& settings);
    ~CConnectionProcedure() override;
    CConnectionProcedure(const CConnectionProcedure&) = delete;
    CConnectionProcedure& operator=(const CConnectionProcedure&) = delete;

    // The window reported to and the GUI thread's queue (both outlive this
    // or are detached by EndAttempts first). Set before the first connect.
    void Attach(CMainDialog* window, IEventDispatcher* guiQueue);
    void SetKeySource(IKeySource* keys) { keys_ = keys; }
    // Without a bridge WPA and WPA2 networks are refused before anything is set.
    void SetSupplicantBridge(ISupplicantBridge* bridge) { bridge_ = bridge; }
    void SetDriverWaitBound(std::chrono::milliseconds bound) { driverWaitBound_ = bound; }

    Result ConnectToBssid(const BssidRecord& record, const CNetworkKey* profile = nullptr) override;
    void Disconnect() override;
    void EndAttempts() override;

    // True from the start of a worker until its result is stored, after
    // its end message.
    bool IsRunning() const override { return running_.load(); }
    // The result of the last attempt that ended; RES_FAILURE before any.
    Result LastResult() const override { return lastResult_.load(); }
    // GUI thread: the record of the last attempt that started, or null.
    BssidRecord LastTarget() const override { return lastTarget_; }

  private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable handled;
        bool ending = false;
    };

    // GUI thread.
    Result PrepareAndStart(const BssidRecord& record, const CNetworkKey* profile,
                           CAdapter& adapter);
    bool RefusedBeforeStart(const ConnectParameters& params, CBssid& record);
    void JoinFinishedWorker();
    void StartWorker(ConnectParameters params);

    // Worker thread.
    void RunWorker(ConnectParameters params);
    Result ConnectOpen(ConnectParameters& params);
    Result ConnectWep(ConnectParameters& params);
    Result ConnectWpa(ConnectParameters& params);
    // Infrastructure mode, then authentication mode: 0 or the failed step's result.
    Result SetModes(ConnectParameters& params, std::uint32_t authenticationMode);
    Result SetEncryptionAndSsid(ConnectParameters& params, std::uint32_t encryptionStatus);
    Result AddWepKey(ConnectParameters& params);
    // Sends the wait text and waits; 0 when the medium connected.
    Result WaitForMedia(ConnectParameters& params);
    // The open and WEP procedures' address step.
    Result FinishWithAddress(ConnectParameters& params, Result joined);
    Result FinishWpaHandshake(ConnectParameters& params);
    Result WaitForWpaAddress(ConnectParameters& params);
    // One set under the worker's driver bound; its text either way.
    Result RunSet(const std::function<Result()>& set, const char* what, Result failure);
    bool Ending() const;
    // Runs `work` on the GUI thread and waits for it; false when it was
    // dropped because the attempts are ending.
    bool Deliver(std::function<void()> work);
    void Say(const std::string& text);

    const CApplicationOptions& settings_;
    CMainDialog* window_ = nullptr;
    IEventDispatcher* guiQueue_ = nullptr;
    IKeySource* keys_ = nullptr;
    ISupplicantBridge* bridge_ = nullptr;
    std::chrono::milliseconds driverWaitBound_ = kWorkerDriverWaitBound;
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
    std::thread worker_;
    std::atomic<bool> running_ = false;
    std::atomic<Result> lastResult_ = RES_FAILURE;
    BssidRecord lastTarget_;  // GUI thread only
};

}  // namespace tarvik
