// Writing NMEA 0183 sentences as a receiver sends them: the XOR checksum,
// the "$...*hh\r\n" frame, angles as degrees and decimal minutes with a
// hemisphere letter, and the GGA, RMC, GSA and GSV sentences of one epoch.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::gpssim {

struct SimSatellite {
    int prn = 0;
    int elevation = 0;  // degrees
    int azimuth = 0;    // degrees
    int snr = 0;        // dB-Hz, 0 when not tracked
    bool used = false;
};

// What the receiver knows at one epoch.
struct SimEpoch {
    std::time_t utc = 0;
    bool fix = true;
    double latitude = 0;   // degrees, south negative
    double longitude = 0;  // degrees, west negative
    double altitude = 0;   // metres above mean sea level
    double geoidSeparation = 0;
    double speed = 0;   // metres per second
    double course = 0;  // degrees from true north
    double hdop = 0;
    double pdop = 0;
    double vdop = 0;
    std::vector<SimSatellite> satellites;
};

// XOR of every character of the text between '$' and '*'.
std::uint8_t NmeaChecksum(std::string_view body);
// "$<body>*HH\r\n".
std::string FrameSentence(std::string_view body);
// "ddmm.mmmm,N" / "dddmm.mmmm,E"; minutes rounded to 1/10000 without ever
// printing 60.0000.
std::string FormatLatitude(double degrees);
std::string FormatLongitude(double degrees);
// "hhmmss.00" and "ddmmyy" of a UTC time.
std::string FormatNmeaTime(std::time_t utc);
std::string FormatNmeaDate(std::time_t utc);

// The framed GGA, RMC, GSA and GSV sentences of the epoch (GP talker), in
// that order; without a fix the position fields are empty.
std::vector<std::string> BuildEpochSentences(const SimEpoch& epoch);

}  // namespace tarvik::gpssim
