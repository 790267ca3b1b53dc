// A simulated world for the tests: a scenario from tests/driver/scenarios,
// a fake clock (seconds since the world's start) and a sink that records.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/ResultCodes.h"
#include "driver/sim/ScenarioLoader.h"
#include "driver/sim/SimBackend.h"
#include "ndis/BssidList.h"
#include "ndis/ByteOrder.h"
#include "ndis/Keys.h"
#include "ndis/NdisTypes.h"
#include "ndis/Oids.h"
#include "ndis/Ssid.h"

namespace tarvik::driver::sim {

struct SinkEvent {
    enum class Kind { Frame, Media, Address } kind;
    std::string name;  // device name, or the instance name of a media event
    bool connected = false;
    std::vector<std::uint8_t> frame;
};

class RecordingSink final : public IBackendSink {
  public:
    void OnFrameReceived(const std::string& deviceName,
                         std::span<const std::uint8_t> frame) override {
        events.push_back({SinkEvent::Kind::Frame, deviceName, false, {frame.begin(), frame.end()}});
    }
    void OnMediaEvent(const std::string&, const std::string& instanceName,
                      bool connected) override {
        events.push_back({SinkEvent::Kind::Media, instanceName, connected, {}});
    }
    void OnAddressChanged(const std::string& deviceName) override {
        events.push_back({SinkEvent::Kind::Address, deviceName, false, {}});
    }
    // Events of one kind, of one device (or instance) when `name` is given.
    std::size_t Count(SinkEvent::Kind kind, const std::string& name = {}) const {
        std::size_t n = 0;
        for (const SinkEvent& event : events) {
            n += event.kind == kind && (name.empty() || event.name == name);
        }
        return n;
    }
    std::vector<SinkEvent> events;
};

class SimWorldTest : public testing::Test {
  protected:
    static constexpr std::int64_t kWallStart = 1700000000;

    void LoadWorld(const std::string& file = "world.json") {
        Scenario scenario;
        std::string error;
        const std::string path =
            file.starts_with('/') ? file : TARVIK_SOURCE_DIR "/tests/driver/scenarios/" + file;
        ASSERT_TRUE(LoadScenario(path, scenario, error)) << error;
        now_ = start_;
        sink_.events.clear();
        backend_ = SimBackend::Create(std::move(scenario), start_, kWallStart, error,
                                      [this] { return now_; });
        ASSERT_NE(backend_, nullptr) << error;
        backend_->SetSink(&sink_);
    }

    // Whole milliseconds, so "0.7 s after" lands exactly on the deadline.
    Clock::time_point At(double seconds) const {
        return start_ + std::chrono::milliseconds(std::llround(seconds * 1000));
    }
    // Moves the fake clock; requests made after it see the world at that time.
    void SetClock(double seconds) { now_ = At(seconds); }
    void RunTo(double seconds) {
        SetClock(seconds);
        backend_->Tick(now_);
    }

    std::string Device(int index) const { return backend_->Bindings().at(index).deviceName; }

