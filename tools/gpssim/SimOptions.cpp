#include "tools/gpssim/SimOptions.h"

#include <cmath>
#include <cstdlib>

namespace tarvik::gpssim {

const char* const kGpsSimHelp =
    "usage: tarvik-gpssim (--replay FILE [--loop] | --route LAT,LON [LAT,LON ...] [--speed M/S])\n"
    "                     [--link PATH] [--no-fix-every N [--no-fix-for M]]\n"
    "                     [--bad-checksum-rate R] [--cut-lines R] [--silent-after SECONDS]\n"
    "                     [--seed N]\n"
    "A simulated GPS receiver on a pseudo-terminal. Prints the terminal's path on\n"
    "stdout, then sends NMEA 0183 sentences there once a second until SIGINT or\n"
    "SIGTERM. Sentences that do not fit while nobody reads are dropped and counted.\n"
    "  --replay FILE        send a receiver log epoch by epoch ('#' lines skipped)\n"
    "  --loop               start the log again at its end (else stay quiet)\n"
    "  --route ...          walk between the waypoints (decimal degrees), and back,\n"
    "                       sending GGA, RMC, GSA and GSV\n"
    "  --speed M/S          walking speed, default 1.4\n"
    "  --link PATH          make PATH a symbolic link to the terminal while running;\n"
    "                       its folder must be this user's and writable by nobody else\n"
    "  --no-fix-every N     of every N epochs, the last M (--no-fix-for, default 1)\n"
    "                       have no fix (route only)\n"
    "  --bad-checksum-rate R  share of sentences sent with a wrong checksum (0-1)\n"
    "  --cut-lines R        share of sentences cut short (0-1)\n"
    "  --silent-after S     send nothing more after S seconds, but keep running\n"
    "  --seed N             seed of the random damage, default 1\n";

namespace {

std::optional<double> ParseDouble(const std::string& text, double min, double max) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<Waypoint> ParseWaypoint(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const auto lat = ParseDouble(text.substr(0, comma), -90, 90);
    const auto lon = ParseDouble(text.substr(comma + 1), -180, 180);
    if (!lat || !lon) return std::nullopt;
    return Waypoint{*lat, *lon};
}

// Options taking one number: the name, its range and where it goes.
struct NumberOption {
    const char* name;
    double min, max;
    bool whole;
    void (*store)(SimOptions&, double);
};
const NumberOption kNumbers[] = {
    {"--speed", 0, 1000, false, [](SimOptions& o, double v) { o.speed = v; }},
    {"--no-fix-every", 1, 1e6, true, [](SimOptions& o, double v) { o.noFixEvery = int(v); }},
    {"--no-fix-for", 1, 1e6, true, [](SimOptions& o, double v) { o.noFixFor = int(v); }},
    {"--bad-checksum-rate", 0, 1, false, [](SimOptions& o, double v) { o.badChecksumRate = v; }},
    {"--cut-lines", 0, 1, false, [](SimOptions& o, double v) { o.cutRate = v; }},
    {"--silent-after", 0, 1e9, false, [](SimOptions& o, double v) { o.silentAfter = v; }},
    {"--seed", 0, 4294967295.0, true, [](SimOptions& o, double v) { o.seed = unsigned(v); }},
};

const NumberOption* FindNumberOption(const std::string& name) {
    for (const NumberOption& option : kNumbers)
        if (name == option.name) return &option;
    return nullptr;
}

bool Finish(const SimOptions& options, std::string& error) {
    if (options.help) return true;
    if (options.replayFile.empty() == options.route.empty()) {
        error = "give either --replay FILE or --route LAT,LON ...";
        return false;
    }
    if (options.noFixEvery > 0 && options.noFixFor >= options.noFixEvery) {
        error = "--no-fix-for must be less than --no-fix-every";
        return false;
    }
    return true;
}

}  // namespace

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    SimOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--loop") {
            options.loop = true;
        } else if ((arg == "--replay" || arg == "--link") && hasValue) {
            (arg == "--link" ? options.link : options.replayFile) = args[++i];
        } else if (arg == "--route") {
            while (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
                const auto point = ParseWaypoint(args[++i]);
                if (!point) {
                    error = "'" + args[i] + "' is not LAT,LON in decimal degrees";
                    return std::nullopt;
                }
                options.route.push_back(*point);
            }
        } else if (const NumberOption* number = FindNumberOption(arg); number && hasValue) {
            const auto value = ParseDouble(args[++i], number->min, number->max);
            if (!value || (number->whole && *value != std::floor(*value))) {
                error = "bad value '" + args[i] + "' for " + arg;
                return std::nullopt;
            }
            number->store(options, *value);
        } else {
            error = "unknown option or missing value: '" + arg + "'";
            return std::nullopt;
        }
    }
    if (!Finish(options, error)) return std::nullopt;
    return options;
}

}  // namespace tarvik::gpssim
