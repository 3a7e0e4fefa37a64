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
    case 8: return row.energyV2s ? exact(*row.energyV2s) : QString();
    case 9: return optionalFixed(row.avgFreqKHz, 3);
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

void appendHitsCsv(QByteArray& out, const QString& file, const std::vector<Hit>& hits, double periodUs)
{
    for (const Hit& h : hits) {
        out += hitsCsvLine(file, hitRow(h, periodUs)).toUtf8();
        out += '\n';
    }
}

} // namespace ae
