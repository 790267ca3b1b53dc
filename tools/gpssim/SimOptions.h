// tarvik-gpssim's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/gpssim/RouteWalk.h"

namespace tarvik::gpssim {

extern const char* const kGpsSimHelp;

struct SimOptions {
    bool help = false;
    std::string link;        // a symbolic link made to the pty, removed at exit
    std::string replayFile;  // replay this log...
    bool loop = false;
    std::vector<Waypoint> route;  // ...or walk this route
    double speed = 1.4;
    int noFixEvery = 0;  // of every N epochs the last noFixFor have no fix
    int noFixFor = 1;
    double badChecksumRate = 0;
    double cutRate = 0;
    double silentAfter = -1;  // seconds; negative: never silent
    unsigned seed = 1;
};

// The options, or nullopt with `error` set to a sentence.
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace tarvik::gpssim