    // The reply lands in out_ and the size wanted in needed_.
    std::uint32_t Query(const std::string& device, std::uint32_t oid, std::size_t capacity = 4000) {
        out_.clear();
        return backend_->QueryOid(device, oid, capacity, out_, needed_);
    }
    std::uint32_t U32(const std::string& device, std::uint32_t oid) {
        EXPECT_EQ(Query(device, oid, 4), 0u) << std::hex << oid;
        return out_.size() == 4 ? ndis::LoadLe32(out_.data()) : 0xDEADBEEF;
    }
    bool Connected(const std::string& device) {
        return U32(device, ndis::OID_GEN_MEDIA_CONNECT_STATUS) == ndis::NdisMediaStateConnected;
    }
    std::string Address(const std::string& device) { return Ip(device).addresses.at(0).address; }
    std::uint32_t SetU32(const std::string& device, std::uint32_t oid, std::uint32_t value) {
        std::vector<std::uint8_t> data;
        ndis::AppendLe32(data, value);
        return backend_->SetOid(device, oid, data);
    }
    std::uint32_t SetNoValue(const std::string& device, std::uint32_t oid) {
        // A set without a value still carries the block's 4 bytes of slack.
        const std::uint8_t slack[4] = {};
        return backend_->SetOid(device, oid, slack);
    }
    std::uint32_t SetSsid(const std::string& device, const std::string& ssid) {
        return backend_->SetOid(device, ndis::OID_802_11_SSID, *ndis::BuildSsid(ssid));
    }
    std::uint32_t AddWepKey(const std::string& device, std::vector<std::uint8_t> material) {
        ndis::Key80211 key;
        key.keyIndex = ndis::kKeyIndexTransmit;
        key.bssid = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
        key.keyMaterial = std::move(material);
        return backend_->SetOid(device, ndis::OID_802_11_ADD_KEY, ndis::BuildKey(key));
    }
    // The connection procedure's order: mode, authentication, (key),
    // encryption status, SSID.
    void Join(const std::string& device, const std::string& ssid, std::uint32_t auth,
              std::uint32_t encryption, std::uint32_t mode = 1) {
        ASSERT_EQ(SetU32(device, ndis::OID_802_11_INFRASTRUCTURE_MODE, mode), 0u);
        ASSERT_EQ(SetU32(device, ndis::OID_802_11_AUTHENTICATION_MODE, auth), 0u);
        ASSERT_EQ(SetU32(device, ndis::OID_802_11_ENCRYPTION_STATUS, encryption), 0u);
        ASSERT_EQ(SetSsid(device, ssid), 0u);
    }
    // The application's fetch: 2000 bytes, grown by 100 until the list fits.
    ndis::BssidList FetchList(const std::string& device) {
        std::size_t capacity = 2000;
        for (int retry = 0; retry < 1000; ++retry, capacity += 100) {
            const std::uint32_t error = Query(device, ndis::OID_802_11_BSSID_LIST, capacity);
            if (error == 0) return ndis::ParseBssidList(out_);
            EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
        }
        ADD_FAILURE() << "the list never fit";
        return {};
    }
    static bool Lists(const ndis::BssidList& list, const MacAddress& bssid) {
        return std::any_of(list.entries.begin(), list.entries.end(),
                           [&](const auto& entry) { return entry.GetMacAddress() == bssid; });
    }
    std::size_t MediaEvents(bool connected) const {
        return std::count_if(sink_.events.begin(), sink_.events.end(), [&](const SinkEvent& e) {
            return e.kind == SinkEvent::Kind::Media && e.connected == connected;
        });
    }
    IpConfig Ip(const std::string& device) {
        IpConfig config;
        EXPECT_TRUE(backend_->GetIpConfig(device, config));
        return config;
    }

    Clock::time_point start_ = Clock::time_point{} + std::chrono::hours(1000);
    Clock::time_point now_ = start_;
    std::unique_ptr<SimBackend> backend_;
    RecordingSink sink_;
    std::vector<std::uint8_t> out_;
    std::size_t needed_ = 0;
};

// Adapters of world.json.
inline constexpr int kFull = 0, kTkip = 1, kWep = 2, kPlain = 3, kWiredStatic = 4, kWiredDhcp = 5,
                     kRescanning = 6;

// Access points of world.json.
inline constexpr MacAddress kOpen1{0x00, 0x18, 0x39, 0, 0, 0x01};
inline constexpr MacAddress kWpa2{0x00, 0x1e, 0x2a, 0, 0, 0x04};
inline constexpr MacAddress kMixed{0x00, 0x16, 0xcb, 0, 0, 0x05};
inline constexpr MacAddress kSecret{0x00, 0x17, 0x9a, 0, 0, 0x06};
inline constexpr MacAddress kPeer{0x00, 0x13, 0x46, 0, 0, 0x07};
inline constexpr MacAddress kTwinNear{0x00, 0x40, 0x96, 0, 0, 0x09};
inline constexpr MacAddress kTwinFar{0x00, 0x40, 0x96, 0, 0, 0x0a};
inline constexpr MacAddress kLate{0x00, 0x1c, 0xf0, 0, 0, 0x0b};
inline constexpr MacAddress kFader{0x00, 0x15, 0xe9, 0, 0, 0x0c};
inline constexpr MacAddress kRaw{0x00, 0x0c, 0x41, 0, 0, 0x0d};

}  // namespace tarvik::driver::sim
