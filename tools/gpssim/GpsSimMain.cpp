// tarvik-gpssim: a simulated GPS receiver on a pseudo-terminal, replaying a
// receiver log or walking a route, one epoch of sentences a second.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "tools/gpssim/LineDamage.h"
#include "tools/gpssim/PrivateLink.h"
#include "tools/gpssim/PtyOutput.h"
#include "tools/gpssim/ReplayLog.h"
#include "tools/gpssim/RouteWalk.h"
#include "tools/gpssim/SimOptions.h"

namespace {

using namespace tarvik::gpssim;
using Clock = std::chrono::steady_clock;

bool gStop = false;
// Readable once SIGINT or SIGTERM came. The signals are blocked and read from
// a descriptor rather than caught, so a stop is seen by the next wait
// whatever the runtime does with handlers (sanitizers defer them).
int gStopSignals = -1;

bool CatchStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    gStopSignals = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);  // stdout may be a pipe nobody reads any more
    return gStopSignals >= 0;
}

// Sleeps until `when`, or until a stop signal comes.
void SleepUntil(Clock::time_point when) {
    while (!gStop && Clock::now() < when) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
        pollfd stop{gStopSignals, POLLIN, 0};
        const int timeout = static_cast<int>(std::clamp<std::int64_t>(left.count() + 1, 1, 1000));
        if (::poll(&stop, 1, timeout) > 0) gStop = true;
    }
}

// The sentences of epoch `index`, empty once a log without --loop has ended.
class CEpochSource {
  public:
    CEpochSource(const SimOptions& options, std::vector<Epoch> log)
        : options_(options), log_(std::move(log)), walk_(options.route, options.speed) {}

    Epoch Next(long index) {
        if (!options_.route.empty()) return Walk(index);
        if (log_.empty()) return {};
        if (!options_.loop && index >= static_cast<long>(log_.size())) return {};
        return log_[static_cast<std::size_t>(index) % log_.size()];
    }

  private:
    Epoch Walk(long index) {
        SimEpoch epoch = walk_.EpochAt(static_cast<double>(index), std::time(nullptr));
        const int every = options_.noFixEvery;
        if (every > 0 && index % every >= every - options_.noFixFor) epoch.fix = false;
        return BuildEpochSentences(epoch);
    }

    const SimOptions& options_;
    std::vector<Epoch> log_;
    CRouteWalk walk_;
};

int Run(const SimOptions& options) {
    std::vector<Epoch> log;
    if (!options.replayFile.empty()) {
        std::ifstream file(options.replayFile, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "tarvik-gpssim: cannot read %s\n", options.replayFile.c_str());
            return 1;
        }
        log = SplitLogIntoEpochs(file);
    }
    CPtyOutput pty;
    std::string error;
    if (!pty.Open(error)) {
        std::fprintf(stderr, "tarvik-gpssim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !MakePrivateLink(pty.SlavePath(), options.link, error)) {
        std::fprintf(stderr, "tarvik-gpssim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", pty.SlavePath().c_str());
    std::fflush(stdout);

    CEpochSource source(options, std::move(log));
    CLineDamage damage(options.badChecksumRate, options.cutRate, options.seed);
    const Clock::time_point start = Clock::now();
    for (long index = 0; !gStop; ++index) {
        const Clock::time_point due = start + std::chrono::seconds(index);
        SleepUntil(due);
        if (gStop) break;
        const double elapsed = std::chrono::duration<double>(due - start).count();
        if (options.silentAfter >= 0 && elapsed >= options.silentAfter) continue;
        for (const std::string& sentence : source.Next(index)) pty.Send(damage.Apply(sentence));
    }
    if (!options.link.empty()) ::unlink(options.link.c_str());
    std::fprintf(stderr, "tarvik-gpssim: %llu sentences sent, %llu dropped, %llu damaged\n",
                 static_cast<unsigned long long>(pty.SentCount()),
                 static_cast<unsigned long long>(pty.DroppedCount()),
                 static_cast<unsigned long long>(damage.DamagedCount()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const auto options = ParseSimOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "tarvik-gpssim: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(kGpsSimHelp, stdout);
        return 0;
    }
    if (!CatchStopSignals()) {
        std::fprintf(stderr, "tarvik-gpssim: cannot watch for stop signals\n");
        return 1;
    }
    return Run(*options);
}
