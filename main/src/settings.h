#pragma once

#include "ae/hits.h"
#include "ae/location.h"
#include "rs232.h"
#include "series/series_run.h"

#include <QColor>
#include <QString>

// Window function of the forward FFT, 0 ... 5 (0: none); kept in the settings file.
extern int g_winFun;
// Settings of the hit search, as last accepted in its dialog; kept in the settings file.
extern ae::HitSettings g_hitSettings;
// Settings of source location, as last accepted in its dialog; kept in the settings file.
extern ae::LocationSetup g_locationSetup;
// The series dialog's values (folder, prefix, count, pause, hit search); kept in the settings file.
extern series::Settings g_seriesSettings;
// New spectra are made and read out in dB; chosen in the FFT settings, not kept in the file.
extern bool g_logScale;

// The location settings a new user starts with: the plate of the emulated unit (channels 1 ... 4
// at its corners, 5000 m/s), AIC picks.
ae::LocationSetup defaultLocationSetup();

// Everything the settings file adc.ini holds, as the program uses it.
struct ProgramSettings
{
    bool unitVolts = false;
    bool forAll = false;
    AcquisitionParameters acquisition;
    QColor traceColours[4];
    QColor cursorColours[4];
    QColor textColours[4];
    QColor backColours[4];
    QString portName;
    int rate = 115200;
    int winFun = 0;
    QString lastDir;
    ae::HitSettings hits;
    ae::LocationSetup location = defaultLocationSetup();
    series::Settings series;
};

// Limits of the hit settings in the file: threshold in whole microvolts, times in whole
// microseconds. A value outside them reads as its default.
constexpr int MaxHitThresholdUV = 10000000; // 10 V
constexpr int MaxHitTimeUs = 1000000;       // 1 s

// Limits of the location settings in the file; a value outside them reads as its default.
constexpr double MaxLocationVelocity = 1e6; // m/s
constexpr double MaxSensorCoordinate = 1e4; // m, either sign
constexpr int MaxAicWindowUs = 100000;
constexpr int MaxEventWindowUs = 1000000;

// Colours are stored as one integer: red + green x 256 + blue x 65536.
int packColour(const QColor& colour);
QColor unpackColour(int packed);

// Reads the file into s. Missing keys keep the defaults of the file format; the colours keep
// the values s holds on entry (the current tables). A missing or unreadable file reads as
// empty; nothing is reported.
void readSettings(const QString& path, ProgramSettings& s);

// Writes s and flushes the file; false when the settings class reports an error.
bool writeSettings(const QString& path, const ProgramSettings& s);

// The interface language chosen for the next start, group UI key Language: "en" is English (1),
// anything else, the key missing included, Russian (0). It is read before the main window
// exists and written when the user chooses, alone; the save command leaves it as it is.
int readLanguageSetting(const QString& path);
bool writeLanguageSetting(const QString& path, int language);
