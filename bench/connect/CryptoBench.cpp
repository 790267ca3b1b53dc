// PSK derivation (PBKDF2-HMAC-SHA1, 4096 iterations, 32 bytes) in process and
// as whole processes beside Debian's wpa_passphrase, plus the handshake's
// per-frame primitives.
#include "connect/Crypto.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace tarvik {
namespace {

constexpr const char* kPassphrase = "password";
constexpr const char* kSsid = "IEEE";
constexpr const char* kWpaPassphrase = "/usr/bin/wpa_passphrase";

std::string ExpectedPskHex() {
    std::uint8_t psk[32];
    if (Pbkdf2Sha1(kPassphrase, reinterpret_cast<const std::uint8_t*>(kSsid), std::strlen(kSsid),
                   4096, psk, sizeof psk) != 0) {
        return {};
    }
    std::string hex;
    char digits[3];
    for (std::uint8_t b : psk) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    return hex;
}

// Runs `argv` to completion with its standard output captured and adds the
// child's CPU time (user + system, seconds) to `cpuSeconds`; false when it
// cannot be started or does not exit with status 0.
bool RunCapturing(const std::vector<const char*>& argv, std::string& output, double& cpuSeconds) {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> args;
    for (const char* arg : argv) {
        args.push_back(const_cast<char*>(arg));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    output.clear();
    char buffer[512];
    ssize_t got = 0;
    while (spawned == 0 &&
           ((got = read(fds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))) {
        if (got > 0) {
            output.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fds[0]);
    if (spawned != 0) {
        return false;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    for (const timeval& tv : {usage.ru_utime, usage.ru_stime}) {
        cpuSeconds += static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_Pbkdf2Sha1Psk(benchmark::State& state) {
    std::uint8_t psk[32];
    for (auto _ : state) {
        const int result = Pbkdf2Sha1(kPassphrase, reinterpret_cast<const std::uint8_t*>(kSsid),
                                      std::strlen(kSsid), 4096, psk, sizeof psk);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(psk);
    }
}
BENCHMARK(BM_Pbkdf2Sha1Psk)->Unit(benchmark::kMillisecond);

// One whole process per iteration; the PSK in its output is checked. The
// "child_cpu" counter is the process's own CPU time per run, which a busy
// machine disturbs less than the wall time.
void RunProcessBenchmark(benchmark::State& state, const std::vector<const char*>& argv) {
    const std::string expected = "psk=" + ExpectedPskHex();
    std::string output;
    double cpuSeconds = 0;
    for (auto _ : state) {
        if (!RunCapturing(argv, output, cpuSeconds)) {
            state.SkipWithError("the program could not be run");
            return;
        }
    }
    state.counters["child_cpu"] =
        benchmark::Counter(cpuSeconds, benchmark::Counter::kAvgIterations);
    if (output.find(expected) == std::string::npos) {
        state.SkipWithError("the program printed a different PSK");
    }
}

void BM_WpaPassphraseProcess(benchmark::State& state) {
    if (access(kWpaPassphrase, X_OK) != 0) {
        state.SkipWithError("wpa_passphrase is not installed (package wpasupplicant)");
        return;
    }
    RunProcessBenchmark(state, {kWpaPassphrase, kSsid, kPassphrase});
}
BENCHMARK(BM_WpaPassphraseProcess)->Unit(benchmark::kMillisecond);

void BM_PskCliProcess(benchmark::State& state) {
    RunProcessBenchmark(state, {TARVIK_PSK_CLI, kSsid, kPassphrase});
}
BENCHMARK(BM_PskCliProcess)->Unit(benchmark::kMillisecond);

// The PTK expansion of a CCMP handshake: 48 bytes from a 76-byte seed.
void BM_Sha1PrfPtk(benchmark::State& state) {
    std::uint8_t pmk[32] = {1};
    std::uint8_t data[76] = {2};
    std::uint8_t ptk[64];
    const auto length = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Sha1Prf(pmk, sizeof pmk, "Pairwise key expansion", data, sizeof data, ptk, length));
        benchmark::DoNotOptimize(ptk);
    }
}
BENCHMARK(BM_Sha1PrfPtk)->Arg(48)->Arg(64);

// A key-data MIC over a typical 121-byte msg3.
void BM_HmacSha1Mic(benchmark::State& state) {
    std::uint8_t kck[16] = {3};
    std::uint8_t frame[121] = {4};
    std::uint8_t mic[kSha1Length];
    for (auto _ : state) {
        benchmark::DoNotOptimize(HmacSha1(kck, sizeof kck, frame, sizeof frame, mic));
        benchmark::DoNotOptimize(mic);
    }
}
BENCHMARK(BM_HmacSha1Mic);

// The RC4 key-data decryption of a WPA group message: 256 bytes dropped, 32 used.
void BM_Rc4SkipGroupKey(benchmark::State& state) {
    std::uint8_t key[32] = {5};
    std::uint8_t data[32] = {6};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Rc4Skip(key, sizeof key, 256, data, sizeof data));
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_Rc4SkipGroupKey);

// The AES unwrap of an RSN msg3's key data (56 bytes of plaintext).
void BM_AesUnwrapKeyData(benchmark::State& state) {
    std::uint8_t kek[16] = {7};
    std::uint8_t wrapped[64] = {8};
    std::uint8_t plain[56];
    for (auto _ : state) {
        benchmark::DoNotOptimize(AesUnwrap(kek, 7, wrapped, plain));  // fails the check: same work
        benchmark::DoNotOptimize(plain);
    }
}
BENCHMARK(BM_AesUnwrapKeyData);

}  // namespace
}  // namespace tarvik

BENCHMARK_MAIN();
