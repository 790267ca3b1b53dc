// The supplicant's work per handshake message, on recorded handshakes (the
// shared wpa/vectors.json): message 1/4 (PTK derivation, 2/4 built and
// signed), a retransmitted message 3/4 (MIC check, key data decryption, 4/4
// built and signed), a retransmitted group message 1/2 (MIC check, GTK
// decryption, 2/2), and a whole 4-way handshake on a new supplicant. The PMK
// is given, so PBKDF2 is not in any of them. Retransmissions carry rising
// replay counters and are signed before timing starts.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "connect/EapolMic.h"
#include "connect/SecurityElement.h"
#include "connect/Supplicant.h"

namespace tarvik {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Json = nlohmann::json;

const char* const kHandshakes[] = {"iwd-rsn-ccmp-4way-and-group", "aircrack-wpa-cap"};

Bytes Hex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return out;
}

struct Recording {
    Bytes pmk, kck, snonce, ownElement, msg1, msg3, group1;
    ndis::MacAddress aa{}, spa{};
    bool rsn = false;
};

bool Load(std::size_t index, Recording& r) {
    std::ifstream in(TARVIK_TESTDATA_DIR "/wpa/vectors.json");
    if (!in) return false;
    const Json vectors = Json::parse(in);
    for (const Json& entry : vectors.at("handshakes")) {
        if (entry.at("name") != kHandshakes[index]) continue;
        auto field = [&](const char* name) { return Hex(entry.at(name)); };
        const Json& frames = entry.at("frames");
        r.pmk = field("pmk"), r.kck = field("kck"), r.snonce = field("snonce");
        r.msg1 = Hex(frames.at("msg1")), r.msg3 = Hex(frames.at("msg3"));
        r.group1 = Hex(frames.at("group1"));
        r.ownElement = Hex(frames.at("msg2"));
        r.ownElement.erase(r.ownElement.begin(), r.ownElement.begin() + eapol_layout::kKeyData);
        const Bytes aa = field("aa"), spa = field("spa");
        std::copy_n(aa.begin(), 6, r.aa.begin());
        std::copy_n(spa.begin(), 6, r.spa.begin());
        r.rsn = entry.at("descriptor_type") == EAPOL_KEY_TYPE_RSN;
        return true;
    }
    return false;
}

std::unique_ptr<CSupplicant> NewSupplicant(const Recording& r) {
    SupplicantCallbacks callbacks;
    callbacks.setKey = [](int, const ndis::MacAddress&, int, bool, std::span<const std::uint8_t>,
                          std::span<const std::uint8_t>) { return 0; };
    callbacks.sendFrame = [](const ndis::MacAddress&, std::uint16_t,
                             std::span<const std::uint8_t>) { return 0; };
    callbacks.randomBytes = [&r](std::span<std::uint8_t> out) {
        std::copy_n(r.snonce.begin(), out.size(), out.begin());
        return 0;
    };
    auto supplicant = std::make_unique<CSupplicant>(callbacks);
    supplicant->SetPmk(std::span<const std::uint8_t, 32>(r.pmk.data(), 32));
    supplicant->SetOwnAddress(r.spa);
    supplicant->SetProtocol(r.rsn ? SECURITY_PROTOCOL_RSN : SECURITY_PROTOCOL_WPA);
    const std::uint32_t cipher = r.rsn ? CIPHER_CCMP : CIPHER_TKIP;
    supplicant->SetCiphers(cipher, cipher);
    (void)supplicant->SetOwnElement(r.ownElement);
    return supplicant;
}

// `count` copies of `frame` with replay counters above its own, each signed.
std::vector<Bytes> Retransmissions(const Recording& r, const Bytes& frame, std::size_t count) {
    std::vector<Bytes> copies(count, frame);
    for (std::size_t i = 0; i < count; ++i) {
        Bytes& copy = copies[i];
        const std::uint64_t counter = 0x100 + i;
        for (int b = 0; b < 8; ++b) {
            copy[eapol_layout::kReplayCounter + b] =
                static_cast<std::uint8_t>(counter >> (56 - 8 * b));
        }
        const int version = copy[eapol_layout::kKeyInformation + 1] & KEY_INFO_VERSION_MASK;
        (void)WriteEapolMic(version, std::span<const std::uint8_t, 16>(r.kck.data(), 16), copy);
    }
    return copies;
}

bool Ready(benchmark::State& state, Recording& r) {
    if (Load(static_cast<std::size_t>(state.range(0)), r)) {
        state.SetLabel(kHandshakes[state.range(0)]);
        return true;
    }
    state.SkipWithError("wpa/vectors.json is missing");
    return false;
}

void BM_Message1(benchmark::State& state) {
    Recording r;
    if (!Ready(state, r)) return;
    auto supplicant = NewSupplicant(r);
    for (auto _ : state) benchmark::DoNotOptimize(supplicant->ReceiveEapol(r.aa, r.msg1));
}

// Message 3/4 or group message 1/2 retransmitted after the handshake so far.
void RunRetransmitted(benchmark::State& state, bool group) {
    Recording r;
    if (!Ready(state, r)) return;
    const std::vector<Bytes> frames = Retransmissions(r, group ? r.group1 : r.msg3, 1 << 14);
    auto supplicant = NewSupplicant(r);
    supplicant->ReceiveEapol(r.aa, r.msg1);
    supplicant->ReceiveEapol(r.aa, r.msg3);
    std::size_t next = 0;
    for (auto _ : state) {
        if (next == frames.size()) {
            state.SkipWithError("ran out of prepared frames");
            break;
        }
        if (supplicant->ReceiveEapol(r.aa, frames[next++]) != 0) {
            state.SkipWithError("a retransmission was dropped");
            break;
        }
    }
}

void BM_Message3(benchmark::State& state) {
    RunRetransmitted(state, false);
}

void BM_GroupMessage1(benchmark::State& state) {
    RunRetransmitted(state, true);
}

void BM_FourWayHandshake(benchmark::State& state) {
    Recording r;
    if (!Ready(state, r)) return;
    for (auto _ : state) {
        auto supplicant = NewSupplicant(r);
        supplicant->ReceiveEapol(r.aa, r.msg1);
        if (supplicant->ReceiveEapol(r.aa, r.msg3) != 0) {
            state.SkipWithError("message 3/4 was dropped");
            break;
        }
    }
}

BENCHMARK(BM_Message1)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Message3)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond)->Iterations(10000);
BENCHMARK(BM_GroupMessage1)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond)->Iterations(10000);
BENCHMARK(BM_FourWayHandshake)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
