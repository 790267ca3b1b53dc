// Arbitrary bytes as a sequence of requests to a simulated card: sets and
// queries of every known object with arbitrary data, frame writes, address
// releases and clock steps. The card must stay consistent: replies fit the
// caller's buffer, "buffer too small" names a larger size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/ResultCodes.h"
#include "driver/sim/ScenarioLoader.h"
#include "driver/sim/SimBackend.h"
#include "fuzz/FuzzCheck.h"
#include "ndis/Oids.h"

using namespace tarvik::driver;
using namespace tarvik::driver::sim;

namespace {

constexpr const char* kWorld = R"({
  "adapters": [
    {"capabilities": {"networkTypes": ["DS", "OFDM24", "OFDM5"]}},
    {"capabilities": {"wpa": false, "bestEncryption": "WEP"}},
    {"type": "wired", "dhcp": {"delayMs": 100}}
  ],
  "accessPoints": [
    {"bssid": "00:18:39:00:00:01", "ssid": "Open", "channel": 1,
     "traffic": {"framesPerSecond": 20}, "dhcp": {"delayMs": 200}},
    {"bssid": "00:14:6c:00:00:02", "ssid": "Wep", "security": "wep",
     "wepKeys": ["0102030405"], "traffic": {"framesPerSecond": 5}},
    {"bssid": "00:1e:2a:00:00:03", "ssid": "Wpa2", "channel": 36, "security": "wpa2-psk"},
    {"bssid": "00:16:cb:00:00:04", "ssid": "Open", "security": "wpa-wpa2-psk",
     "signal": {"keyframes": [{"t": 0, "rssi": -60}, {"t": 5, "rssi": -100}],
                "visible": [{"from": 0, "to": 3}], "repeat": 6}}
  ]
})";

class Input {
  public:
    explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Empty() const { return position_ >= bytes_.size(); }
    std::uint8_t Byte() { return Empty() ? 0 : bytes_[position_++]; }
    std::span<const std::uint8_t> Take(std::size_t count) {
        count = std::min(count, bytes_.size() - position_);
        const auto taken = bytes_.subspan(position_, count);
        position_ += count;
        return taken;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scenario scenario;
    std::string error;
    TARVIK_FUZZ_CHECK(ParseScenario(kWorld, scenario, error));
    Clock::time_point now{};
    auto backend = SimBackend::Create(std::move(scenario), now, 0, error, [&now] { return now; });
    TARVIK_FUZZ_CHECK(backend);
    const auto bindings = backend->Bindings();
    const auto oids = tarvik::ndis::KnownOids();

    Input input({data, size});
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        const std::string& device = bindings[input.Byte() % bindings.size()].deviceName;
        const std::uint32_t oid = oids[input.Byte() % oids.size()].number;
        switch (op % 5) {
            case 0:
                backend->SetOid(device, oid, input.Take(input.Byte()));
                break;
            case 1: {
                const std::size_t capacity = input.Byte() * 8;
                std::vector<std::uint8_t> out;
                std::size_t needed = 0;
                const std::uint32_t result = backend->QueryOid(device, oid, capacity, out, needed);
                if (result == 0) TARVIK_FUZZ_CHECK(out.size() <= capacity && out.size() == needed);
                if (result == static_cast<std::uint32_t>(tarvik::ERROR_INSUFFICIENT_BUFFER)) {
                    TARVIK_FUZZ_CHECK(needed > capacity);
                }
                break;
            }
            case 2:
                backend->WriteFrame(device, input.Take(input.Byte() * 10));
                break;
            case 3:
                backend->ReleaseAddress(device);
                break;
            case 4:
                now += std::chrono::milliseconds(input.Byte() * 50);
                backend->Tick(now);
                break;
        }
    }
    return 0;
}
