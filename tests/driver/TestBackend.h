// A small in-test world behind the driver server, and a fixture that serves
// it on a real socket in a temporary folder.
//
// Frames written to an adapter come back to it as received frames
// (loopback). Setting kOidTestMediaEvent / kOidTestAddressChange raises a
// media event (data[0]: connected) or an address change, so tests drive
// events from the client side, through the server's own thread. Setting
// kOidTestHold keeps the server's thread inside the request until Release().
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/Backend.h"
#include "driver/DriverServer.h"

namespace tarvik::testing {

inline constexpr std::uint32_t kOidTestMediaEvent = 0xFF000001;
inline constexpr std::uint32_t kOidTestAddressChange = 0xFF000002;
inline constexpr std::uint32_t kOidTestHold = 0xFF000003;
inline constexpr std::uint32_t kOidVendorDescription = 0x0001010D;
inline constexpr std::uint32_t kOidRejected = 0x0D010101;  // the adapter refuses it

class TestBackend : public driver::IBackend {
  public:
    struct Adapter {
        std::string description;
        std::map<std::uint32_t, std::vector<std::uint8_t>> oids;
    };
    struct SetRecord {
        std::string device;
        std::uint32_t oid;
        std::vector<std::uint8_t> data;
    };

    void AddAdapter(const std::string& device, const std::string& description) {
        std::lock_guard lock(mutex_);
        order_.push_back(device);
        Adapter& adapter = adapters_[device];
        adapter.description = description;
        auto& text = adapter.oids[kOidVendorDescription];
        text.assign(description.c_str(), description.c_str() + description.size() + 1);
    }
    void SetOidValue(const std::string& device, std::uint32_t oid,
                     std::vector<std::uint8_t> value) {
        std::lock_guard lock(mutex_);
        adapters_[device].oids[oid] = std::move(value);
    }
    std::vector<SetRecord> Sets() const {
        std::lock_guard lock(mutex_);
        return sets_;
    }
    // Waits until the server's thread is held in a kOidTestHold request.
    void WaitUntilHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // OID queries answered so far; `probe` runs on the server thread at
    // each one, before it is answered.
    std::size_t Queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }
    void SetQueryProbe(std::function<void()> probe) {
        std::lock_guard lock(mutex_);
        probe_ = std::move(probe);
    }
    bool serviceRunning() const {
        std::lock_guard lock(mutex_);
        return serviceRunning_;
    }

