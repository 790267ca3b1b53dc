// OID query round trips through the driver socket: the raw handle request,
// and the channel's gated QueryOid that every adapter query goes through.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "adapter/DriverChannel.h"
#include "driver/Backend.h"
#include "driver/DriverServer.h"
#include "ndis/Oids.h"

namespace {

using namespace tarvik;

const std::string kDevice = "\\DEVICE\\{4F3A2B1C-0D9E-4A8B-9C7D-6E5F4A3B2C1D}";

// Answers every query with `size` bytes.
class FixedBackend : public driver::IBackend {
  public:
    void SetSink(driver::IBackendSink*) override {}
    void Tick(driver::Clock::time_point) override {}
    driver::Clock::time_point NextDeadline() const override {
        return driver::Clock::time_point::max();
    }
    std::vector<driver::Binding> Bindings() const override { return {{kDevice, "Bench"}}; }
    bool IsBound(const std::string& name) const override { return name == kDevice; }
    std::uint32_t QueryOid(const std::string&, std::uint32_t oid, std::size_t capacity,
                           std::vector<std::uint8_t>& out, std::size_t& needed) override {
        needed = oid == ndis::OID_802_11_BSSID_LIST ? 6000 : 4;
        if (needed > capacity) return 122;
        out.assign(needed, 0x42);
        return 0;
    }
    std::uint32_t SetOid(const std::string&, std::uint32_t,
                         std::span<const std::uint8_t>) override {
        return 0;
    }
    std::uint32_t WriteFrame(const std::string&, std::span<const std::uint8_t>) override {
        return 0;
    }
    bool GetIpConfig(const std::string&, driver::IpConfig&) const override { return false; }
    std::uint32_t ReleaseAddress(const std::string&) override { return 0; }
    bool IsServiceRunning() const override { return false; }
    std::uint32_t StartService() override { return 0; }
    std::uint32_t StopService() override { return 0; }
};

class ServedWorld {
  public:
    ServedWorld() {
        char pattern[] = "/tmp/tarvik-bench-XXXXXX";
        folder_ = mkdtemp(pattern);
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

  private:
    FixedBackend backend_;
    driver::DriverServer server_{backend_};
    std::string folder_;
    std::thread thread_;
};

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
