#include "ae/hit_csv.h"

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

} // namespace

QString hitsCsvHeader()
{
    return QStringLiteral("file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,counts,counts_to_peak,"
                          "energy_v2s,avg_freq_khz");
}

QStringList hitFields(const HitRow& row)
{
    return {QString::number(row.channel),
            optionalFixed(row.arrivalUs, 3),
            exact(row.peakV),
            fixed(row.peakDb, 2),
            optionalFixed(row.riseUs, 3),
            optionalFixed(row.durationUs, 3),
            QString::number(row.counts),
            QString::number(row.countsToPeak),
            row.energyV2s ? exact(*row.energyV2s) : QString(),
            optionalFixed(row.avgFreqKHz, 3)};
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

void appendHitsCsv(QByteArray& out, const QString& file, const std::vector<Hit>& hits, double periodUs)
{
    for (const Hit& h : hits) {
        out += hitsCsvLine(file, hitRow(h, periodUs)).toUtf8();
        out += '\n';
    }
}

} // namespace ae
