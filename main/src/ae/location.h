#pragma once

// Acoustic-emission source location: the arrival of each hit picked from the waveform (the
// threshold crossing, or the onset at the minimum of the Akaike information criterion), hits
// grouped into events, and each event located on a line between two sensors or on a plane from
// the arrival differences. Plain code over the record and the hits; the definitions are written
// out in README.md beside this file.

#include "ae/hits.h"

#include <QString>
#include <QStringList>

#include <vector>

class TWaveStor;
class TWaveView;

namespace ae {

enum class PickMethod { Threshold, Aic };

// A sensor: the channel (slot index, from 0) it feeds and its place in metres; y is used for
// planar location only.
struct Sensor
{
    int channel = 0;
    double x = 0.0;
    double y = 0.0;
};

struct LocationSettings
{
    std::vector<Sensor> sensors;
    bool planar = true; // two coordinates per sensor; otherwise one (x)
    double velocityMps = 5000.0;
    PickMethod pick = PickMethod::Aic;
    double aicWindowUs = 200.0;
    double eventWindowUs = 0.0; // 0 (or less): the largest sensor distance / velocity x 1.2
};

// Why a set-up or a record cannot be located; channels from 0.
struct LocationCheck
{
    enum Problem {
        Ok,
        BadVelocity,       // not a number, or not above 0
        TooFewSensors,     // fewer than two (three for planar location)
        ChannelTwice,      // channel a carries two sensors
        CoincidentSensors, // the sensors of channels a and b stand in one place
        MixedDimensions,   // some sensors have two coordinates, others one
        BadPosition,       // a coordinate of channel a is not a finite number
        NoPeriod,          // the record has no sampling rate: no times
        MissingChannel,    // the record has no time channel a
    };
    Problem problem = Ok;
    int a = -1;
    int b = -1;
    explicit operator bool() const { return problem == Ok; }
};

// What the program keeps between runs: a place for every channel slot, used or not, and the
// rest of the settings. A sensor without y (not a number) has one coordinate.
struct LocationSetup
{
    static constexpr int Channels = 5;
    struct Channel
    {
        bool used = false;
        double x = 0.0;
        double y = 0.0;
    };
    Channel channels[Channels];
    double velocityMps = 5000.0;
    PickMethod pick = PickMethod::Aic;
    double aicWindowUs = 200.0;
    double eventWindowUs = 0.0;
};
// The used channels below channelCount of a set-up as the engine takes them: planar when they all
// have a y, linear when none has; MixedDimensions otherwise (out is then left linear), and the
// checks of checkSettings.
LocationCheck fromSetup(const LocationSetup& setup, LocationSettings& out,
                        int channelCount = LocationSetup::Channels);

// The set-up on its own, then against a record (its channels and its sampling rate).
LocationCheck checkSettings(const LocationSettings& s);
LocationCheck checkRecord(const LocationSettings& s, const TWaveStor& record);
// The event window in use: the setting when above 0, otherwise the largest distance between two
// sensors / velocity x 1.2, in µs.
double eventWindowUs(const LocationSettings& s);

// The onset of n samples at the minimum of AIC(k) = k ln var(x[0..k)) + (n - k - 1) ln var(x[k..n)),
// k = 1 ... n - 2; a variance of 0 counts as the smallest positive double (the first of equal
// minima). The samples are converter codes c, read as volts v = offset + scale c (scale not 0).
// -1 for fewer than 3 samples.
qint64 aicOnset(const qint8* codes, qint64 n, double scale);
// The same over samples from ... to - 1 of a channel, as the hit search reads them (gain code,
// bipolar or envelope); an index of the channel, or -1.
qint64 aicOnset(const TWaveView& channel, int gainCode, qint64 from, qint64 to);

// A hit with its picked arrival.
struct Pick
{
    Hit hit;
    qint64 sample = 0; // the picked arrival, a sample index
    double arrivalUs = 0.0;
};

// The arrivals of the hits of a record (as detectHits returns them with hitSettings: channel by
// channel, each in time order) picked by the method of s, at the record's sampling period. The AIC
// window of a hit begins after the end of the channel's previous hit, where its HDT ran out.
std::vector<Pick> pickArrivals(const TWaveStor& record, const std::vector<Hit>& hits,
                               const HitSettings& hitSettings, const LocationSettings& s);

// A located event. x, y in metres (y not a number for linear location), residual in metres.
struct LocatedEvent
{
    double timeUs = 0.0; // the first picked arrival
    double x = 0.0;
    double y = 0.0;
    double residual = 0.0;
    double peakV = 0.0;        // the largest peak of its hits
    std::vector<int> picks;    // indices into the picks, in arrival order
    std::vector<int> channels; // their channels (slots from 0)
};

// The hits of several channels grouped into events (indices into picks, in arrival order);
// groups of fewer than minHits are not returned but counted in leftOut.
std::vector<std::vector<int>> groupEvents(const std::vector<Pick>& picks, const LocationSettings& s,
                                          int minHits, int* leftOut = nullptr);

// The source between two sensors x1 < x2 from the arrivals t1, t2 there (µs): x, and through
// residual the distance by which the arrival difference overshoots the pair.
double locateOnLine(double x1, double t1, double x2, double t2, double velocityMps, double* residual);

// Planar location over one set of sensors, with what can be prepared once for many events.
class PlanarLocator
{
public:
    PlanarLocator(const std::vector<Sensor>& sensors, double velocityMps);
    // The point of the search box that minimises the RMS path-difference misfit of the event's
    // hits (sensor indices into the constructor's list, arrivals in µs, the first hit first);
    // the misfit through residual.
    void locate(const int* sensor, const double* arrivalUs, int n, double& x, double& y,
                double& residual) const;
    // The RMS misfit at (x, y), metres.
    double misfit(const int* sensor, const double* arrivalUs, int n, double x, double y) const;
    // The search box: the sensors' bounding box enlarged by half its size on each side.
    double left() const { return m_left; }
    double bottom() const { return m_bottom; }
    double width() const { return m_width; }
    double height() const { return m_height; }
    static constexpr int GridSteps = 32; // coarse grid: (GridSteps + 1)^2 points

private:
    void refine(const int* sensor, const double* path, int n, double& x, double& y) const;

