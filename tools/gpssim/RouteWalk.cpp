#include "tools/gpssim/RouteWalk.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gps/GeoidSeparation.h"

namespace tarvik::gpssim {
namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kRadians = std::numbers::pi / 180.0;
constexpr double kBaseAltitude = 42.0;

struct SkySlot {
    int prn, elevation, azimuth, snr;
};
// A plausible mid-latitude sky; the azimuths turn a little every minute.
constexpr SkySlot kSky[] = {
    {2, 67, 45, 46}, {5, 41, 301, 44},  {7, 12, 110, 33},  {9, 28, 210, 40}, {13, 55, 160, 45},
    {15, 8, 20, 0},  {18, 33, 270, 41}, {21, 74, 330, 47}, {26, 19, 80, 36}, {29, 5, 240, 0}};

}  // namespace

double DistanceMetres(const Waypoint& from, const Waypoint& to) {
    const double dLat = (to.latitude - from.latitude) * kRadians;
    const double dLon = (to.longitude - from.longitude) * kRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(from.latitude * kRadians) * std::cos(to.latitude * kRadians) *
                         std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

double BearingDegrees(const Waypoint& from, const Waypoint& to) {
    const double lat1 = from.latitude * kRadians;
    const double lat2 = to.latitude * kRadians;
    const double dLon = (to.longitude - from.longitude) * kRadians;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x =
        std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    const double bearing = std::atan2(y, x) / kRadians;
    return bearing < 0 ? bearing + 360 : bearing;
}

CRouteWalk::CRouteWalk(std::vector<Waypoint> route, double speed)
    : route_(std::move(route)), speed_(speed) {
    for (std::size_t i = 1; i < route_.size(); ++i) {
        legLength_.push_back(DistanceMetres(route_[i - 1], route_[i]));
        length_ += legLength_.back();
    }
}

void CRouteWalk::PlaceOnRoute(double metres, SimEpoch& epoch) const {
    // Out along the route, then back, over and over.
    double along = length_ > 0 ? std::fmod(metres, 2 * length_) : 0;
    const bool returning = along > length_;
    if (returning) along = 2 * length_ - along;
    std::size_t leg = 0;
    while (leg + 1 < legLength_.size() && along > legLength_[leg]) along -= legLength_[leg++];
    const Waypoint& a = route_[leg];
    const Waypoint& b = route_.size() > 1 ? route_[leg + 1] : route_[0];
    const double t = legLength_.empty() || legLength_[leg] <= 0 ? 0 : along / legLength_[leg];
    epoch.latitude = a.latitude + (b.latitude - a.latitude) * t;
    epoch.longitude = a.longitude + (b.longitude - a.longitude) * t;
    epoch.course = length_ > 0 ? (returning ? BearingDegrees(b, a) : BearingDegrees(a, b)) : 0;
}

SimEpoch CRouteWalk::EpochAt(double elapsed, std::time_t utc) const {
    SimEpoch epoch;
    epoch.utc = utc;
    epoch.speed = length_ > 0 ? speed_ : 0;
    PlaceOnRoute(speed_ * elapsed, epoch);
    epoch.altitude = kBaseAltitude + 3.0 * std::sin(elapsed / 60.0);
    epoch.geoidSeparation = GeoidSeparation(epoch.latitude, epoch.longitude);
    epoch.satellites = SkyAt(elapsed);
    int used = 0;
    for (const SimSatellite& s : epoch.satellites) used += s.used ? 1 : 0;
    epoch.hdop = std::round(60.0 / used) / 10.0;
    epoch.vdop = std::round(epoch.hdop * 14.0) / 10.0;
    epoch.pdop = std::round(std::hypot(epoch.hdop, epoch.vdop) * 10.0) / 10.0;
    return epoch;
}

std::vector<SimSatellite> SkyAt(double elapsed) {
    const int turn = static_cast<int>(elapsed / 60.0);
    std::vector<SimSatellite> sky;
    for (const SkySlot& slot : kSky) {
        SimSatellite s{slot.prn, slot.elevation, (slot.azimuth + turn) % 360, slot.snr, false};
        // One satellite drops in and out of use every few minutes.
        s.used = s.snr >= 35 && !(s.prn == 26 && turn % 4 == 3);
        sky.push_back(s);
    }
    return sky;
}

}  // namespace tarvik::gpssim
