// Arbitrary bytes as a scenario file. The loader refuses what it cannot use
// with a message; what it accepts must build a world that runs and answers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "driver/sim/ScenarioLoader.h"
#include "driver/sim/SimBackend.h"
#include "fuzz/FuzzCheck.h"
#include "ndis/Oids.h"

using namespace tarvik::driver;
using namespace tarvik::driver::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scenario scenario;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ParseScenario(text, scenario, error)) {
        TARVIK_FUZZ_CHECK(!error.empty());
        return 0;
    }
    // Fuzzed input names no socket paths to bind or clear on this machine.
    for (AccessPoint& ap : scenario.accessPoints) ap.authenticator.external.clear();
    const Clock::time_point start{};
    auto backend = SimBackend::Create(std::move(scenario), start, 0, error);
    if (!backend) {
        TARVIK_FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (int second = 0; second <= 3; ++second) {
        backend->Tick(start + std::chrono::seconds(second));
        for (const Binding& binding : backend->Bindings()) {
            std::vector<std::uint8_t> out;
            std::size_t needed = 0;
            const std::uint32_t result = backend->QueryOid(
                binding.deviceName, tarvik::ndis::OID_802_11_BSSID_LIST, 100000, out, needed);
            TARVIK_FUZZ_CHECK(result != 0 || out.size() == needed);
            IpConfig config;
            TARVIK_FUZZ_CHECK(backend->GetIpConfig(binding.deviceName, config));
        }
    }
    return 0;
}