    std::vector<Sensor> m_sensors;
    double m_velocity = 0.0; // m/µs
    double m_left = 0.0, m_bottom = 0.0, m_width = 0.0, m_height = 0.0;
    double m_cx = 0.0, m_cy = 0.0;      // the sensors' centre
    std::vector<double> m_gridDistance; // per sensor, its distance to each coarse grid point
};

struct LocationResult
{
    LocationCheck check;
    std::vector<Pick> picks; // every hit of a sensor channel
    std::vector<LocatedEvent> events;
    int leftOut = 0; // groups of hits too small to locate
};

// Everything at once: hits found with hitSettings, their arrivals picked, grouped and located.
LocationResult locateRecord(const TWaveStor& record, const HitSettings& hitSettings,
                            const LocationSettings& s);
// The same from hits already found with hitSettings (detectHits).
LocationResult locateHits(const TWaveStor& record, const std::vector<Hit>& hits,
                          const HitSettings& hitSettings, const LocationSettings& s);

// ---- as text ----
// file,event,time_us,x_m,y_m,residual_m,channels
QString locationCsvHeader();
// The fields after "file": event number, time, x, y (empty for linear), residual, channels from 1
// in arrival order separated by spaces.
QStringList eventFields(int number, const LocatedEvent& e);
// One row per event (numbered from 1), each ended by "\n", appended in UTF-8.
void appendLocationCsv(QByteArray& out, const QString& file, const std::vector<LocatedEvent>& events);

} // namespace ae
