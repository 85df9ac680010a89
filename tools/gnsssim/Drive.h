#pragma once
// The simulated drive: where the receiver is, how it moves and which
// satellites it sees, as a pure function of the time since the start.

#include <cstdint>
#include <string>
#include <vector>

namespace GnssSim {

struct Satellite {
    int prn;
    int elevation;   // degrees
    int azimuth;     // degrees, 0 to 359
    double snr;      // dB as the receiver's binary message 99 reports it (at most 35)
};

struct DriveConfig {
    double lat = 49.2741666667;      // start, degrees
    double lon = -123.1207375;
    double height = 70.0;            // m
    double speed = 5.0;              // m/s
    double course = 45.0;            // degrees from north at the start
    double turnRate = 0.0;           // degrees per second, positive to the right
    std::uint16_t week = 2300;       // GPS week at the start
    double timeOfWeek = 345600.0;    // GPS seconds of week at the start
    int gpsUtcDiff = 18;             // GPS minus UTC, s
};

struct Fix {
    double lat, lon;         // degrees
    double height;           // m
    double velNorth, velEast, velUp;  // m/s
    double speed;            // m/s over ground
    double course;           // degrees, 0 to 360
    double rateOfTurn;       // degrees per second
    std::uint16_t week;
    double timeOfWeek;       // s
    int gpsUtcDiff;
    std::vector<Satellite> satellites;  // in view
    int satsUsed;
};

// The UTC time of a fix to the millisecond, as a TPV object writes it
// (YYYY-MM-DDThh:mm:ss.sssZ).
std::string utcText(const Fix& f);

class Drive {
public:
    explicit Drive(const DriveConfig& config) : cfg(config) {}
    const DriveConfig& config() const { return cfg; }
    // The fix `seconds` after the start.
    Fix at(double seconds) const;

private:
    DriveConfig cfg;
};

} // namespace GnssSim
