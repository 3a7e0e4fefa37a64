#include "ae/hit_csv.h"

#include <QDateTime>
#include <QLocale>

namespace ae {

namespace {

QString fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// The shortest text that reads back as the same double: volts and energies span many decades.
QString exact(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString optionalFixed(const std::optional<double>& v, int decimals)
{
    return v ? fixed(*v, decimals) : QString();
}

QString optionalExact(const std::optional<double>& v)
{
    return v ? exact(*v) : QString();
}

} // namespace

QString hitsCsvHeader()
{
    return QStringLiteral("file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,counts,counts_to_peak,"
                          "energy_v2s,avg_freq_khz,ra_ms_per_v,peak_freq_khz,centroid_khz,time_utc");
}

QString hitField(const HitRow& row, int i)
{
    switch (i) {
    case 0: return QString::number(row.channel);
    case 1: return optionalFixed(row.arrivalUs, 3);
    case 2: return exact(row.peakV);
    case 3: return fixed(row.peakDb, 2);
    case 4: return optionalFixed(row.riseUs, 3);
    case 5: return optionalFixed(row.durationUs, 3);
    case 6: return QString::number(row.counts);
    case 7: return QString::number(row.countsToPeak);
    case 8: return optionalExact(row.energyV2s);
    case 9: return optionalFixed(row.avgFreqKHz, 3);
    case 10: return row.raMsPerV ? QString::number(*row.raMsPerV, 'g', 6) : QString();
    case 11: return optionalFixed(row.peakFreqKHz, 3);
    case 12: return optionalFixed(row.centroidKHz, 3);
    case 13: return row.timeUtcUs ? utcText(*row.timeUtcUs) : QString();
    default: return QString();
    }
}

QStringList hitFields(const HitRow& row)
{
    QStringList fields;
    fields.reserve(HitFieldCount);
    for (int i = 0; i < HitFieldCount; ++i)
        fields << hitField(row, i);
    return fields;
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString hitsCsvLine(const QString& file, const HitRow& row)
{
    return csvField(file) + QLatin1Char(',') + hitFields(row).join(QLatin1Char(','));
}

void appendHitsCsv(QByteArray& out, const QString& file, const std::vector<Hit>& hits, double periodUs,
                   std::optional<qint64> startUtcUs)
{
    for (const Hit& h : hits) {
        out += hitsCsvLine(file, hitRow(h, periodUs, startUtcUs)).toUtf8();
        out += '\n';
    }
}

QString utcText(qint64 us)
{
    // Whole seconds by floor division, so that times before 1970 keep a positive fraction.
    const qint64 seconds = us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000);
    const qint64 fraction = us - seconds * 1000000;
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QLatin1Char('.') + QStringLiteral("%1").arg(fraction, 6, 10, QLatin1Char('0')) + QLatin1Char('Z');
}

QString summaryCsvHeader()
{
    return QStringLiteral("file,channel,hits,energy_v2s,peak_db_max,b_value");
}

QStringList summaryFields(const ChannelSummary& s)
{
    return {QString::number(s.channel), QString::number(s.hits), optionalExact(s.energyV2s),
            optionalFixed(s.peakDbMax, 2), optionalFixed(s.bValue, 3)};
}

QString summaryCsvLine(const QString& file, const ChannelSummary& s)
{
    return csvField(file) + QLatin1Char(',') + summaryFields(s).join(QLatin1Char(','));
}

} // namespace ae