    void SetSink(driver::IBackendSink* sink) override { sink_ = sink; }
    void Tick(driver::Clock::time_point) override {}
    driver::Clock::time_point NextDeadline() const override {
        return driver::Clock::time_point::max();
    }
    std::vector<driver::Binding> Bindings() const override {
        std::lock_guard lock(mutex_);
        std::vector<driver::Binding> bindings;
        for (const auto& device : order_) {
            bindings.push_back({device, adapters_.at(device).description});
        }
        return bindings;
    }
    bool IsBound(const std::string& device) const override {
        std::lock_guard lock(mutex_);
        return adapters_.count(device) != 0;
    }
    std::uint32_t QueryOid(const std::string& device, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override {
        std::function<void()> probe;
        {
            std::lock_guard lock(mutex_);
            ++queries_;
            probe = probe_;
        }
        if (probe) probe();
        std::lock_guard lock(mutex_);
        auto adapter = adapters_.find(device);
        if (adapter == adapters_.end()) return 2;
        auto value = adapter->second.oids.find(oid);
        if (value == adapter->second.oids.end()) return 1;  // ERROR_INVALID_FUNCTION
        needed = value->second.size();
        if (needed > capacity) return 122;
        out = value->second;
        return 0;
    }
    std::uint32_t SetOid(const std::string& device, std::uint32_t oid,
                         std::span<const std::uint8_t> data) override {
        std::string description;
        {
            std::unique_lock lock(mutex_);
            if (oid == kOidTestHold) {
                held_ = true;
                changed_.notify_all();
                changed_.wait(lock, [this] { return !held_; });
                return 0;
            }
            sets_.push_back({device, oid, {data.begin(), data.end()}});
            if (oid == kOidRejected) return 87;
            if (oid != kOidTestMediaEvent && oid != kOidTestAddressChange) {
                adapters_[device].oids[oid].assign(data.begin(), data.end());
            }
            if (adapters_.count(device) != 0) description = adapters_.at(device).description;
        }
        if (oid == kOidTestMediaEvent && sink_ != nullptr) {
            sink_->OnMediaEvent(device, description, !data.empty() && data[0] != 0);
        }
        if (oid == kOidTestAddressChange && sink_ != nullptr) sink_->OnAddressChanged(device);
        return 0;
    }
    std::uint32_t WriteFrame(const std::string& device,
                             std::span<const std::uint8_t> frame) override {
        if (sink_ != nullptr) sink_->OnFrameReceived(device, frame);
        return 0;
    }
    bool GetIpConfig(const std::string& device, driver::IpConfig& config) const override {
        if (!IsBound(device)) return false;
        config.dhcpEnabled = true;
        config.dhcpServer = "192.168.1.1";
        config.addresses = {{"192.168.1.20", "255.255.255.0"}};
        config.gateways = {"192.168.1.1"};
        config.leaseObtained = 1700000000;
        return true;
    }
    std::uint32_t ReleaseAddress(const std::string& device) override {
        return IsBound(device) ? 0 : 2;
    }
    std::vector<driver::NetworkCard> NetworkCards() const override {
        std::lock_guard lock(mutex_);
        std::vector<driver::NetworkCard> cards;
        for (const auto& device : order_) {
            cards.push_back({device.substr(8), adapters_.at(device).description + " (registry)"});
        }
        return cards;
    }
    bool IsServiceRunning() const override { return serviceRunning(); }
    std::uint32_t StartService() override { return SetRunning(true); }
    std::uint32_t StopService() override { return SetRunning(false); }

  private:
    std::uint32_t SetRunning(bool running) {
        std::lock_guard lock(mutex_);
        serviceRunning_ = running;
        return 0;
    }

    mutable std::mutex mutex_;
    driver::IBackendSink* sink_ = nullptr;  // used on the server thread only
    std::vector<std::string> order_;
    std::map<std::string, Adapter> adapters_;
    std::vector<SetRecord> sets_;
    bool serviceRunning_ = true;
    std::condition_variable changed_;
    bool held_ = false;
    std::size_t queries_ = 0;
    std::function<void()> probe_;
};

inline const std::string kAdapterA = "\\DEVICE\\{4F3A2B1C-0D9E-4A8B-9C7D-6E5F4A3B2C1D}";
inline const std::string kGuidA = "{4F3A2B1C-0D9E-4A8B-9C7D-6E5F4A3B2C1D}";
inline const std::string kAdapterB = "\\DEVICE\\{0A1B2C3D-4E5F-4061-8273-8495A6B7C8D9}";

// Serves a TestBackend with two adapters on a socket in a temporary folder,
// and points TARVIK_DRIVER_SOCKET at it for the client layer.
class ServedBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarvik-driver-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        socketPath_ = folder_ + "/driver.sock";
        AddAdapters();
        server_ = std::make_unique<driver::DriverServer>(backend_, limits_);
        std::string error;
        ASSERT_TRUE(server_->Listen(socketPath_, error)) << error;
        setenv("TARVIK_DRIVER_SOCKET", socketPath_.c_str(), 1);
        thread_ = std::thread([this] { server_->Run(); });
    }
    virtual void AddAdapters() {
        backend_.AddAdapter(kAdapterA, "Simulated 802.11g Adapter");
        backend_.AddAdapter(kAdapterB, "Simulated Ethernet Adapter");
    }
    void TearDown() override {
        if (thread_.joinable()) {
            server_->Stop();
            thread_.join();
        }
        server_.reset();
        unsetenv("TARVIK_DRIVER_SOCKET");
        std::filesystem::remove_all(folder_);
    }

    TestBackend backend_;
    driver::ServerLimits limits_;  // a test's constructor may change them
    std::string folder_;
    std::string socketPath_;
    std::unique_ptr<driver::DriverServer> server_;
    std::thread thread_;
};

}  // namespace tarvik::testing
