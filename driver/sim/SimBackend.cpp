#include "driver/sim/SimBackend.h"

#include "core/ResultCodes.h"
#include "driver/sim/ScenarioLoader.h"

namespace tarvik::driver::sim {

namespace {

// A Tick that covers a long stretch runs at most this many steps in between;
// the rest of the stretch is covered in one step.
constexpr int kMaxStepsPerTick = 100000;
constexpr auto kIdleDeadline = std::chrono::seconds(60);
// How often the sockets of access points played by programs are looked at.
constexpr auto kExternalPollInterval = std::chrono::milliseconds(20);

}  // namespace

SimBackend::SimBackend(Scenario scenario, Clock::time_point start, std::int64_t wallStart,
                       TimeSource now)
    : scenario_(std::move(scenario)), now_(std::move(now)), lastTick_(start) {
    world_.start = start;
    world_.wallStart = wallStart;
    world_.accessPoints.reserve(scenario_.accessPoints.size());
    for (const AccessPoint& ap : scenario_.accessPoints) world_.accessPoints.emplace_back(ap);
    serviceRunning_ = scenario_.competingServiceRunning;
}

std::unique_ptr<SimBackend> SimBackend::Create(Scenario scenario, Clock::time_point start,
                                               std::int64_t wallStart, std::string& error,
                                               TimeSource now) {
    std::unique_ptr<SimBackend> backend(
        new SimBackend(std::move(scenario), start, wallStart, std::move(now)));
    for (std::size_t i = 0; i < backend->scenario_.accessPoints.size(); ++i) {
        const std::string& path = backend->scenario_.accessPoints[i].authenticator.external;
        if (path.empty()) continue;
        auto external = CExternalAuthenticator::Open(path, error);
        if (!external) {
            error = "accessPoints[" + std::to_string(i) + "].authenticator.external: " + error;
            return nullptr;
        }
        backend->world_.accessPoints[i].SetExternal(external.get());
        backend->externals_.push_back(std::move(external));
    }
    for (std::size_t i = 0; i < backend->scenario_.adapters.size(); ++i) {
        const Adapter& config = backend->scenario_.adapters[i];
        auto adapter = std::make_unique<SimAdapter>(config, backend->world_, backend->sink_);
        if (config.association && !adapter->SettleInitialAssociation()) {
            error = "adapters[" + std::to_string(i) +
                    "].association.bssid: the adapter cannot join this access point";
            return nullptr;
        }
        backend->adapters_.push_back(std::move(adapter));
    }
    return backend;
}

void SimBackend::Tick(Clock::time_point now) {
    RunWorld(now);
}

void SimBackend::CatchUp() const {
    if (now_) RunWorld(now_());
}

void SimBackend::RunWorld(Clock::time_point now) const {
    if (now < lastTick_) now = lastTick_;
    for (const auto& external : externals_) external->Poll();
    // Run every moment the world wants in between, in order, so delays and
    // timelines are honoured even when the ticks come late.
    for (int step = 0; step < kMaxStepsPerTick; ++step) {
        std::optional<Clock::time_point> next;
        for (const auto& adapter : adapters_) {
            const auto deadline = adapter->NextDeadline();
            if (deadline && (!next || *deadline < *next)) next = deadline;
        }
        if (!next || *next > now) break;
        NoteAccessPointsOnAir(*next);
        for (const auto& adapter : adapters_) adapter->Advance(*next);
    }
    NoteAccessPointsOnAir(now);
    for (const auto& adapter : adapters_) adapter->Advance(now);
    lastTick_ = now;
}

void SimBackend::SetAirMonitor(IAirMonitor* monitor) {
    world_.monitor = monitor;
    onAir_.assign(world_.accessPoints.size(), false);
    NoteAccessPointsOnAir(lastTick_);
}

void SimBackend::NoteAccessPointsOnAir(Clock::time_point now) const {
    if (!world_.monitor) return;
    const double seconds = world_.SecondsAt(now);
    for (std::size_t i = 0; i < world_.accessPoints.size(); ++i) {
        const bool onAir = world_.accessPoints[i].IsOnAir(seconds);
        if (onAir && !onAir_[i]) world_.monitor->OnBeacon(world_.accessPoints[i]);
        onAir_[i] = onAir;
    }
}

Clock::time_point SimBackend::NextDeadline() const {
    Clock::time_point next =
        lastTick_ + (externals_.empty() ? Clock::duration(kIdleDeadline) : kExternalPollInterval);
    for (const auto& adapter : adapters_) {
        const auto deadline = adapter->NextDeadline();
        if (deadline && *deadline < next) next = *deadline;
    }
    return next;
}

std::vector<Binding> SimBackend::Bindings() const {
    std::vector<Binding> bindings;
    for (const auto& adapter : adapters_) {
        bindings.push_back({adapter->DeviceName(), adapter->Config().vendorDescription});
    }
    return bindings;
}

bool SimBackend::IsBound(const std::string& deviceName) const {
    return FindAdapter(deviceName) != nullptr;
}

std::vector<NetworkCard> SimBackend::NetworkCards() const {
    std::vector<NetworkCard> cards;
    for (const auto& adapter : adapters_) {
        cards.push_back(
            {adapter->Config().registryServiceName, adapter->Config().registryDescription});
    }
    return cards;
}

SimAdapter* SimBackend::FindAdapter(const std::string& deviceName) {
    for (const auto& adapter : adapters_) {
        if (adapter->DeviceName() == deviceName) return adapter.get();
    }
    return nullptr;
}

const SimAdapter* SimBackend::FindAdapter(const std::string& deviceName) const {
    for (const auto& adapter : adapters_) {
        if (adapter->DeviceName() == deviceName) return adapter.get();
    }
    return nullptr;
}

std::uint32_t SimBackend::QueryOid(const std::string& deviceName, std::uint32_t oid,
                                   std::size_t capacity, std::vector<std::uint8_t>& out,
                                   std::size_t& needed) {
    CatchUp();
    needed = 0;
    SimAdapter* adapter = FindAdapter(deviceName);
    if (!adapter) return ERROR_FILE_NOT_FOUND;
    return adapter->QueryOid(oid, capacity, out, needed);
}

std::uint32_t SimBackend::SetOid(const std::string& deviceName, std::uint32_t oid,
                                 std::span<const std::uint8_t> data) {
    CatchUp();
    SimAdapter* adapter = FindAdapter(deviceName);
    if (!adapter) return ERROR_FILE_NOT_FOUND;
    return adapter->SetOid(oid, data);
}

std::uint32_t SimBackend::WriteFrame(const std::string& deviceName,
                                     std::span<const std::uint8_t> frame) {
    CatchUp();
    SimAdapter* adapter = FindAdapter(deviceName);
    if (!adapter) return ERROR_FILE_NOT_FOUND;
    return adapter->WriteFrame(frame);
}

bool SimBackend::GetIpConfig(const std::string& deviceName, IpConfig& config) const {
    CatchUp();
    const SimAdapter* adapter = FindAdapter(deviceName);
    if (!adapter) return false;
    config = adapter->GetIpConfig();
    return true;
}

std::uint32_t SimBackend::ReleaseAddress(const std::string& deviceName) {
    CatchUp();
    SimAdapter* adapter = FindAdapter(deviceName);
    if (!adapter) return ERROR_FILE_NOT_FOUND;
    return adapter->ReleaseAddress();
}

std::uint32_t SimBackend::StartService() {
    if (serviceRunning_) return kErrorServiceAlreadyRunning;
    serviceRunning_ = true;
    return 0;
}

std::uint32_t SimBackend::StopService() {
    if (!serviceRunning_) return kErrorServiceNotActive;
    serviceRunning_ = false;
    return 0;
}

}  // namespace tarvik::driver::sim

namespace tarvik::driver {

std::unique_ptr<IBackend> CreateSimBackend(const std::string& scenarioPath, std::string& error,
                                           sim::IAirMonitor* monitor) {
    using namespace sim;
    Scenario scenario;
    if (!LoadScenario(scenarioPath, scenario, error)) return nullptr;
    const std::int64_t wallStart = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
    auto backend = SimBackend::Create(std::move(scenario), Clock::now(), wallStart, error,
                                      [] { return Clock::now(); });
    if (!backend) {
        error = scenarioPath + ": " + error;
        return nullptr;
    }
    if (monitor) backend->SetAirMonitor(monitor);
    return backend;
}

}  // namespace tarvik::driver
