// OID query round trips through the driver socket: the raw handle request,
// and the channel's gated QueryOid that every adapter query goes through.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "adapter/DriverChannel.h"
#include "driver/Backend.h"
#include "driver/DriverServer.h"
#include "driver/sim/SimBackend.h"
#include "ndis/Oids.h"
#include "tests/support/QuietBackend.h"

namespace {

using namespace tarvik;

const std::string kDevice = "\\DEVICE\\{4F3A2B1C-0D9E-4A8B-9C7D-6E5F4A3B2C1D}";

// Answers every query with `size` bytes.
class FixedBackend : public testing_support::QuietBackend {
  public:
    std::vector<driver::Binding> Bindings() const override { return {{kDevice, "Bench"}}; }
    bool IsBound(const std::string& name) const override { return name == kDevice; }
    std::uint32_t QueryOid(const std::string&, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override {
        needed = oid == ndis::OID_802_11_BSSID_LIST ? 6000 : 4;
        if (needed > capacity) return 122;
        out.assign(needed, 0x42);
        return 0;
    }
};

// Serves a backend on a socket in a temporary folder for the benchmark's life.
class ServedWorld {
  public:
    explicit ServedWorld(
        std::unique_ptr<driver::IBackend> backend = std::make_unique<FixedBackend>())
        : backend_(std::move(backend)), server_(*backend_) {
        firstBinding_ = backend_->Bindings().front().deviceName;  // before the server runs
        const std::string path = folder_ + "/driver.sock";
        std::string error;
        if (!server_.Listen(path, error)) std::abort();
        setenv("TARVIK_DRIVER_SOCKET", path.c_str(), 1);
        thread_ = std::thread([this] { server_.Run(); });
    }
    ~ServedWorld() {
        server_.Stop();
        thread_.join();
        std::filesystem::remove_all(folder_);
    }

    static std::string MakeFolder() {
        char pattern[] = "/tmp/tarvik-bench-XXXXXX";
        const char* folder = mkdtemp(pattern);
        if (!folder) std::abort();
        return folder;
    }

    const std::string& FirstBinding() const { return firstBinding_; }

  private:
    std::string folder_ = MakeFolder();
    std::unique_ptr<driver::IBackend> backend_;
    driver::DriverServer server_;
    std::string firstBinding_;
    std::thread thread_;
};

// A simulated card that sees `count` WPA2 access points on channel 6.
std::unique_ptr<driver::IBackend> CrowdedWorld(int count) {
    const std::string path = std::filesystem::temp_directory_path() / "tarvik-bench-crowd.json";
    {
        std::ofstream out(path);
        out << "{ \"adapters\": [ {} ], \"accessPoints\": [\n";
        for (int i = 0; i < count; ++i) {
            char bssid[18];
            std::snprintf(bssid, sizeof(bssid), "00:18:39:%02x:%02x:%02x", (i >> 16) & 0xff,
                          (i >> 8) & 0xff, i & 0xff);
            out << (i ? ",\n" : "") << "{ \"bssid\": \"" << bssid << "\", \"ssid\": \"Survey-" << i
                << "\", \"channel\": 6, \"security\": \"wpa2-psk\" }";
        }
        out << "\n] }\n";
    }
    std::string error;
    auto backend = driver::CreateSimBackend(path, error);
    std::filesystem::remove(path);
    if (!backend) {
        std::fprintf(stderr, "crowded world: %s\n", error.c_str());
        std::abort();
    }
    return backend;
}

void BM_ChannelQueryOid(benchmark::State& state) {
    ServedWorld world;
    DriverHandle handle = OpenDriver();
    if (!handle || !OpenDevice(handle, kDevice)) {
        state.SkipWithError("no driver");
        return;
    }
    CDriverGate gate;
    const auto oid = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint8_t> buffer(8192);
    for (auto _ : state) {
        std::uint32_t returned = 0;
        const Result result = QueryOid(handle, &gate, oid, buffer.data(),
                                       static_cast<std::uint32_t>(buffer.size()), &returned);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChannelQueryOid)
    ->Arg(ndis::OID_GEN_MEDIA_CONNECT_STATUS)
    ->Arg(ndis::OID_802_11_BSSID_LIST)
    ->UseRealTime();

// One OID_802_11_BSSID_LIST fetch of 1,000 access points from the simulated
// card, into a buffer that holds the whole list.
void BM_BssidListOf1000(benchmark::State& state) {
    ServedWorld world(CrowdedWorld(1000));
    DriverHandle handle = OpenDriver();
    std::string device;
    if (handle) device = world.FirstBinding();
    if (!handle || !OpenDevice(handle, device)) {
        state.SkipWithError("no driver");
        return;
    }
    CDriverGate gate;
    std::vector<std::uint8_t> buffer(512 * 1024);
    std::uint32_t returned = 0;
    for (auto _ : state) {
        const Result result = QueryOid(handle, &gate, ndis::OID_802_11_BSSID_LIST, buffer.data(),
                                       static_cast<std::uint32_t>(buffer.size()), &returned);
        if (result != 0) state.SkipWithError("list query failed");
        benchmark::DoNotOptimize(result);
    }
    state.counters["list_bytes"] = returned;
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BssidListOf1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_DirectQueryOid(benchmark::State& state) {
    ServedWorld world;
    const std::u16string device(kDevice.begin(), kDevice.end());
    std::uint8_t buffer[8];
    for (auto _ : state) {
        std::uint32_t returned = 0;
        benchmark::DoNotOptimize(QueryOidDirect(device, ndis::OID_GEN_MEDIA_CONNECT_STATUS, buffer,
                                                sizeof(buffer), &returned));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirectQueryOid)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
