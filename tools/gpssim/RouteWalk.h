// A walk along a route of waypoints at a steady speed, and the sky a
// receiver on it would see: the position, course and height at any second,
// a fixed set of satellites drifting slowly across the sky, and dilutions
// of precision that follow how many are used.
#pragma once

#include <ctime>
#include <vector>

#include "tools/gpssim/NmeaOutput.h"

namespace tarvik::gpssim {

struct Waypoint {
    double latitude = 0;
    double longitude = 0;
};

// Great-circle distance in metres and initial bearing in degrees.
double DistanceMetres(const Waypoint& from, const Waypoint& to);
double BearingDegrees(const Waypoint& from, const Waypoint& to);

class CRouteWalk {
  public:
    // At least one waypoint; speed in metres per second (0 stands still).
    // At the last waypoint the walk turns back, so it never runs out.
    CRouteWalk(std::vector<Waypoint> route, double speed);

    // The epoch `elapsed` seconds after the start, at `utc`, with a fix.
    SimEpoch EpochAt(double elapsed, std::time_t utc) const;

  private:
    void PlaceOnRoute(double metres, SimEpoch& epoch) const;

    std::vector<Waypoint> route_;
    std::vector<double> legLength_;
    double length_ = 0;
    double speed_ = 0;
};

// The satellites in view `elapsed` seconds in: ten of them, six or seven used.
std::vector<SimSatellite> SkyAt(double elapsed);

}  // namespace tarvik::gpssim
