// The locate subcommand: the acoustic-emission sources of every file as one CSV on standard
// output, found by the same code as the program's location window.

#include "rawtool.h"

#include "ae/location.h"
#include "wave_stor.h"

#include <cmath>

namespace rawtool {

namespace {

int usage(Streams& s, const QString& text)
{
    s.err << "rawtool: locate: " << text << "\nTry 'rawtool --help'.\n";
    return ExitUsage;
}

// A number of the command line: finite, and above 0 (or 0 when zeroAllowed).
bool readPositive(const QString& text, bool zeroAllowed, double& value)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || (v == 0 && !zeroAllowed))
        return false;
    value = v;
    return true;
}

// "CH:X" or "CH:X,Y": the channel from 1 to 5 and the place in metres.
bool readSensor(const QString& text, ae::Sensor& sensor, bool& planar)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int channel = text.left(colon).toInt(&ok);
    if (colon < 0 || !ok || channel < 1 || channel > MaxChannels)
        return false;
    const QStringList xy = text.mid(colon + 1).split(QLatin1Char(','));
    if (xy.size() > 2)
        return false;
    double v[2] = {0, 0};
    for (int i = 0; i < xy.size(); ++i) {
        v[i] = xy[i].toDouble(&ok);
        if (!ok || !std::isfinite(v[i]))
            return false;
    }
    sensor = {channel - 1, v[0], v[1]};
    planar = xy.size() == 2;
    return true;
}

} // namespace

int runLocate(const Arguments& a, Streams& s)
{
    ae::HitSettings hits;
    if (readHitSettings(a, s, hits) != ExitOk)
        return ExitUsage;

    ae::LocationSettings settings;
    const QString velocity = QStringLiteral("--velocity");
    if (!a.values.contains(velocity))
        return usage(s, QStringLiteral("--velocity M_PER_S is required"));
    if (!readPositive(a.values.value(velocity), false, settings.velocityMps))
        return usage(s,
                     QStringLiteral("--velocity %1: a speed in m/s above 0").arg(a.values.value(velocity)));

    const QStringList sensors = a.all.value(QStringLiteral("--sensor"));
    int planar = 0;
    for (const QString& text : sensors) {
        ae::Sensor sensor;
        bool twoD = false;
        if (!readSensor(text, sensor, twoD))
            return usage(
                s, QStringLiteral("--sensor %1: CH:X or CH:X,Y with a channel 1 … 5 and metres").arg(text));
        planar += twoD ? 1 : 0;
        settings.sensors.push_back(sensor);
    }
    if (sensors.size() < 2)
        return usage(s, QStringLiteral("at least two --sensor options are needed"));
    if (planar != 0 && planar != int(sensors.size()))
        return usage(s,
                     QStringLiteral("give every sensor one coordinate (a line) or every one two (a plane)"));
    settings.planar = planar != 0;

    const QString pick = a.values.value(QStringLiteral("--pick"), QStringLiteral("aic"));
    if (pick != QLatin1String("aic") && pick != QLatin1String("threshold"))
        return usage(s, QStringLiteral("--pick %1: aic or threshold").arg(pick));
    settings.pick = pick == QLatin1String("aic") ? ae::PickMethod::Aic : ae::PickMethod::Threshold;
    for (const auto& [name, value] : {std::pair{"--aic-window", &settings.aicWindowUs},
                                      std::pair{"--event-window", &settings.eventWindowUs}}) {
        const QString option = QString::fromLatin1(name);
        if (a.values.contains(option) && !readPositive(a.values.value(option), false, *value))
            return usage(s, QStringLiteral("%1 %2: a number of microseconds above 0")
                                .arg(option, a.values.value(option)));
    }

    const ae::LocationCheck check = ae::checkSettings(settings);
    switch (check.problem) {
    case ae::LocationCheck::Ok: break;
    case ae::LocationCheck::ChannelTwice:
        return usage(s, QStringLiteral("channel %1 is named twice").arg(check.a + 1));
    case ae::LocationCheck::CoincidentSensors:
        return usage(s, QStringLiteral("the sensors of channels %1 and %2 stand in one place")
                            .arg(check.a + 1)
                            .arg(check.b + 1));
    case ae::LocationCheck::TooFewSensors:
        return usage(s, QStringLiteral("location on a plane needs at least three sensors"));
    default: return usage(s, QStringLiteral("the sensors or the velocity cannot be used"));
    }

    s.out << ae::locationCsvHeader() << '\n';
    bool lacking = false;
    const int read = forEachRecord(a, s, [&](const QString& file, const TWaveStor& record) {
        const ae::LocationCheck c = ae::checkRecord(settings, record);
        if (!c) {
            lacking = true;
            s.err << "rawtool: " << file << ": "
                  << (c.problem == ae::LocationCheck::NoPeriod
                          ? QStringLiteral("no sampling rate: no arrival times")
                          : QStringLiteral("no channel %1 (the record has %2)")
                                .arg(c.a + 1)
                                .arg(record.channelCount()))
                  << '\n';
            return;
        }
        QByteArray rows;
        ae::appendLocationCsv(rows, file, ae::locateRecord(record, hits, settings).events);
        s.out << QString::fromUtf8(rows);
    });
    return read == ExitOk && !lacking ? ExitOk : ExitFailed;
}

} // namespace rawtool
