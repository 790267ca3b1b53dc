// OID query round trips through the driver socket: the raw handle request,
// and the channel's gated QueryOid that every adapter query goes through.
#include <benchmark/benchmark.h>

#include <memory>

#include "adapter/DriverChannel.h"
#include "bench/support/ServedWorld.h"
#include "driver/Backend.h"
#include "ndis/Oids.h"
#include "tests/support/QuietBackend.h"

namespace {

using namespace tarvik;
using bench::CrowdedWorld;
using bench::ServedWorld;

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

void BM_ChannelQueryOid(benchmark::State& state) {
    ServedWorld world(std::make_unique<FixedBackend>());
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
    ServedWorld world(std::make_unique<FixedBackend>());
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
